#pragma once

#include "engine/timing/IntervalTimer.h"
#include "hub/HttpAccess.h"
#include "hub/HttpEvents.h"
#include "hub/HttpMessage.h"
#include "hub/HubLog.h"
#include "hub/Projector.h"

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace orva::hub {

class GuessGuard;
class HttpFleetRoutes;
class Scheduler;

// What the HTTP door answers, without sockets: each request to a response,
// at once or when the projector has answered, and the live events.
//
//   GET  /                                    the web panel (and its scripts and style sheets)
//   GET  /metrics                             Prometheus text exposition, from the cache
//   GET  /api/projectors[/NAME]               cached state as JSON
//   POST /api/projectors/NAME/actions/ACTION  an orva-ctl action, through the queue
//   POST /api/projectors/NAME/send            {"code": "..."}: a free command
//   GET  /api/events                          Server-Sent Events (HttpEvents)
//   GET  /api/groups                          each group (and "all") with its members
//   POST /api/groups/GROUP/actions/ACTION     the action on every member at once
//   GET  /api/schedules                       each schedule, its next run and its last
//
// The groups' routes are HttpFleetRoutes'.
//
// The routes are one table: method, path pattern, what the request needs,
// handler. What it needs is a role: the page and its files need none, a
// read a viewer's token (with http-reads = "token" alone), an action an
// operator's, a free command an admin's. A hub without tokens answers its
// loopback names alone, and them everything. An action a browser says
// comes from another site (Origin) is refused, so that no web page can
// press a button through the operator's browser. HttpAccess decides, with
// guard holding back an address that guesses tokens. An event stream is
// closed when a reload takes away what let it in.
class HttpApi : public QObject
{
    Q_OBJECT
public:
    // Milliseconds since the epoch, now.
    using EpochClock = std::function<std::int64_t()>;
    struct Answer
    {
        HttpResponse response;
        bool stream = false; // an event stream begins: response holds its head's headers
    };
    using Respond = std::function<void(const Answer&)>;

    // A scrape this soon after another gets the same text: however often
    // /metrics is asked, rendering it takes little of the event loop the
    // projectors' frames go through.
    static constexpr int MetricsReuseMs = 250;
    // A free command's code, at most.
    static constexpr qsizetype MaxCodeLength = 64;

    // How many connections a door holds now, as the hub counts them: a
    // projector's share or PJLink door (none when it has no such door), or
    // the HTTP door (projector null).
    using ConnectionCount = std::function<std::optional<int>(Projector::Door door, const Projector* projector)>;

    HttpApi(std::vector<Projector*> served, HttpTokens tokens, HttpReads reads, Clock& clock, EpochClock epochNowMs,
        const HubLog& log, GuessGuard& guard, QObject* parent = nullptr);
    ~HttpApi() override;

    // The projectors served from now on, after a reload: none of those
    // served before is read again (a projector no longer served may be gone),
    // and an action waiting on one of those is answered 503 at once.
    void setServed(std::vector<Projector*> served);
    // The tokens and the reads' rule from now on (a reload); a token taken
    // away works no more, for the next request and for a stream it opened.
    void setAccess(HttpTokens tokens, HttpReads reads);
    // Whether the request that opened an event stream would open it now.
    bool admitsStream(const HttpRequest& request) const;

    // Answers a request of a connection (requester, peer name for the log);
    // respond is called exactly once, unless forget() is called first.
    void handle(const HttpRequest& request, Projector::Requester requester, const QString& peer, Respond respond);
    // A connection went away: its requests are dropped unanswered.
    void forget(Projector::Requester requester);

    // The first event of a stream: every projector as GET /api/projectors.
    QByteArray snapshotEvent();
    // Now, as an HTTP Date header says it.
    QByteArray httpDate() const;
    // Where /metrics reads the doors' connection counts.
    void setConnectionCount(ConnectionCount count) { m_connectionCount = std::move(count); }
    // The schedules GET /api/schedules and /metrics show; null: none.
    void setSchedules(const Scheduler* schedules) { m_schedules = schedules; }

Q_SIGNALS:
    // An event for every stream, as the bytes to write.
    void published(const QByteArray& bytes);
    // The tokens changed: every stream asks admitsStream again.
    void accessChanged();

private:
    struct Route;
    struct Call;

    // The handlers of the routes.
    void page(const Call& call);
    void favicon(const Call& call);
    void metricsPage(const Call& call);
    void events(const Call& call);
    void list(const Call& call);
    void one(const Call& call);
    void send(const Call& call);
    void action(const Call& call);
    void groups(const Call& call);
    void groupAction(const Call& call);
    void schedules(const Call& call);

    QJsonObject projectorsJson() const;
    QJsonObject projectorJson(const Projector& projector) const;
    std::int64_t epochOf(std::int64_t hubMs) const;
    QByteArray metrics();
    void run(Projector& projector, const ExchangeRequest& request, const QString& action, const Call& call);
    Projector* find(const QString& name) const;

    static const Route Routes[];

    std::vector<Projector*> m_served;
    HttpAccess m_access;
    HttpEvents m_events;
    std::unique_ptr<HttpFleetRoutes> m_fleet; // the groups' routes
    // Each connection's action waiting for its projector (one at most).
    struct InFlight
    {
        Projector* projector = nullptr;
        Respond respond;
    };
    std::map<Projector::Requester, InFlight> m_inFlight;
    Clock& m_clock;
    EpochClock m_epochNowMs;
    const HubLog& m_log;
    ConnectionCount m_connectionCount;
    const Scheduler* m_schedules = nullptr;
    QByteArray m_metrics; // the last rendering, and when it was made
    std::int64_t m_metricsAtMs = 0;
};

} // namespace orva::hub
