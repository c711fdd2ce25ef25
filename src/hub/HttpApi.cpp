#include "hub/HttpApi.h"

#include "engine/protocol/ValueNames.h"
#include "hub/HttpFleetRoutes.h"
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

using Needs = HttpAccess::Needs;

struct HttpApi::Call
{
    const HttpRequest& request;
    const QStringList& parts; // the path's decoded segments
    Projector::Requester requester;
    const QString& peer;
    const Respond& respond;
    const QString& who; // a token's holder, "local" on a hub without tokens, or empty (a read)

    void answer(const HttpResponse& response) const { respond(Answer{response, false}); }
};

struct HttpApi::Route
{
    const char* methods; // as the Allow header lists them; null: any method
    const char* path;    // "/"-separated segments, "*" any one segment
    Needs needs;         // the least a request must bring (HttpAccess)
    void (HttpApi::*handler)(const Call&);
    // A further test of the matched segments; null: none.
    bool (*accepts)(const QStringList& parts) = nullptr;
};

namespace {

// The page's scripts and styles, as WebPanelFiles lists them.
bool isPageFile(const QStringList& parts)
{
    return isWebPanelFile('/' + parts.join(QLatin1Char('/')).toUtf8());
}

} // namespace

const HttpApi::Route HttpApi::Routes[] = {
    {"GET, HEAD", "/", Needs::Nothing, &HttpApi::page},
    {nullptr, "/favicon.ico", Needs::Nothing, &HttpApi::favicon},
    {"GET, HEAD", "/metrics", Needs::Viewer, &HttpApi::metricsPage},
    {"GET, HEAD", "/*", Needs::Nothing, &HttpApi::page, &isPageFile},
    {"GET", "/api/events", Needs::Viewer, &HttpApi::events},
    {"GET, HEAD", "/api/projectors", Needs::Viewer, &HttpApi::list},
    {"GET, HEAD", "/api/projectors/*", Needs::Viewer, &HttpApi::one},
    {"POST", "/api/projectors/*/send", Needs::Admin, &HttpApi::send},
    {"POST", "/api/projectors/*/actions/*", Needs::Operator, &HttpApi::action},
    {"GET, HEAD", "/api/groups", Needs::Viewer, &HttpApi::groups},
    {"POST", "/api/groups/*/actions/*", Needs::Operator, &HttpApi::groupAction},
    {"GET, HEAD", "/api/schedules", Needs::Viewer, &HttpApi::schedules},
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

HttpApi::HttpApi(std::vector<Projector*> served, HttpTokens tokens, HttpReads reads, Clock& clock,
    EpochClock epochNowMs, const HubLog& log, GuessGuard& guard, QObject* parent)
    : QObject(parent)
    , m_served(std::move(served))
    , m_access(guard, log)
    , m_events([this](std::int64_t hubMs) { return epochOf(hubMs); })
    , m_fleet(std::make_unique<HttpFleetRoutes>(m_events, log))
    , m_clock(clock)
    , m_epochNowMs(std::move(epochNowMs))
    , m_log(log)
{
    connect(&m_events, &HttpEvents::published, this, &HttpApi::published);
    m_events.watch(m_served);
    m_access.setTokens(std::move(tokens), reads);
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
    m_fleet->setServed(m_served);
}

void HttpApi::setAccess(HttpTokens tokens, HttpReads reads)
{
    m_access.setTokens(std::move(tokens), reads);
    Q_EMIT accessChanged();
}

bool HttpApi::admitsStream(const HttpRequest& request) const
{
    return m_access.stillAdmits(request, Needs::Viewer);
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
    m_fleet->forget(requester);
    for (Projector* projector : m_served)
        projector->forget(requester);
}

void HttpApi::handle(const HttpRequest& request, Projector::Requester requester, const QString& peer, Respond respond)
{
    const auto refuse = [&respond](const HttpAccess::Refusal& refusal) {
        HttpResponse response = jsonResponse(refusal.status, refusal.body);
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
        if (!pathMatches(route.path, *path) || (route.accepts && !route.accepts(*path)))
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
    const std::variant<HttpAccess::Admitted, HttpAccess::Refusal> access = m_access.admit(request, peer, found->needs);
    if (const auto* refusal = std::get_if<HttpAccess::Refusal>(&access)) {
        refuse(*refusal);
        return;
    }
    const QString& who = std::get<HttpAccess::Admitted>(access).who;
    (this->*found->handler)(Call{request, *path, requester, peer, respond, who});
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
    call.answer(jsonResponse(200, projectorsJson()));
}

void HttpApi::one(const Call& call)
{
    const Projector* projector = find(call.parts.at(2));
    call.answer(projector ? jsonResponse(200, projectorJson(*projector))
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
    call.answer(jsonResponse(
        200, m_schedules ? m_schedules->json() : QJsonObject{{QStringLiteral("schedules"), QJsonArray()}}));
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
        HttpResponse response = jsonResponse(out.status, out.body);
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
            lineErrorKindName(down.error->kind), AuditTag{{}, {}, call.who, action});
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
        AuditTag{{}, {}, call.who, action});
}

void HttpApi::groups(const Call& call)
{
    call.answer(m_fleet->groups(m_served));
}

void HttpApi::groupAction(const Call& call)
{
    m_fleet->groupAction(call.parts.at(2), call.parts.at(4), m_served, call.requester, call.peer, call.who,
        [respond = call.respond](const HttpResponse& response) {
            respond(Answer{response, false});
        });
}

} // namespace orva::hub
