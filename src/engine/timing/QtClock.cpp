#include "engine/timing/QtClock.h"

#include <QTimer>

namespace orva {

namespace {

class QtIntervalTimer final : public IntervalTimer
{
public:
    QtIntervalTimer(const QString& name, int interval)
        : IntervalTimer(name)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(interval);
        m_timer.setObjectName(name);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { fire(); });
    }

    void setInterval(int ms) override
    {
        m_timer.setInterval(ms);
        if (m_timer.isActive())
            m_timer.start(); // restart the countdown from this write
    }
    int interval() const override { return m_timer.interval(); }

    void setEnabled(bool enabled) override
    {
        if (enabled && !m_timer.isActive())
            m_timer.start();
        else if (!enabled)
            m_timer.stop();
    }
    bool isEnabled() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

QtClock::QtClock()
{
    m_elapsed.start();
}

std::unique_ptr<IntervalTimer> QtClock::createTimer(const QString& name, int interval)
{
    return std::make_unique<QtIntervalTimer>(name, interval);
}

std::int64_t QtClock::nowMs() const
{
    return m_elapsed.elapsed();
}

} // namespace orva
