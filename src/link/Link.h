#pragma once

#include "link/ControllerState.h"

namespace orva {

class SerialComm;
class TrafficLines;
struct FormTimers;

// The projector link's two paths. Hyouji is the only writer to the serial
// line and of the transmit line; MSComm1_OnComm collects reply characters
// and hands the whole reply so far to Hyouji to be shown and decoded.
class Link
{
public:
    // Replies are kept to the newest this many characters; older ones are
    // dropped so that an endless unsolicited stream costs bounded memory and
    // bounded time per notification.
    static constexpr int MaxReplyLength = 32767;

    Link(ControllerState& state, SerialComm& comm, FormTimers& timers, TrafficLines& lines);

    // Send mode (1): write the frame, show it, start the reply timeout and
    // the clear delay. Any other mode: show the reply and decode it.
    void Hyouji(const QString& text, quint8 mode);

    // Receive notification of the serial line.
    void MSComm1_OnComm();

    // Builds the frame of a code into OutgoingCommand and sends it.
    void sendCode(const QString& code);

private:
    ControllerState& m_state;
    SerialComm& m_comm;
    FormTimers& m_timers;
    TrafficLines& m_lines;
};

} // namespace orva
