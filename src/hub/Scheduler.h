#pragma once

#include "engine/timing/IntervalTimer.h"
#include "hub/CalendarEvent.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/Projector.h"

#include <QJsonObject>
#include <QTimeZone>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace orva::hub {

// Runs the configuration's schedules: at each elapse of a schedule's
// calendar event, its action goes to every target projector's own queue as
// the schedule's requester (door "schedule"), and each projector's outcome
// is kept as the schedule's last run.
//
// Times are the wall clock's (an injected "epoch now"), waited for on the
// hub's clock: one timer, for the nearest next run, never longer than a
// minute, so that a wall clock that jumps (NTP, a resume from suspend) is
// seen within a minute. A run is planned after the one before, never at or
// before it, so a clock set back never runs it twice; a run found more than
// LateMs late (the hub was suspended, the clock jumped ahead) is skipped and
// logged, not run. Runs missed while the hub was down are not replayed.
class Scheduler
{
public:
    using EpochClock = std::function<std::int64_t()>;
    // The projector served under that name now; null when there is none.
    using FindProjector = std::function<Projector*(const QString&)>;

    static constexpr std::int64_t LateMs = 5 * 60 * 1000;
    static constexpr int LongestWaitMs = 60 * 1000;

    Scheduler(Clock& clock, EpochClock epochNowMs, const HubLog& log, FindProjector find);
    ~Scheduler();

    // Serves these schedules from now on and plans each one's next run
    // afresh; a schedule that stays keeps its last run and its counts.
    void setConfig(const HubConfig& config);
    // Logs "schedule NAME: next run AT" for each, and starts waiting.
    void start();
    void stop();

    // {"schedules": [{name, at, action, targets, enabled, next, last}]}.
    QJsonObject json() const;
    // orva_schedule_runs_total and orva_schedule_next_run_timestamp_seconds.
    QByteArray metrics() const;

    // The zone a configuration's schedules are read in.
    static QTimeZone zoneOf(const HubConfig& config);
    // The next `count` runs of a schedule after a moment, RFC 3339 with offset.
    static QStringList nextTimes(
        const ScheduleConfig& schedule, const QTimeZone& zone, std::int64_t afterEpochMs, int count);

private:
    struct Run;
    struct Planned;

    void plan(Planned& planned, std::int64_t afterEpochMs) const;
    void arm();
    void onTimer();
    void run(Planned& planned, std::int64_t dueEpochMs);
    QStringList members(const QStringList& targets) const;
    QString timeText(const Planned& planned, std::int64_t epochMs) const;

    Clock& m_clock;
    EpochClock m_epochNowMs;
    const HubLog& m_log;
    FindProjector m_find;
    HubConfig m_config;
    QTimeZone m_zone;
    std::vector<std::shared_ptr<Planned>> m_planned;
    std::unique_ptr<IntervalTimer> m_timer;
    bool m_started = false;
    Projector::Requester m_nextRequester;
};

} // namespace orva::hub
