#include "link/Link.h"

#include "display/FormTimers.h"
#include "display/StatusDecoder.h"
#include "display/TrafficLines.h"
#include "display/TrafficText.h"
#include "link/SerialComm.h"

namespace orva {

Link::Link(ControllerState& state, SerialComm& comm, FormTimers& timers, TrafficLines& lines)
    : m_state(state)
    , m_comm(comm)
    , m_timers(timers)
    , m_lines(lines)
{
}

void Link::Hyouji(const QString& text, quint8 mode)
{
    if (mode == Send) {
        // The frame goes to the line first. When it cannot be written it is
        // still shown and timed, so that the operator sees the missing reply
        // marked; the fault is passed on once the send is complete.
        const bool written = m_comm.output(text);
        m_lines.setTransmit(renderTraffic(text));
        m_timers.Timer2->setEnabled(true);
        m_state.AwaitingReply = 1;
        m_timers.Timer4->setEnabled(true);
        if (!written && m_comm.portOpen() && m_onFault)
            m_onFault(SerialComm::EventWriteFailed, m_comm.errorString());
        return;
    }

    m_lines.setReceive(renderTraffic(text));
    if (const auto status
        = decodeStatus(m_state.OutgoingCommand, m_state.CommandPrefix, m_lines.receive(), m_state.PressureValue))
        m_lines.setStatus(*status);
}

void Link::MSComm1_OnComm()
{
    switch (const int event = m_comm.commEvent()) {
    case SerialComm::EventReceive:
        break;
    case SerialComm::EventDeviceLost:
    case SerialComm::EventWriteFailed:
        if (m_onFault)
            m_onFault(SerialComm::Event(event), m_comm.errorString());
        return;
    default: // line errors and modem-line changes change nothing
        return;
    }
    m_state.ReplyBuffer += m_comm.input();
    if (m_state.ReplyBuffer.size() > MaxReplyLength)
        m_state.ReplyBuffer.remove(0, m_state.ReplyBuffer.size() - MaxReplyLength);
    m_state.AwaitingReply = 0;
    Hyouji(m_state.ReplyBuffer, Receive);
}

void Link::sendCode(const QString& code)
{
    m_state.OutgoingCommand = buildFrame(m_state, code);
    Hyouji(m_state.OutgoingCommand, Send);
}

} // namespace orva
