#include "display/TrafficTimers.h"

#include "display/FormTimers.h"
#include "display/TrafficLines.h"

namespace orva {

TrafficTimers::TrafficTimers(ControllerState& state, FormTimers& timers, TrafficLines& lines)
    : m_state(state)
    , m_timers(timers)
    , m_lines(lines)
{
    m_timers.Timer2->setHandler([this] { Timer2_Timer(); });
    m_timers.Timer4->setHandler([this] { Timer4_Timer(); });
}

void TrafficTimers::Timer2_Timer()
{
    if (m_state.AwaitingReply == 1)
        m_lines.setReceive(NoReplyMark);
    m_timers.Timer2->setEnabled(false);
    m_state.ReplyBuffer.clear();
    m_state.AwaitingReply = 0;
}

void TrafficTimers::Timer4_Timer()
{
    m_lines.setTransmit(QString());
    m_lines.setReceive(QString());
    m_lines.setStatus(QString());
    m_timers.Timer4->setEnabled(false);
}

} // namespace orva
