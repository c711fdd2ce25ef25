#pragma once

#include "display/IntervalTimer.h"

#include <memory>

namespace orva {

// The window's four interval timers, stopped and at their start-up
// intervals when made:
//   Timer1 200 ms  repeat of a held button
//   Timer2 500 ms  reply timeout
//   Timer3 5000 ms hides the port-settings frame
//   Timer4 1000 ms clear delay of the display lines
struct FormTimers
{
    explicit FormTimers(Clock& clock)
        : Timer1(clock.createTimer(QStringLiteral("Timer1"), 200))
        , Timer2(clock.createTimer(QStringLiteral("Timer2"), 500))
        , Timer3(clock.createTimer(QStringLiteral("Timer3"), 5000))
        , Timer4(clock.createTimer(QStringLiteral("Timer4"), 1000))
    {
    }

    std::unique_ptr<IntervalTimer> Timer1;
    std::unique_ptr<IntervalTimer> Timer2;
    std::unique_ptr<IntervalTimer> Timer3;
    std::unique_ptr<IntervalTimer> Timer4;
};

} // namespace orva
