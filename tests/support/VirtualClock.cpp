#include "VirtualClock.h"

#include <algorithm>
#include <cassert>

namespace orva {

VirtualClock::~VirtualClock()
{
    // Timers made by this clock must not outlive it.
    assert(m_timers.empty());
}

std::unique_ptr<IntervalTimer> VirtualClock::createTimer(const QString& name, int interval)
{
    return std::make_unique<VirtualTimer>(*this, name, interval);
}

void VirtualClock::attach(VirtualTimer* timer)
{
    m_timers.push_back(timer);
}

void VirtualClock::detach(VirtualTimer* timer)
{
    std::erase(m_timers, timer);
}

void VirtualClock::advance(std::int64_t ms)
{
    advanceTo(m_now + ms);
}

void VirtualClock::advanceTo(std::int64_t t)
{
    for (;;) {
        VirtualTimer* next = nullptr;
        for (VirtualTimer* timer : m_timers) {
            if (!timer->m_enabled || timer->m_due > t)
                continue;
            if (!next || timer->m_due < next->m_due
                || (timer->m_due == next->m_due && timer->m_sequence < next->m_sequence))
                next = timer;
        }
        if (!next)
            break;
        m_now = std::max(m_now, next->m_due);
        next->tick();
    }
    m_now = std::max(m_now, t);
}

VirtualTimer::VirtualTimer(VirtualClock& clock, const QString& name, int interval)
    : IntervalTimer(name)
    , m_clock(clock)
    , m_interval(interval)
{
    m_clock.attach(this);
}

VirtualTimer::~VirtualTimer()
{
    m_clock.detach(this);
}

void VirtualTimer::arm()
{
    // A zero interval would tick forever without time moving; one
    // millisecond is the finest step this clock knows.
    m_due = m_clock.nowMs() + std::max(m_interval, 1);
    m_sequence = m_clock.nextSequence();
}

void VirtualTimer::setInterval(int ms)
{
    m_interval = ms;
    if (m_enabled)
        arm();
}

void VirtualTimer::setEnabled(bool enabled)
{
    if (enabled && !m_enabled) {
        m_enabled = true;
        arm();
    } else if (!enabled) {
        m_enabled = false;
    }
}

void VirtualTimer::tick()
{
    // The next period is scheduled before the handler runs, so a handler
    // that restarts or stops the timer has the last word.
    arm();
    fire();
}

} // namespace orva
