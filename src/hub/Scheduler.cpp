#include "hub/Scheduler.h"

#include "hub/AuditLog.h"

#include "engine/protocol/ValueNames.h"
#include "hub/HubJson.h"

#include <QJsonArray>

#include <algorithm>

namespace orva::hub {

// One run: when it was due, and each target's outcome as it comes (null
// until then). Shared with the requests still out, which may end after a
// reload has dropped the schedule.
struct Scheduler::Run
{
    std::int64_t atEpochMs = 0;
    QJsonArray results;
    int waiting = 0;
    bool failed = false;
};

struct Scheduler::Planned
{
    ScheduleConfig config;
    CalendarEvent event;
    Projector::Requester requester = 0;
    std::optional<std::int64_t> dueEpochMs; // none: disabled, or no elapse before 2200
    std::int64_t lastDueEpochMs = -1;
    std::shared_ptr<Run> last;
    quint64 runsOk = 0;
    quint64 runsFailed = 0;
};

namespace {

// A schedule acts in its own name: the audit trail's door "schedule", its
// peer and who the schedule's name.
AuditTag scheduleTag(const ScheduleConfig& config)
{
    return AuditTag{QStringLiteral("schedule"), config.name, config.name, config.action};
}

CalendarEvent eventOf(const QString& at)
{
    const auto parsed = CalendarEvent::parse(at);
    // The configuration was checked when read: a text that is no event
    // never reaches the scheduler.
    return std::get<CalendarEvent>(parsed);
}

QDateTime epochMoment(std::int64_t epochMs)
{
    return QDateTime::fromMSecsSinceEpoch(epochMs, QTimeZone::utc());
}

std::optional<std::int64_t> nextOf(const CalendarEvent& event, const QTimeZone& zone, std::int64_t afterEpochMs)
{
    const std::optional<QDateTime> next = event.nextAfter(epochMoment(afterEpochMs), zone);
    return next ? std::optional<std::int64_t>(next->toMSecsSinceEpoch()) : std::nullopt;
}

QString rfc3339(const CalendarEvent& event, const QTimeZone& zone, std::int64_t epochMs)
{
    return QDateTime::fromMSecsSinceEpoch(epochMs, event.ownZone().value_or(zone)).toString(Qt::ISODate);
}

} // namespace

Scheduler::Scheduler(Clock& clock, EpochClock epochNowMs, const HubLog& log, FindProjector find)
    : m_clock(clock)
    , m_epochNowMs(std::move(epochNowMs))
    , m_log(log)
    , m_find(std::move(find))
    , m_zone(QTimeZone::systemTimeZone())
    , m_timer(clock.createTimer(QStringLiteral("schedules"), LongestWaitMs))
    , m_nextRequester(Projector::requestersOf(Projector::Door::Schedule) | 1)
{
    m_timer->setHandler([this] { onTimer(); });
}

Scheduler::~Scheduler() = default;

QTimeZone Scheduler::zoneOf(const HubConfig& config)
{
    return config.timezone.isEmpty() ? QTimeZone::systemTimeZone() : QTimeZone(config.timezone.toUtf8());
}

QStringList Scheduler::nextTimes(
    const ScheduleConfig& schedule, const QTimeZone& zone, std::int64_t afterEpochMs, int count)
{
    const CalendarEvent event = eventOf(schedule.at);
    QStringList times;
    std::int64_t after = afterEpochMs;
    while (times.size() < count) {
        const std::optional<std::int64_t> next = nextOf(event, zone, after);
        if (!next)
            break;
        times.append(rfc3339(event, zone, *next));
        after = *next;
    }
    return times;
}

void Scheduler::setConfig(const HubConfig& config)
{
    m_config = config;
    m_zone = zoneOf(config);
    std::vector<std::shared_ptr<Planned>> planned;
    const std::int64_t now = m_epochNowMs();
    for (const ScheduleConfig& schedule : config.schedules) {
        const auto same = std::find_if(m_planned.begin(), m_planned.end(),
            [&schedule](const std::shared_ptr<Planned>& old) { return old->config.name == schedule.name; });
        std::shared_ptr<Planned> one = same != m_planned.end() ? *same : std::make_shared<Planned>();
        if (!one->requester)
            one->requester = m_nextRequester++;
        one->config = schedule;
        one->event = eventOf(schedule.at);
        // Never again at or before the run it made last, whatever the new
        // times say: a reload does not run a schedule twice.
        plan(*one, std::max(now, one->lastDueEpochMs));
        planned.push_back(std::move(one));
    }
    m_planned = std::move(planned);
    if (m_started)
        arm();
}

void Scheduler::start()
{
    m_started = true;
    for (const std::shared_ptr<Planned>& planned : m_planned) {
        m_log.info(QString(),
            QStringLiteral("schedule %1: %2")
                .arg(planned->config.name,
                    !planned->config.enabled  ? QStringLiteral("disabled")
                        : planned->dueEpochMs ? QStringLiteral("next run ") + timeText(*planned, *planned->dueEpochMs)
                                              : QStringLiteral("never runs again")));
    }
    arm();
}

void Scheduler::stop()
{
    m_started = false;
    m_timer->setEnabled(false);
}

void Scheduler::plan(Planned& planned, std::int64_t afterEpochMs) const
{
    planned.dueEpochMs = planned.config.enabled ? nextOf(planned.event, m_zone, afterEpochMs) : std::nullopt;
}

void Scheduler::arm()
{
    m_timer->setEnabled(false);
    const std::int64_t now = m_epochNowMs();
    std::optional<std::int64_t> wait;
    for (const std::shared_ptr<Planned>& planned : m_planned) {
        if (planned->dueEpochMs)
            wait = std::min(wait.value_or(LongestWaitMs), std::max<std::int64_t>(0, *planned->dueEpochMs - now));
    }
    if (!wait)
        return;
    m_timer->setInterval(int(std::max<std::int64_t>(1, *wait)));
    m_timer->setEnabled(true);
}

void Scheduler::onTimer()
{
    const std::int64_t now = m_epochNowMs();
    // A run may start another schedule's requests, whose handlers come
    // later from the event loop; the list does not change meanwhile.
    const std::vector<std::shared_ptr<Planned>> all = m_planned;
    for (const std::shared_ptr<Planned>& planned : all) {
        if (!planned->dueEpochMs || now < *planned->dueEpochMs)
            continue;
        const std::int64_t due = *planned->dueEpochMs;
        if (now - due <= LateMs) {
            run(*planned, due);
        } else {
            m_log.warning(QString(),
                QStringLiteral("schedule %1: not run at %2: the clock jumped or the hub was suspended until %3")
                    .arg(planned->config.name, timeText(*planned, due), timeText(*planned, now)));
        }
        planned->lastDueEpochMs = due;
        plan(*planned, std::max(now, due));
    }
    arm();
}

QStringList Scheduler::members(const QStringList& targets) const
{
    QStringList names;
    for (const ProjectorConfig& projector : m_config.projectors) {
        const bool member = std::any_of(targets.begin(), targets.end(), [&projector](const QString& target) {
            return target == QLatin1String("all") || target == projector.name
                || (target.startsWith(QLatin1String("group:")) && projector.groups.contains(target.mid(6)));
        });
        if (member)
            names.append(projector.name);
    }
    return names;
}

void Scheduler::run(Planned& planned, std::int64_t dueEpochMs)
{
    const QStringList names = members(planned.config.targets);
    const std::optional<Command> command = commandOfHttpAction(planned.config.action);
    auto run = std::make_shared<Run>();
    run->atEpochMs = dueEpochMs;
    run->waiting = int(names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        run->results.append(QJsonValue());
    planned.last = run;
    m_log.info(QString(),
        QStringLiteral("schedule %1: %2 on %3")
            .arg(planned.config.name, planned.config.action, names.join(QStringLiteral(", "))));
    const std::weak_ptr<Planned> owner = *std::find_if(m_planned.begin(), m_planned.end(),
        [&planned](const std::shared_ptr<Planned>& one) { return one.get() == &planned; });
    if (names.isEmpty())
        ++planned.runsOk;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = names.at(i);
        const auto done = [run, owner, i, name](const ExchangeResult& result, const ExchangeRequest& request) {
            const QJsonObject body = resultJson(result, request, false).body;
            QJsonObject one;
            one.insert(QStringLiteral("projector"), name);
            for (const char* key : {"ok", "error", "error_kind", "ms"})
                one.insert(QLatin1String(key), body.value(QLatin1String(key)));
            run->results[i] = one;
            run->failed = run->failed || !body.value(QStringLiteral("ok")).toBool();
            if (--run->waiting > 0)
                return;
            if (const std::shared_ptr<Planned> schedule = owner.lock())
                ++(run->failed ? schedule->runsFailed : schedule->runsOk);
        };
        Projector* projector = m_find(name);
        if (!projector || !projector->isLineOpen()) {
            ExchangeResult down;
            down.outcome = ExchangeOutcome::LineFailed;
            if (projector) {
                down.error = projector->lineError();
                projector->auditUnsent(planned.requester, QStringLiteral("schedule ") + planned.config.name,
                    ExchangeRequest::of(*command, 0).code, QStringLiteral("error"), lineErrorKindName(down.error->kind),
                    scheduleTag(planned.config));
            }
            done(down, ExchangeRequest::of(*command, 0));
            continue;
        }
        const ExchangeRequest request = ExchangeRequest::of(*command, projector->replyTimeoutMs());
        projector->submit(
            planned.requester, QStringLiteral("schedule ") + planned.config.name, request,
            [done, request](const ExchangeResult& result) { done(result, request); }, scheduleTag(planned.config));
    }
}

QString Scheduler::timeText(const Planned& planned, std::int64_t epochMs) const
{
    return rfc3339(planned.event, m_zone, epochMs);
}

QJsonObject Scheduler::json() const
{
    QJsonArray schedules;
    for (const std::shared_ptr<Planned>& planned : m_planned) {
        QJsonObject one;
        one.insert(QStringLiteral("name"), planned->config.name);
        one.insert(QStringLiteral("at"), planned->config.at);
        one.insert(QStringLiteral("action"), planned->config.action);
        one.insert(QStringLiteral("targets"), QJsonArray::fromStringList(planned->config.targets));
        one.insert(QStringLiteral("enabled"), planned->config.enabled);
        one.insert(QStringLiteral("next"),
            planned->dueEpochMs ? QJsonValue(timeText(*planned, *planned->dueEpochMs)) : QJsonValue());
        QJsonValue last;
        if (planned->last) {
            QJsonObject run;
            run.insert(QStringLiteral("time"), timeText(*planned, planned->last->atEpochMs));
            run.insert(QStringLiteral("results"), planned->last->results);
            last = run;
        }
        one.insert(QStringLiteral("last"), last);
        schedules.append(one);
    }
    return QJsonObject{{QStringLiteral("schedules"), schedules}};
}

QByteArray Scheduler::metrics() const
{
    if (m_planned.empty())
        return {};
    QByteArray out;
    out += "# HELP orva_schedule_runs_total Runs of each schedule; failed when any target failed.\n"
           "# TYPE orva_schedule_runs_total counter\n";
    for (const std::shared_ptr<Planned>& planned : m_planned) {
        const QByteArray name = planned->config.name.toUtf8();
        out += "orva_schedule_runs_total{schedule=\"" + name + "\",outcome=\"ok\"} "
            + QByteArray::number(planned->runsOk) + '\n';
        out += "orva_schedule_runs_total{schedule=\"" + name + "\",outcome=\"failed\"} "
            + QByteArray::number(planned->runsFailed) + '\n';
    }
    out += "# HELP orva_schedule_next_run_timestamp_seconds When each schedule runs next, in seconds since the "
           "epoch.\n# TYPE orva_schedule_next_run_timestamp_seconds gauge\n";
    for (const std::shared_ptr<Planned>& planned : m_planned) {
        if (planned->dueEpochMs)
            out += "orva_schedule_next_run_timestamp_seconds{schedule=\"" + planned->config.name.toUtf8() + "\"} "
                + QByteArray::number(*planned->dueEpochMs / 1000) + '\n';
    }
    return out;
}

} // namespace orva::hub
