#include "hub/HttpApi.h"

#include "engine/protocol/ValueNames.h"
#include "hub/HubJson.h"
#include "hub/Metrics.h"
#include "hub/PjlinkDoor.h"
#include "hub/ShareDoor.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>

namespace orva::hub {

namespace {

// The web panel: the only files the door serves, from the program itself.
struct PageFile
{
    const char* path;
    const char* resource;
    const char* contentType;
};
constexpr PageFile PageFiles[] = {
    {"/", ":/orva-hub/web/index.html", "text/html; charset=utf-8"},
    {"/panel.js", ":/orva-hub/web/panel.js", "text/javascript; charset=utf-8"},
    {"/panel.css", ":/orva-hub/web/panel.css", "text/css; charset=utf-8"},
};

// The page runs its own script and style only, and talks to the hub alone.
constexpr char PagePolicy[] = "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                              "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

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

bool isGet(const HttpRequest& request)
{
    return request.method == "GET" || request.method == "HEAD";
}

// What a free command may be: printable ASCII, no carriage return, short.
bool isSendableCode(const QString& code)
{
    return !code.isEmpty() && code.size() <= HttpApi::MaxCodeLength
        && std::all_of(code.begin(), code.end(), [](QChar c) { return c.unicode() >= 32 && c.unicode() < 127; });
}

} // namespace

HttpApi::HttpApi(std::vector<ServedView> served, const std::optional<QString>& token, Clock& clock,
    EpochClock epochNowMs, const HubLog& log, GuessGuard& guard, QObject* parent)
    : QObject(parent)
    , m_served(std::move(served))
    , m_access(token, guard, log)
    , m_clock(clock)
    , m_epochNowMs(std::move(epochNowMs))
    , m_log(log)
{
    watch();
}

void HttpApi::setServed(std::vector<ServedView> served)
{
    for (const QMetaObject::Connection& connection : m_watching)
        disconnect(connection);
    m_watching.clear();
    m_served = std::move(served);
    m_metrics.clear(); // the next scrape shows the projectors served now
    watch();
    // An action on a projector no longer served gets its answer now: the
    // projector, about to go, would never give one.
    std::vector<Respond> orphaned;
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        Projector* projector = it->second.projector;
        if (std::any_of(m_served.begin(), m_served.end(),
                [projector](const ServedView& view) { return view.projector == projector; })) {
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
}

void HttpApi::setToken(const std::optional<QString>& token)
{
    m_access.setToken(token);
}

void HttpApi::watch()
{
    for (const ServedView& view : m_served) {
        Projector* projector = view.projector;
        m_watching.push_back(connect(projector, &Projector::valueChanged, this, [this, projector](StatusQuery query) {
            const Projector::Cached& cached = projector->cached(query);
            QJsonObject data = valueJson(cached.value, epochOf(cached.readAtMs));
            data.insert(QStringLiteral("projector"), projector->name());
            data.insert(QStringLiteral("name"), QString(valueKey(query)));
            Q_EMIT event(nextEvent("value", data));
        }));
        m_watching.push_back(connect(projector, &Projector::lineChanged, this, [this, projector] {
            Q_EMIT event(nextEvent("line",
                QJsonObject{{QStringLiteral("projector"), projector->name()}, {QStringLiteral("up"), projector->isUp()},
                    {QStringLiteral("line_open"), projector->isLineOpen()}}));
        }));
    }
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

const ServedView* HttpApi::find(const QString& name) const
{
    const auto it = std::find_if(
        m_served.begin(), m_served.end(), [&name](const ServedView& view) { return view.projector->name() == name; });
    return it == m_served.end() ? nullptr : &*it;
}

QJsonObject HttpApi::projectorJson(const Projector& projector) const
{
    QJsonObject values;
    for (std::size_t i = 0; i < StatusQueryCount; ++i) {
        const Projector::Cached& cached = projector.cached(StatusQuery(i));
        if (!std::holds_alternative<std::monostate>(cached.value))
            values.insert(QString(valueKey(StatusQuery(i))), valueJson(cached.value, epochOf(cached.readAtMs)));
    }
    return QJsonObject{{QStringLiteral("name"), projector.name()}, {QStringLiteral("line"), projector.config().line},
        {QStringLiteral("up"), projector.isUp()}, {QStringLiteral("line_open"), projector.isLineOpen()},
        {QStringLiteral("values"), values}};
}

QJsonObject HttpApi::projectorsJson() const
{
    QJsonArray list;
    for (const ServedView& view : m_served)
        list.append(projectorJson(*view.projector));
    return QJsonObject{{QStringLiteral("projectors"), list}};
}

QByteArray HttpApi::metrics()
{
    const std::int64_t now = m_clock.nowMs();
    if (!m_metrics.isEmpty() && now - m_metricsAtMs < MetricsReuseMs)
        return m_metrics;
    std::vector<ProjectorMetrics> all;
    all.reserve(m_served.size());
    for (const ServedView& view : m_served) {
        const Projector& projector = *view.projector;
        ProjectorMetrics& metrics = all.emplace_back();
        metrics.name = projector.name();
        metrics.line = projector.config().line;
        const bool stale = projector.pollIntervalMs() > 0
            && now - projector.lastPollAtMs() > std::int64_t(StaleAfterPolls) * projector.pollIntervalMs();
        metrics.up = projector.isUp() && !stale;
        for (std::size_t i = 0; i < StatusQueryCount; ++i)
            metrics.values[i] = projector.cached(StatusQuery(i)).value;
        if (projector.lastPollAtMs() >= 0)
            metrics.lastPollSeconds = double(epochOf(projector.lastPollAtMs())) / 1000.0;
        metrics.counters = projector.counters();
        if (view.share)
            metrics.clients[std::size_t(Projector::Door::Share)] = view.share->clientCount();
        if (view.pjlink)
            metrics.clients[std::size_t(Projector::Door::Pjlink)] = view.pjlink->connectionCount();
    }
    m_metrics = renderMetrics(all, m_connectionCount ? m_connectionCount() : 0);
    m_metricsAtMs = now;
    return m_metrics;
}

QByteArray HttpApi::nextEvent(const char* name, const QJsonObject& data)
{
    return QByteArray("id: ") + QByteArray::number(m_nextEventId++) + "\nevent: " + name
        + "\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact) + "\n\n";
}

QByteArray HttpApi::snapshotEvent()
{
    return nextEvent("snapshot", projectorsJson());
}

void HttpApi::forget(Projector::Requester requester)
{
    m_inFlight.erase(requester);
    for (const ServedView& view : m_served)
        view.projector->forget(requester);
}

void HttpApi::handle(const HttpRequest& request, Projector::Requester requester, const QString& peer, Respond respond)
{
    const auto answer = [&respond](const HttpResponse& response) { respond(Answer{response, false}); };
    const auto refuse = [&answer](const HttpAccess::Refusal& refusal) {
        HttpResponse response = jsonError(refusal.status, refusal.error);
        response.headers += refusal.headers;
        answer(response);
    };
    if (const std::optional<HttpAccess::Refusal> refusal = m_access.refuseAny(request, peer)) {
        refuse(*refusal);
        return;
    }
    const std::optional<QStringList> path = pathSegments(request.target);
    if (!path) {
        answer(jsonError(400, QStringLiteral("the path does not read")));
        return;
    }
    const QStringList& parts = *path;

    for (const PageFile& file : PageFiles) {
        if (request.target != file.path)
            continue;
        if (!isGet(request)) {
            answer(methodNotAllowed("GET, HEAD"));
            return;
        }
        QFile page(QLatin1String(file.resource));
        if (!page.open(QIODevice::ReadOnly)) {
            answer(jsonError(500, QStringLiteral("the page is missing from this build")));
            return;
        }
        HttpResponse response;
        response.headers = {{"Content-Type", file.contentType}, {"Cache-Control", "no-cache"},
            {"Content-Security-Policy", PagePolicy}, {"Referrer-Policy", "no-referrer"}};
        response.body = page.readAll();
        answer(response);
        return;
    }
    if (request.target == "/favicon.ico") {
        HttpResponse none;
        none.status = 204;
        answer(none);
        return;
    }

    if (parts == QStringList{QStringLiteral("metrics")}) {
        if (!isGet(request)) {
            answer(methodNotAllowed("GET, HEAD"));
            return;
        }
        HttpResponse response;
        response.headers = {{"Content-Type", MetricsContentType}, {"Cache-Control", "no-store"}};
        response.body = metrics();
        answer(response);
        return;
    }
    if (parts.value(0) != QLatin1String("api")) {
        answer(jsonError(404, QStringLiteral("nothing here")));
        return;
    }
    if (parts == QStringList{QStringLiteral("api"), QStringLiteral("events")}) {
        if (request.method != "GET") {
            answer(methodNotAllowed("GET"));
            return;
        }
        HttpResponse head;
        head.headers
            = {{"Content-Type", "text/event-stream"}, {"Cache-Control", "no-store"}, {"X-Accel-Buffering", "no"}};
        respond(Answer{head, true});
        return;
    }
    if (parts.value(1) != QLatin1String("projectors") || parts.size() > 5) {
        answer(jsonError(404, QStringLiteral("nothing here")));
        return;
    }
    if (parts.size() <= 3) {
        if (!isGet(request)) {
            answer(methodNotAllowed("GET, HEAD"));
            return;
        }
        if (parts.size() == 2) {
            answer(json(200, projectorsJson()));
            return;
        }
        const ServedView* view = find(parts.at(2));
        answer(view ? json(200, projectorJson(*view->projector))
                    : jsonError(404, QStringLiteral("no projector named '%1'").arg(parts.at(2))));
        return;
    }

    const bool isSend = parts.size() == 4 && parts.at(3) == QLatin1String("send");
    const bool isAction = parts.size() == 5 && parts.at(3) == QLatin1String("actions");
    if (!isSend && !isAction) {
        answer(jsonError(404, QStringLiteral("nothing here")));
        return;
    }
    if (request.method != "POST") {
        answer(methodNotAllowed("POST"));
        return;
    }
    if (const std::optional<HttpAccess::Refusal> refusal = m_access.refuseAction(request, peer)) {
        refuse(*refusal);
        return;
    }
    const ServedView* view = find(parts.at(2));
    if (!view) {
        answer(jsonError(404, QStringLiteral("no projector named '%1'").arg(parts.at(2))));
        return;
    }
    const int timeoutMs = view->projector->replyTimeoutMs();
    if (isAction) {
        const std::optional<Command> command = commandOfHttpAction(parts.at(4));
        if (!command) {
            answer(jsonError(404, QStringLiteral("no action named '%1'").arg(parts.at(4))));
            return;
        }
        run(*view, ExchangeRequest::of(*command, timeoutMs), parts.at(4), requester, peer, respond);
        return;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    const QJsonValue code = document.object().value(QStringLiteral("code"));
    if (error.error != QJsonParseError::NoError) {
        answer(jsonError(400, QStringLiteral("the body is not a JSON object: %1").arg(error.errorString())));
        return;
    }
    if (!document.isObject()) {
        answer(jsonError(400, QStringLiteral("the body is not a JSON object")));
        return;
    }
    if (!code.isString() || !isSendableCode(code.toString())) {
        answer(jsonError(400,
            QStringLiteral("\"code\" must be 1 to %1 printable ASCII characters, without a carriage return")
                .arg(MaxCodeLength)));
        return;
    }
    run(*view, ExchangeRequest::ofCode(code.toString(), timeoutMs), QString(), requester, peer, respond);
}

void HttpApi::run(const ServedView& served, const ExchangeRequest& request, const QString& action,
    Projector::Requester requester, const QString& peer, const Respond& respond)
{
    Projector& projector = *served.projector;
    const QString name = projector.name();
    const auto answer = [respond, request, action, name](const ExchangeResult& result) {
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
        answer(down);
        return;
    }
    // Who pressed what, for the operators' record.
    m_log.info(
        name, QStringLiteral("%1: %2").arg(peer, action.isEmpty() ? QStringLiteral("send ") + request.code : action));
    m_inFlight[requester] = InFlight{&projector, respond};
    projector.submit(requester, peer, request, [this, requester, answer](const ExchangeResult& result) {
        m_inFlight.erase(requester);
        answer(result);
    });
}

} // namespace orva::hub
