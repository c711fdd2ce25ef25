#pragma once

#include "link/ControllerState.h"

namespace orva {

class TrafficLines;
struct FormTimers;

// The reply timeout (Timer2) and the clear delay (Timer4) of the display
// lines. Each is one-shot: the send path starts it, its tick stops it.
class TrafficTimers
{
public:
    // The mark of a frame that drew no reply, written as it stands.
    static inline const QString NoReplyMark = QStringLiteral(" X X X X");

    // Binds the tick handlers to Timer2 and Timer4.
    TrafficTimers(ControllerState& state, FormTimers& timers, TrafficLines& lines);

    // Reply timeout: marks a missing reply, then empties the reply buffer.
    void Timer2_Timer();
    // Clear delay: blanks the transmit, receive and status lines.
    void Timer4_Timer();

private:
    ControllerState& m_state;
    FormTimers& m_timers;
    TrafficLines& m_lines;
};

} // namespace orva
