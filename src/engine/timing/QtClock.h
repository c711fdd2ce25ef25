#pragma once

#include "engine/timing/IntervalTimer.h"

#include <QElapsedTimer>

namespace orva {

// Timers on QTimer with precise timing. When two countdowns end at the same
// moment the one started first ticks first (the event loop orders timers by
// their due time, and equal due times by start order).
class QtClock final : public Clock
{
public:
    QtClock();
    std::unique_ptr<IntervalTimer> createTimer(const QString& name, int interval) override;
    std::int64_t nowMs() const override;

private:
    QElapsedTimer m_elapsed;
};

} // namespace orva
