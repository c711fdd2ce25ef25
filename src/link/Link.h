#pragma once

#include "link/ControllerState.h"
#include "link/SerialComm.h"

#include <functional>

namespace orva {

class TrafficLines;
struct FormTimers;

// The projector link's two paths. Hyouji is the only writer to the serial
// line and of the transmit line; MSComm1_OnComm collects reply characters
// and hands the whole reply so far to Hyouji to be shown and decoded.
//
// Faults of the line are passed on to the fault handler, which decides what
// the operator is told: a device lost while open, and a frame the open port
// did not write (refused by output(), or failing after it). A frame sent
// while the port is closed is no fault of its own: the closing was a failed
// switch, a failed start-up or a lost device, each told already.
class Link
{
public:
    using FaultHandler = std::function<void(SerialComm::Event fault, const QString& description)>;

    // Replies are kept to the newest this many characters; older ones are
    // dropped so that an endless unsolicited stream costs bounded memory and
    // bounded time per notification.
    static constexpr int MaxReplyLength = 32767;

    Link(ControllerState& state, SerialComm& comm, FormTimers& timers, TrafficLines& lines);

    // Send mode (1): write the frame, show it, start the reply timeout and
    // the clear delay. Any other mode: show the reply and decode it.
    void Hyouji(const QString& text, quint8 mode);

    // Notification of the serial line: received characters, or a fault.
    void MSComm1_OnComm();

    void setFaultHandler(FaultHandler handler) { m_onFault = std::move(handler); }

    // Builds the frame of a code into OutgoingCommand and sends it.
    void sendCode(const QString& code);

private:
    ControllerState& m_state;
    SerialComm& m_comm;
    FormTimers& m_timers;
    TrafficLines& m_lines;
    FaultHandler m_onFault;
};

} // namespace orva
