#pragma once

#include "engine/CommandExchange.h"
#include "engine/line/SerialLine.h"
#include "engine/protocol/Commands.h"
#include "engine/protocol/ReplyValues.h"
#include "engine/timing/IntervalTimer.h"
#include "hub/AuditLog.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace orva::hub {

// One projector as the hub owns it: its line, the one queue every door's
// frames go through, the status poller and what it learned.
//
// Invariants it keeps:
//  - one frame in flight on the line, first come first served across all
//    doors; each result reaches the requester that asked for it, and none
//    other;
//  - a requester has at most MaxPerRequester requests queued; more are
//    refused at once (QueueFull), never dropped;
//  - the line is opened at start and, after any failure, again after 1 s,
//    then 2, 4, ... up to 30 s between tries;
//  - a cached value is fresh only when it was read after the last action
//    that may have changed it was sent, and not longer ago than one poll
//    interval;
//  - while it polls, an action the projector acknowledged (from any door)
//    is followed at once by reads of the values it changes
//    (valuesChangedBy), so that nobody waits a poll interval to see it.
class Projector : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxPerRequester = 32;
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LastRetryMs = 30'000;
    // While the projector warms up or cools down its power is polled this often.
    static constexpr int TransitionPollMs = 1000;

    // Who asks: a door's client, or the poller (0). Chosen by the doors,
    // each numbering its clients under its own top bits.
    using Requester = quint64;
    static constexpr Requester Poller = 0;
    enum class Door : quint8 { Poll, Share, Pjlink, Http, Schedule };
    static constexpr int DoorCount = 5;
    static constexpr Requester requestersOf(Door door) { return Requester(door) << 61; }
    static constexpr Door doorOf(Requester requester) { return Door(requester >> 61); }
    // A door's name in the log, the refusal keys and the metrics' labels.
    static QLatin1String doorName(Door door)
    {
        static constexpr const char* Names[DoorCount] = {"poll", "share", "pjlink", "http", "schedule"};
        return QLatin1String(Names[std::size_t(door)]);
    }

    // What the hub counts for monitoring, since it started.
    struct Counters
    {
        std::array<quint64, DoorCount> frames{}; // frames that went out, by the door that asked
        quint64 replyTimeouts = 0;               // frames the projector did not answer in time
        quint64 lineReopens = 0;                 // the line opened again after it went down
        quint64 lateDropped = 0;                 // late characters past what one request is given
    };

    struct Cached
    {
        ReplyValue value;           // monostate: never read
        std::int64_t readAtMs = -1; // on the hub's clock
        std::int64_t sinceMs = -1;  // when it was first read as it stands
        quint64 readById = 0;       // the request that read it
    };

    Projector(const ProjectorConfig& config, int pollIntervalMs, int replyTimeoutMs, std::unique_ptr<SerialLine> line,
        Clock& clock, const HubLog& log, QObject* parent = nullptr);
    ~Projector() override;

    const QString& name() const { return m_config.name; }
    const ProjectorConfig& config() const { return m_config; }
    // Its doors' settings after a reload (ports, addresses, password, who
    // may connect); its name and line settings are its own for life.
    void setDoorSettings(const ProjectorConfig& config);
    int replyTimeoutMs() const { return m_replyTimeoutMs; }
    // How long the line must be quiet after a frame went unanswered before
    // the next goes out (CommandExchange::DefaultLateReplyMs unless set).
    void setLateReplyMs(int ms) { m_exchange->setLateReplyMs(ms); }
    // Late characters beyond what one request may be given, dropped.
    std::int64_t lateCharactersDropped() const { return m_exchange->lateCharactersDropped(); }
    int pollIntervalMs() const { return m_pollIntervalMs; }

    // Opens the line and starts polling.
    void start();
    // Closes the line; nothing is sent afterwards.
    void stop();

    // Queues a request of a requester; done is called once with its result
    // (at once when refused). origin names the requester in the log
    // ("share 127.0.0.1:40112"). A code that may change the projector (not
    // a query of the vocabulary) from any requester but the poller writes
    // one audit line when it ends, tagged as tag says.
    quint64 submit(Requester requester, const QString& origin, const ExchangeRequest& request,
        CommandExchange::Handler done, const AuditTag& tag = {});
    // A door refused a frame before it was queued (a share frame that is
    // not ASCII, an action while the line is down): its audit line.
    void auditUnsent(Requester requester, const QString& origin, const QString& code, const QString& outcome,
        const QString& errorKind, const AuditTag& tag = {});
    // Where audit lines go; none: not audited.
    void setAudit(AuditLog* audit) { m_audit = audit; }
    // A requester went away: its waiting requests are dropped, unanswered.
    void forget(Requester requester);

    bool isLineOpen() const { return m_line->isOpen(); }
    // Why the line is down, when it is.
    LineError lineError() const { return m_line->lastError(); }
    // The line is open and the last poll was answered.
    bool isUp() const { return m_line->isOpen() && m_lastPollAnswered; }
    // A value the doors may answer from without asking the projector.
    const ReplyValue* freshValue(StatusQuery query) const;
    const Cached& cached(StatusQuery query) const { return m_cache[std::size_t(query)]; }
    Counters counters() const
    {
        Counters counters = m_counters;
        counters.lateDropped = quint64(m_exchange->lateCharactersDropped());
        return counters;
    }
    // When a poll (a round, a power poll, the reads after an action) was
    // last answered, on the hub's clock; -1 when none was.
    std::int64_t lastPollAtMs() const { return m_lastPollAtMs; }
    // Of these commands, the one the projector acknowledged last since the
    // hub started, through any door; none when it acknowledged none of
    // them. What the projector cannot be asked (freeze, the source of an
    // input) is known only this way.
    std::optional<Command> lastAcknowledged(const std::vector<Command>& commands) const;

Q_SIGNALS:
    // A value was read that differs from the one before.
    void valueChanged(orva::StatusQuery query);
    // isUp() or isLineOpen() changed.
    void lineChanged();
    // The projector acknowledged a command of the vocabulary, from any
    // requester: what lastAcknowledged() answers may have changed.
    void commandAcknowledged(orva::Command command);
    // The hub's own reads ended answered (a poll round, a power poll, the
    // reads after an action): lastPollAtMs() moved, whether or not a value
    // changed.
    void polled();
    // Characters came with nothing in flight: the late reply to the last
    // frame sent, which was this requester's.
    void lateReply(orva::hub::Projector::Requester requester, const QString& characters);

private:
    void openLine();
    void onLineDown(const LineError& error);
    void scheduleReopen();
    void poll();
    void pollPower();
    void readAfter(const ExchangeRequest& request, const ExchangeResult& result);
    void notePollAnswered(const ExchangeResult& result, bool batchEnded);
    void learn(const ExchangeRequest& request, const ExchangeResult& result);
    void markChangedBy(const QString& code, quint64 id);
    void noteLineState();
    AuditEntry auditEntry(Requester requester, const QString& origin, const QString& code, const AuditTag& tag) const;

    ProjectorConfig m_config;
    const int m_pollIntervalMs;
    const int m_replyTimeoutMs;
    Clock& m_clock;
    const HubLog& m_log;
    AuditLog* m_audit = nullptr;
    std::unique_ptr<SerialLine> m_line;
    std::unique_ptr<CommandExchange> m_exchange;
    std::unique_ptr<IntervalTimer> m_reopenTimer;
    std::unique_ptr<IntervalTimer> m_pollTimer;
    std::unique_ptr<IntervalTimer> m_powerTimer;
    int m_retryMs = FirstRetryMs;
    bool m_stopped = true;
    bool m_downTold = false;
    bool m_lastPollAnswered = false;
    bool m_modelRead = false;
    int m_pollsOutstanding = 0;
    bool m_openedBefore = false;
    bool m_wasUp = false;
    bool m_wasOpen = false;
    std::int64_t m_lastPollAtMs = -1;
    std::int64_t m_polledToldAtMs = -1; // the time the last polled() told
    Counters m_counters;
    std::array<quint64, CommandCount> m_acknowledgedId{}; // the request that was acknowledged last, by command
    // The request that ended last and its requester, for a late reply.
    quint64 m_lastEndedId = 0;
    Requester m_lastEndedBy = Poller;
    std::array<Cached, StatusQueryCount> m_cache{};
    // Per value, the last request that may have changed it.
    std::array<quint64, StatusQueryCount> m_changedBy{};
    // Per value, a read after an action waits in the queue.
    std::array<bool, StatusQueryCount> m_readQueued{};
};

} // namespace orva::hub
