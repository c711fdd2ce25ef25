#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace orva {

// An interval timer as the handlers use it:
//  - setEnabled(true) on a stopped timer starts a countdown of interval();
//    on a running timer it changes nothing (the countdown runs on).
//  - setEnabled(false) stops the countdown; no tick follows.
//  - setInterval() on a running timer restarts the countdown with the new
//    value, counted from the write; on a stopped timer it only stores it.
//  - while enabled, the timer ticks every interval(); each tick runs the
//    handler on the window thread, never inside another handler.
//  - when two ticks fall due at the same moment, the timer whose countdown
//    started first (or was last restarted first) ticks first, on the
//    virtual clock of the tests and on QtClock alike. The send path starts
//    the reply timeout before the clear delay, so with equal intervals
//    (25/25, 5/5) a missing reply is marked " X X X X" and the clear delay
//    then blanks the line at once.
// Intervals are milliseconds.
class IntervalTimer
{
public:
    using Handler = std::function<void()>;

    virtual ~IntervalTimer() = default;

    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    const QString& name() const { return m_name; }

protected:
    explicit IntervalTimer(QString name)
        : m_name(std::move(name))
    {
    }
    void fire() const
    {
        if (m_handler)
            m_handler();
    }

private:
    QString m_name;
    Handler m_handler;
};

// Where timers and the time come from. The programs run on the event
// loop's clock (QtClock); tests run on a virtual one they advance by hand.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual std::unique_ptr<IntervalTimer> createTimer(const QString& name, int interval) = 0;
    // Milliseconds since the clock was made.
    virtual std::int64_t nowMs() const = 0;
};

} // namespace orva
