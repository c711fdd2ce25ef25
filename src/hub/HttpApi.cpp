#include "hub/HttpApi.h"

#include "engine/protocol/ValueNames.h"
#include "hub/GroupAction.h"
#include "hub/Groups.h"
#include "hub/HubJson.h"
#include "hub/Metrics.h"
#include "hub/Scheduler.h"
#include "hub/WebPanelFiles.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>

namespace orva::hub {

namespace {

HttpResponse json(int status, const QJsonObject& body)
{
    HttpResponse response;
    response.status = status;
    response.headers = {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}};
    response.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    response.body += '\n';
    return response;
}

HttpResponse jsonError(int status, const QString& error)
{
    return json(status, QJsonObject{{QStringLiteral("error"), error}});
}

HttpResponse methodNotAllowed(const char* allow)
{
    HttpResponse response = jsonError(405, QStringLiteral("use %1").arg(QLatin1String(allow)));
    response.headers.append(std::pair<QByteArray, QByteArray>("Allow", allow));
    return response;
}

// What a free command may be: printable ASCII, no carriage return, short.
bool isSendableCode(const QString& code)
{
    return !code.isEmpty() && code.size() <= HttpApi::MaxCodeLength
        && std::all_of(code.begin(), code.end(), [](QChar c) { return c.unicode() >= 32 && c.unicode() < 127; });
}

} // namespace

// What a request must bring, besides its method and path.
enum class Needs : quint8 {
    // A loopback Host when the hub has no token (always checked first).
    LoopbackHost,
    // That, and the token when the hub has one, from no other site.
    Token,
};

struct HttpApi::Call
{
    const HttpRequest& request;
    const QStringList& parts; // the path's decoded segments
    Projector::Requester requester;
    const QString& peer;
    const Respond& respond;

    void answer(const HttpResponse& response) const { respond(Answer{response, false}); }
};

struct HttpApi::Route
{
    const char* methods; // as the Allow header lists them; null: any method
    const char* path;    // "/"-separated segments, "*" any one segment
    Needs needs;
    void (HttpApi::*handler)(const Call&);
};

const HttpApi::Route HttpApi::Routes[] = {
    {"GET, HEAD", "/", Needs::LoopbackHost, &HttpApi::page},
    {"GET, HEAD", "/panel.js", Needs::LoopbackHost, &HttpApi::page},
    {"GET, HEAD", "/panel.css", Needs::LoopbackHost, &HttpApi::page},
    {"GET, HEAD", "/fleet.css", Needs::LoopbackHost, &HttpApi::page},
    {"GET, HEAD", "/words.js", Needs::LoopbackHost, &HttpApi::page},
    {"GET, HEAD", "/token.js", Needs::LoopbackHost, &HttpApi::page},
    {"GET, HEAD", "/card.js", Needs::LoopbackHost, &HttpApi::page},
    {"GET, HEAD", "/fleet.js", Needs::LoopbackHost, &HttpApi::page},
    {nullptr, "/favicon.ico", Needs::LoopbackHost, &HttpApi::favicon},
    {"GET, HEAD", "/metrics", Needs::LoopbackHost, &HttpApi::metricsPage},
    {"GET", "/api/events", Needs::LoopbackHost, &HttpApi::events},
    {"GET, HEAD", "/api/projectors", Needs::LoopbackHost, &HttpApi::list},
    {"GET, HEAD", "/api/projectors/*", Needs::LoopbackHost, &HttpApi::one},
    {"POST", "/api/projectors/*/send", Needs::Token, &HttpApi::send},
    {"POST", "/api/projectors/*/actions/*", Needs::Token, &HttpApi::action},
    {"GET, HEAD", "/api/groups", Needs::LoopbackHost, &HttpApi::groups},
    {"POST", "/api/groups/*/actions/*", Needs::Token, &HttpApi::groupAction},
    {"GET, HEAD", "/api/schedules", Needs::LoopbackHost, &HttpApi::schedules},
};

namespace {

bool pathMatches(const char* pattern, const QStringList& parts)
{
    QList<QByteArray> segments = QByteArray(pattern + 1).split('/');
    if (segments == QList<QByteArray>{QByteArray()})
        segments.clear(); // "/"
    if (segments.size() != parts.size())
        return false;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (segments.at(i) != "*" && parts.at(i) != QLatin1String(segments.at(i)))
            return false;
    }
    return true;
}

bool methodAllowed(const char* methods, const QByteArray& method)
{
    if (!methods)
        return true;
    const QList<QByteArray> allowed = QByteArray(methods).split(',');
    return std::any_of(
        allowed.begin(), allowed.end(), [&method](const QByteArray& one) { return one.trimmed() == method; });
}

} // namespace

HttpApi::HttpApi(std::vector<Projector*> served, const std::optional<QString>& token, Clock& clock,
    EpochClock epochNowMs, const HubLog& log, GuessGuard& guard, QObject* parent)
    : QObject(parent)
    , m_served(std::move(served))
    , m_access(token, guard, log)
    , m_events([this](std::int64_t hubMs) { return epochOf(hubMs); })
    , m_clock(clock)
    , m_epochNowMs(std::move(epochNowMs))
    , m_log(log)
{
    connect(&m_events, &HttpEvents::published, this, &HttpApi::published);
    m_events.watch(m_served);
    m_who = token ? QStringLiteral("default") : QStringLiteral("local");
}

void HttpApi::setServed(std::vector<Projector*> served)
{
    m_served = std::move(served);
    m_metrics.clear(); // the next scrape shows the projectors served now
    m_events.watch(m_served);
    // An action on a projector no longer served gets its answer now: the
    // projector, about to go, would never give one.
    std::vector<Respond> orphaned;
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        Projector* projector = it->second.projector;
        if (std::find(m_served.begin(), m_served.end(), projector) != m_served.end()) {
            ++it;
            continue;
        }
        projector->forget(it->first);
        orphaned.push_back(std::move(it->second.respond));
        it = m_inFlight.erase(it);
    }
    for (const Respond& respond : orphaned)
        respond(
            Answer{jsonError(503, QStringLiteral("the projector is no longer served (the hub was reloaded)")), false});
    // A group action's members no longer served: their results now.
    std::vector<std::pair<Projector::Requester, Projector*>> gone;
    for (const auto& [requester, waiting] : m_groupsInFlight) {
        for (Projector* member : waiting.run->pending()) {
            if (std::find(m_served.begin(), m_served.end(), member) == m_served.end())
                gone.emplace_back(requester, member);
        }
    }
    for (const auto& [requester, member] : gone) {
        member->forget(requester);
        finishGroupMember(requester, member,
            QJsonObject{{QStringLiteral("ok"), false},
                {QStringLiteral("error"), QStringLiteral("the projector is no longer served (the hub was reloaded)")}});
    }
}

void HttpApi::setToken(const std::optional<QString>& token)
{
    m_access.setToken(token);
    m_who = token ? QStringLiteral("default") : QStringLiteral("local");
}

HttpApi::~HttpApi() = default;

std::int64_t HttpApi::epochOf(std::int64_t hubMs) const
{
    return m_epochNowMs() - (m_clock.nowMs() - hubMs);
}

QByteArray HttpApi::httpDate() const
{
    return QLocale::c()
        .toString(
            QDateTime::fromMSecsSinceEpoch(m_epochNowMs(), Qt::UTC), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
        .toLatin1();
}

Projector* HttpApi::find(const QString& name) const
{
    const auto it = std::find_if(
        m_served.begin(), m_served.end(), [&name](const Projector* projector) { return projector->name() == name; });
    return it == m_served.end() ? nullptr : *it;
}

QJsonObject HttpApi::projectorJson(const Projector& projector) const
{
    QJsonObject values;
    for (std::size_t i = 0; i < StatusQueryCount; ++i) {
        const Projector::Cached& cached = projector.cached(StatusQuery(i));
        if (!std::holds_alternative<std::monostate>(cached.value))
            values.insert(QString(valueKey(StatusQuery(i))),
                valueJson(cached.value, epochOf(cached.readAtMs), epochOf(cached.sinceMs)));
    }
    const ProjectorConfig& config = projector.config();
    return QJsonObject{{QStringLiteral("name"), projector.name()}, {QStringLiteral("line"), config.line},
        {QStringLiteral("label"), config.label ? QJsonValue(*config.label) : QJsonValue()},
        {QStringLiteral("groups"), QJsonArray::fromStringList(config.groups)},
        {QStringLiteral("lamp_rated_hours"),
            config.lampRatedHours ? QJsonValue(double(*config.lampRatedHours)) : QJsonValue()},
        {QStringLiteral("up"), projector.isUp()}, {QStringLiteral("line_open"), projector.isLineOpen()},
        {QStringLiteral("line_error"), HttpEvents::lineErrorOf(projector)},
        {QStringLiteral("read_at"), m_events.readAtOf(projector)}, {QStringLiteral("values"), values}};
}

QJsonObject HttpApi::projectorsJson() const
{
    QJsonArray list;
    for (const Projector* projector : m_served)
        list.append(projectorJson(*projector));
    return QJsonObject{{QStringLiteral("projectors"), list}};
}

QByteArray HttpApi::metrics()
{
    const std::int64_t now = m_clock.nowMs();
    if (!m_metrics.isEmpty() && now - m_metricsAtMs < MetricsReuseMs)
        return m_metrics;
    std::vector<ProjectorMetrics> all;
    all.reserve(m_served.size());
    for (const Projector* served : m_served) {
        const Projector& projector = *served;
        ProjectorMetrics& metrics = all.emplace_back();
        metrics.name = projector.name();
        metrics.line = projector.config().line;
        metrics.groups = projector.config().groups;
        const bool stale = projector.pollIntervalMs() > 0
            && now - projector.lastPollAtMs() > std::int64_t(StaleAfterPolls) * projector.pollIntervalMs();
        metrics.up = projector.isUp() && !stale;
        for (std::size_t i = 0; i < StatusQueryCount; ++i)
            metrics.values[i] = projector.cached(StatusQuery(i)).value;
        if (projector.lastPollAtMs() >= 0)
            metrics.lastPollSeconds = double(epochOf(projector.lastPollAtMs())) / 1000.0;
        metrics.counters = projector.counters();
        if (m_connectionCount) {
            for (const Projector::Door door : {Projector::Door::Share, Projector::Door::Pjlink})
                metrics.clients[std::size_t(door)] = m_connectionCount(door, &projector);
        }
    }
    m_metrics
        = renderMetrics(all, m_connectionCount ? m_connectionCount(Projector::Door::Http, nullptr).value_or(0) : 0);
    if (m_schedules)
        m_metrics += m_schedules->metrics();
    m_metricsAtMs = now;
    return m_metrics;
}

QByteArray HttpApi::snapshotEvent()
{
    return m_events.snapshot(projectorsJson());
}

void HttpApi::forget(Projector::Requester requester)
{
    m_inFlight.erase(requester);
    m_groupsInFlight.erase(requester);
    for (Projector* projector : m_served)
        projector->forget(requester);
}

void HttpApi::handle(const HttpRequest& request, Projector::Requester requester, const QString& peer, Respond respond)
{
    const auto refuse = [&respond](const HttpAccess::Refusal& refusal) {
        HttpResponse response = jsonError(refusal.status, refusal.error);
        response.headers += refusal.headers;
        respond(Answer{response, false});
    };
    // Every route needs at least this: without a token the hub does not
    // even say what it has to a page that names itself.
    if (const std::optional<HttpAccess::Refusal> refusal = m_access.refuseAny(request, peer)) {
        refuse(*refusal);
        return;
    }
    const std::optional<QStringList> path = pathSegments(request.target);
    if (!path) {
        respond(Answer{jsonError(400, QStringLiteral("the path does not read")), false});
        return;
    }
    const Route* found = nullptr;
    for (const Route& route : Routes) {
        if (!pathMatches(route.path, *path))
            continue;
        found = &route;
        if (methodAllowed(route.methods, request.method))
            break;
    }
    if (!found) {
        respond(Answer{jsonError(404, QStringLiteral("nothing here")), false});
        return;
    }
    if (!methodAllowed(found->methods, request.method)) {
        respond(Answer{methodNotAllowed(found->methods), false});
        return;
    }
    if (found->needs == Needs::Token) {
        if (const std::optional<HttpAccess::Refusal> refusal = m_access.refuseAction(request, peer)) {
            refuse(*refusal);
            return;
        }
    }
    (this->*found->handler)(Call{request, *path, requester, peer, respond});
}

void HttpApi::page(const Call& call)
{
    const std::optional<HttpResponse> file = webPanelFile('/' + call.parts.join(QLatin1Char('/')).toUtf8());
    call.answer(file ? *file : jsonError(500, QStringLiteral("the page is missing from this build")));
}

void HttpApi::favicon(const Call& call)
{
    HttpResponse none;
    none.status = 204;
    call.answer(none);
}

void HttpApi::metricsPage(const Call& call)
{
    HttpResponse response;
    response.headers = {{"Content-Type", MetricsContentType}, {"Cache-Control", "no-store"}};
    response.body = metrics();
    call.answer(response);
}

void HttpApi::events(const Call& call)
{
    HttpResponse head;
    head.headers = {{"Content-Type", "text/event-stream"}, {"Cache-Control", "no-store"}, {"X-Accel-Buffering", "no"}};
    call.respond(Answer{head, true});
}

void HttpApi::list(const Call& call)
{
    call.answer(json(200, projectorsJson()));
}

void HttpApi::one(const Call& call)
{
    const Projector* projector = find(call.parts.at(2));
    call.answer(projector ? json(200, projectorJson(*projector))
                          : jsonError(404, QStringLiteral("no projector named '%1'").arg(call.parts.at(2))));
}

void HttpApi::action(const Call& call)
{
    Projector* projector = find(call.parts.at(2));
    if (!projector) {
        call.answer(jsonError(404, QStringLiteral("no projector named '%1'").arg(call.parts.at(2))));
        return;
    }
    const std::optional<Command> command = commandOfHttpAction(call.parts.at(4));
    if (!command) {
        call.answer(jsonError(404, QStringLiteral("no action named '%1'").arg(call.parts.at(4))));
        return;
    }
    run(*projector, ExchangeRequest::of(*command, projector->replyTimeoutMs()), call.parts.at(4), call);
}

void HttpApi::schedules(const Call& call)
{
    call.answer(
        json(200, m_schedules ? m_schedules->json() : QJsonObject{{QStringLiteral("schedules"), QJsonArray()}}));
}

void HttpApi::send(const Call& call)
{
    Projector* projector = find(call.parts.at(2));
    if (!projector) {
        call.answer(jsonError(404, QStringLiteral("no projector named '%1'").arg(call.parts.at(2))));
        return;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(call.request.body, &error);
    const QJsonValue code = document.object().value(QStringLiteral("code"));
    if (error.error != QJsonParseError::NoError) {
        call.answer(jsonError(400, QStringLiteral("the body is not a JSON object: %1").arg(error.errorString())));
        return;
    }
    if (!document.isObject()) {
        call.answer(jsonError(400, QStringLiteral("the body is not a JSON object")));
        return;
    }
    if (!code.isString() || !isSendableCode(code.toString())) {
        call.answer(jsonError(400,
            QStringLiteral("\"code\" must be 1 to %1 printable ASCII characters, without a carriage return")
                .arg(MaxCodeLength)));
        return;
    }
    run(*projector, ExchangeRequest::ofCode(code.toString(), projector->replyTimeoutMs()), QString(), call);
}

void HttpApi::run(Projector& projector, const ExchangeRequest& request, const QString& action, const Call& call)
{
    const QString name = projector.name();
    const auto answer = [respond = call.respond, request, action, name](const ExchangeResult& result) {
        ResultJson out = resultJson(result, request, action.isEmpty());
        out.body.insert(QStringLiteral("projector"), name);
        out.body.insert(QStringLiteral("action"), action.isEmpty() ? QJsonValue() : QJsonValue(action));
        HttpResponse response = json(out.status, out.body);
        if (out.status == 429)
            response.headers.append(std::pair<QByteArray, QByteArray>("Retry-After", "1"));
        respond(Answer{response, false});
    };
    if (!projector.isLineOpen()) {
        // Not queued: the line is down, and the hub tries it again by itself.
        ExchangeResult down;
        down.outcome = ExchangeOutcome::LineFailed;
        down.error = projector.lineError();
        projector.auditUnsent(call.requester, call.peer, request.code, QStringLiteral("error"),
            lineErrorKindName(down.error->kind), AuditTag{{}, {}, m_who, action});
        answer(down);
        return;
    }
    // Who pressed what, for the operators' record.
    m_log.info(name,
        QStringLiteral("%1: %2").arg(call.peer, action.isEmpty() ? QStringLiteral("send ") + request.code : action));
    const Projector::Requester requester = call.requester;
    m_inFlight[requester] = InFlight{&projector, call.respond};
    projector.submit(
        requester, call.peer, request,
        [this, requester, answer](const ExchangeResult& result) {
            m_inFlight.erase(requester);
            answer(result);
        },
        AuditTag{{}, {}, m_who, action});
}

} // namespace orva::hub

namespace orva::hub {

void HttpApi::groups(const Call& call)
{
    QJsonArray list;
    for (const Group& group : groupsOf(m_served)) {
        QJsonArray names;
        for (const Projector* member : group.members)
            names.append(member->name());
        list.append(QJsonObject{{QStringLiteral("name"), group.name}, {QStringLiteral("projectors"), names}});
    }
    call.answer(json(200, QJsonObject{{QStringLiteral("groups"), list}}));
}

void HttpApi::groupAction(const Call& call)
{
    const QString& group = call.parts.at(2);
    const QString& name = call.parts.at(4);
    const std::optional<std::vector<Projector*>> members = membersOf(group, m_served);
    if (!members) {
        call.answer(jsonError(404, QStringLiteral("no group named '%1'").arg(group)));
        return;
    }
    const std::optional<Command> command = commandOfHttpAction(name);
    if (!command) {
        call.answer(jsonError(404, QStringLiteral("no action named '%1'").arg(name)));
        return;
    }
    const Projector::Requester requester = call.requester;
    m_groupsInFlight[requester] = GroupInFlight{std::make_unique<GroupAction>(group, name, *members), call.respond};
    // Every member at once, each on its own queue; one whose line is down
    // has its result now, as the one-projector route answers at once.
    for (Projector* member : *members) {
        const ExchangeRequest request = ExchangeRequest::of(*command, member->replyTimeoutMs());
        if (!member->isLineOpen()) {
            ExchangeResult down;
            down.outcome = ExchangeOutcome::LineFailed;
            down.error = member->lineError();
            member->auditUnsent(requester, call.peer, request.code, QStringLiteral("error"),
                lineErrorKindName(down.error->kind), AuditTag{QStringLiteral("group"), {}, m_who, name});
            finishGroupMember(requester, member, resultJson(down, request, false).body);
            continue;
        }
        m_log.info(member->name(), QStringLiteral("%1: %2 (group %3)").arg(call.peer, name, group));
        member->submit(
            requester, call.peer, request,
            [this, requester, member, request](const ExchangeResult& result) {
                finishGroupMember(requester, member, resultJson(result, request, false).body);
            },
            AuditTag{QStringLiteral("group"), {}, m_who, name});
    }
}

void HttpApi::finishGroupMember(Projector::Requester requester, const Projector* member, const QJsonObject& result)
{
    const auto it = m_groupsInFlight.find(requester);
    if (it == m_groupsInFlight.end())
        return;
    GroupAction& run = *it->second.run;
    QJsonObject event = run.record(member, result);
    if (event.isEmpty())
        return;
    event.insert(QStringLiteral("group"), run.group());
    event.insert(QStringLiteral("action"), run.action());
    m_events.publish("group-result", event);
    if (!run.done())
        return;
    const HttpResponse response = json(200, run.answer());
    const Respond respond = std::move(it->second.respond);
    m_groupsInFlight.erase(it);
    respond(Answer{response, false});
}

} // namespace orva::hub
