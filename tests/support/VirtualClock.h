#pragma once

#include "engine/timing/IntervalTimer.h"

#include <vector>

namespace orva {

class VirtualTimer;

// A clock that moves only when told to. advance() delivers every tick that
// falls due, one at a time and in order of due time; ties go to the timer
// whose countdown started first (as on the real event loop), so a run is
// the same on every machine.
class VirtualClock final : public Clock
{
public:
    VirtualClock() = default;
    ~VirtualClock() override;
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    std::unique_ptr<IntervalTimer> createTimer(const QString& name, int interval) override;
    std::int64_t nowMs() const override { return m_now; }

    // Moves time forward by ms, running each tick that falls due on the way.
    void advance(std::int64_t ms);
    // Moves time to the absolute moment t (no-op when t is not ahead).
    void advanceTo(std::int64_t t);

private:
    friend class VirtualTimer;
    void attach(VirtualTimer* timer);
    void detach(VirtualTimer* timer);
    std::uint64_t nextSequence() { return m_sequence++; }

    std::int64_t m_now = 0;
    std::uint64_t m_sequence = 0;
    std::vector<VirtualTimer*> m_timers;
};

class VirtualTimer final : public IntervalTimer
{
public:
    VirtualTimer(VirtualClock& clock, const QString& name, int interval);
    ~VirtualTimer() override;

    void setInterval(int ms) override;
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return m_enabled; }

private:
    friend class VirtualClock;
    void arm();
    void tick();

    VirtualClock& m_clock;
    int m_interval;
    bool m_enabled = false;
    std::int64_t m_due = 0;
    std::uint64_t m_sequence = 0;
};

} // namespace orva
