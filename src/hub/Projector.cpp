#include "hub/Projector.h"

#include "engine/line/LineAddress.h"
#include "engine/protocol/Commands.h"
#include "engine/protocol/PowerStates.h"
#include "engine/protocol/ValueNames.h"
#include "engine/protocol/ValuesChanged.h"

#include <algorithm>

namespace orva::hub {

namespace {

// A read of the hub's own that counts as the projector's answer: text, its
// error reply or ACK; what counts for the poller's "answering again" and for
// the read time the page shows alike.
bool projectorAnswered(const ExchangeResult& result)
{
    return result.outcome == ExchangeOutcome::Replied || result.outcome == ExchangeOutcome::ErrorReply
        || result.outcome == ExchangeOutcome::Acknowledged;
}

// Requests waiting on one line, at most: every client of every door at its
// own bound, and the poller's round.
constexpr int MaxWaiting = 1024;

// What the poller reads each round, besides the model once per opening.
constexpr StatusQuery PolledValues[] = {StatusQuery::PowerState, StatusQuery::InputSource, StatusQuery::MuteState,
    StatusQuery::LampHours, StatusQuery::LampMode, StatusQuery::Temperatures};

// Warming up or cooling down: polled more often until it ends.
bool isTransition(const ReplyValue& value)
{
    const auto* state = std::get_if<PowerState>(&value);
    return state && isPowerTransition(*state);
}

QString outcomeName(const ExchangeResult& result)
{
    switch (result.outcome) {
    case ExchangeOutcome::Acknowledged:
        return QStringLiteral("acknowledged");
    case ExchangeOutcome::Refused:
        return QStringLiteral("refused (NAK)");
    case ExchangeOutcome::Replied:
        return QStringLiteral("replied");
    case ExchangeOutcome::ErrorReply:
        return QStringLiteral("error reply");
    case ExchangeOutcome::TimedOut:
        return QStringLiteral("no reply in time");
    case ExchangeOutcome::LineFailed:
        return QStringLiteral("line failed: ") + (result.error ? result.error->text : QString());
    case ExchangeOutcome::QueueFull:
        return QStringLiteral("refused: queue full");
    }
    return QString();
}

} // namespace

Projector::Projector(const ProjectorConfig& config, int pollIntervalMs, int replyTimeoutMs,
    std::unique_ptr<SerialLine> line, Clock& clock, const HubLog& log, QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_pollIntervalMs(pollIntervalMs)
    , m_replyTimeoutMs(replyTimeoutMs)
    , m_clock(clock)
    , m_log(log)
    , m_line(std::move(line))
    , m_exchange(std::make_unique<CommandExchange>(*m_line, clock, MaxWaiting))
    , m_reopenTimer(clock.createTimer(QStringLiteral("reopen"), FirstRetryMs))
    , m_pollTimer(clock.createTimer(QStringLiteral("poll"), std::max(1, pollIntervalMs)))
    , m_powerTimer(clock.createTimer(QStringLiteral("power poll"), TransitionPollMs))
{
    m_reopenTimer->setHandler([this] {
        m_reopenTimer->setEnabled(false);
        openLine();
    });
    m_exchange->setMaxPerOwner(MaxPerRequester);
    m_pollTimer->setHandler([this] { poll(); });
    m_powerTimer->setHandler([this] { pollPower(); });
    connect(m_line.get(), &SerialLine::deviceLost, this, &Projector::onLineDown);
    connect(m_line.get(), &SerialLine::openFailed, this, &Projector::onLineDown);
    connect(m_line.get(), &SerialLine::writeFailed, this, &Projector::onLineDown);
    connect(m_exchange.get(), &CommandExchange::lateReply, this, [this](quint64 lastId, const QString& characters) {
        if (lastId != 0 && lastId == m_lastEndedId)
            Q_EMIT lateReply(m_lastEndedBy, characters);
    });
}

Projector::~Projector()
{
    stop();
}

void Projector::setDoorSettings(const ProjectorConfig& config)
{
    Q_ASSERT(config.name == m_config.name && config.line == m_config.line && config.speed == m_config.speed);
    m_config = config;
}

void Projector::start()
{
    m_stopped = false;
    openLine();
}

void Projector::stop()
{
    m_stopped = true;
    m_reopenTimer->setEnabled(false);
    m_pollTimer->setEnabled(false);
    m_powerTimer->setEnabled(false);
    m_line->close();
}

void Projector::openLine()
{
    if (m_stopped)
        return;
    // The configuration was checked at start: the address reads.
    const std::optional<LineAddress> address = LineAddress::parse(m_config.line);
    if (!address || !m_line->open(*address, m_config.speed)) {
        onLineDown(m_line->lastError());
        return;
    }
    m_modelRead = false;
    if (m_openedBefore)
        ++m_counters.lineReopens;
    m_openedBefore = true;
    noteLineState();
    if (m_pollIntervalMs > 0) {
        m_pollTimer->setEnabled(true);
        poll();
    }
}

void Projector::onLineDown(const LineError& error)
{
    m_line->close();
    m_lastPollAnswered = false;
    m_pollTimer->setEnabled(false);
    m_powerTimer->setEnabled(false);
    noteLineState();
    if (!m_downTold) {
        m_log.warning(
            m_config.name, QStringLiteral("line down (%1): %2").arg(lineErrorKindName(error.kind), error.text));
        m_downTold = true;
    }
    scheduleReopen();
}

void Projector::scheduleReopen()
{
    if (m_stopped || m_reopenTimer->isEnabled())
        return;
    m_reopenTimer->setInterval(m_retryMs);
    m_reopenTimer->setEnabled(true);
    m_retryMs = std::min(m_retryMs * 2, LastRetryMs);
}

quint64 Projector::submit(Requester requester, const QString& origin, const ExchangeRequest& request,
    CommandExchange::Handler done, const AuditTag& tag)
{
    const bool audited = m_audit && requester != Poller && AuditLog::audits(request.code);
    const quint64 id = m_exchange->submit(
        request,
        [this, requester, origin, request, done = std::move(done), tag, audited](const ExchangeResult& result) {
            if (result.outcome == ExchangeOutcome::QueueFull) {
                m_log.refused({m_config.name, origin, QStringLiteral("frames"),
                    QStringLiteral("more than %1 frames queued").arg(MaxPerRequester),
                    QStringLiteral("%1: refused %2: more than %3 frames queued")
                        .arg(origin, request.code)
                        .arg(MaxPerRequester)});
            }
            if (!result.frame.isEmpty()) {
                ++m_counters.frames[std::size_t(doorOf(requester))];
                // A late reply is this request's, and so its requester's;
                // but nothing that comes after the line failed answers a
                // frame from before (the next opening is a new line), nor
                // a frame that could not be written at all.
                const bool lineFailed = result.outcome == ExchangeOutcome::LineFailed;
                m_lastEndedId = lineFailed ? 0 : result.id;
                m_lastEndedBy = lineFailed ? Poller : requester;
            }
            if (result.outcome == ExchangeOutcome::TimedOut)
                ++m_counters.replyTimeouts;
            learn(request, result);
            if (requester != Poller)
                readAfter(request, result);
            std::optional<Command> acknowledged;
            if (result.outcome == ExchangeOutcome::Acknowledged) {
                acknowledged = commandOfCode(request.code);
                if (acknowledged)
                    m_acknowledgedId[std::size_t(*acknowledged)] = result.id;
            }
            m_log.debug(m_config.name,
                QStringLiteral("%1: %2 -> %3 %4").arg(origin, request.code, outcomeName(result), result.reply));
            if (audited && m_audit) {
                AuditEntry entry = auditEntry(requester, origin, request.code, tag);
                AuditLog::describe(entry, request, result);
                // As the HTTP door reports it: the frame's time on the line.
                entry.ms = result.frame.isEmpty() ? 0 : result.endedAtMs - result.sentAtMs;
                m_audit->record(entry);
            }
            if (acknowledged)
                Q_EMIT commandAcknowledged(*acknowledged);
            if (done)
                done(result);
        },
        requester);
    if (id != 0)
        markChangedBy(request.code, id);
    return id;
}

std::optional<Command> Projector::lastAcknowledged(const std::vector<Command>& commands) const
{
    std::optional<Command> last;
    quint64 lastId = 0;
    for (const Command command : commands) {
        if (m_acknowledgedId[std::size_t(command)] > lastId) {
            lastId = m_acknowledgedId[std::size_t(command)];
            last = command;
        }
    }
    return last;
}

void Projector::auditUnsent(Requester requester, const QString& origin, const QString& code, const QString& outcome,
    const QString& errorKind, const AuditTag& tag)
{
    if (!m_audit || requester == Poller || !AuditLog::audits(code))
        return;
    AuditEntry entry = auditEntry(requester, origin, code, tag);
    entry.outcome = outcome;
    entry.errorKind = errorKind;
    m_audit->record(entry);
}

AuditEntry Projector::auditEntry(
    Requester requester, const QString& origin, const QString& code, const AuditTag& tag) const
{
    AuditEntry entry;
    entry.projector = m_config.name;
    entry.door = tag.door.isEmpty() ? QString(doorName(doorOf(requester))) : tag.door;
    // An origin is "DOOR ADDRESS:PORT"; the audit keeps the address.
    const qsizetype space = origin.indexOf(QLatin1Char(' '));
    entry.peer = !tag.peer.isEmpty() ? tag.peer : space < 0 ? origin : origin.mid(space + 1);
    entry.who = tag.who.isEmpty() ? entry.door : tag.who;
    entry.code = code;
    if (!tag.action.isEmpty())
        entry.action = tag.action;
    else if (const std::optional<Command> command = commandOfCode(code))
        entry.action = httpActionName(*command);
    return entry;
}

void Projector::forget(Requester requester)
{
    m_exchange->cancelOwner(requester);
}

const ReplyValue* Projector::freshValue(StatusQuery query) const
{
    const Cached& cached = m_cache[std::size_t(query)];
    if (m_pollIntervalMs <= 0 || std::holds_alternative<std::monostate>(cached.value))
        return nullptr;
    if (cached.readById < m_changedBy[std::size_t(query)])
        return nullptr;
    if (m_clock.nowMs() - cached.readAtMs > m_pollIntervalMs)
        return nullptr;
    return &cached.value;
}

void Projector::markChangedBy(const QString& code, quint64 id)
{
    const std::optional<Command> command = commandOfCode(code);
    if (command && commandEntry(*command).kind == CommandKind::Query)
        return;
    // A code the vocabulary does not know may change anything.
    if (!command) {
        m_changedBy.fill(id);
        return;
    }
    for (const StatusQuery query : valuesChangedBy(*command))
        m_changedBy[std::size_t(query)] = id;
}

void Projector::learn(const ExchangeRequest& request, const ExchangeResult& result)
{
    if (!request.decoding || result.outcome != ExchangeOutcome::Replied
        || std::holds_alternative<std::monostate>(result.value))
        return;
    const StatusQuery query = *request.decoding;
    Cached& cached = m_cache[std::size_t(query)];
    const bool changed = cached.value != result.value;
    cached.value = result.value;
    cached.readAtMs = result.endedAtMs;
    if (changed)
        cached.sinceMs = result.endedAtMs;
    cached.readById = result.id;
    if (query == StatusQuery::ModelName)
        m_modelRead = true;
    if (query == StatusQuery::PowerState)
        m_powerTimer->setEnabled(m_line->isOpen() && m_pollIntervalMs > 0 && isTransition(result.value));
    if (changed)
        Q_EMIT valueChanged(query);
}

void Projector::noteLineState()
{
    if (isUp() == m_wasUp && isLineOpen() == m_wasOpen)
        return;
    m_wasUp = isUp();
    m_wasOpen = isLineOpen();
    Q_EMIT lineChanged();
}

void Projector::poll()
{
    if (!m_line->isOpen() || m_pollsOutstanding > 0)
        return;
    std::vector<StatusQuery> round(std::begin(PolledValues), std::end(PolledValues));
    if (!m_modelRead)
        round.push_back(StatusQuery::ModelName);
    for (const StatusQuery query : round) {
        ++m_pollsOutstanding;
        submit(Poller, QStringLiteral("poll"), ExchangeRequest::of(queryCommand(query), m_replyTimeoutMs),
            [this](const ExchangeResult& result) {
                --m_pollsOutstanding;
                // A projector that did not answer one query of the round
                // is not asked the rest: each would hold the line for its
                // timeout and the late-reply time, ahead of the doors'
                // frames.
                if (result.outcome == ExchangeOutcome::TimedOut) {
                    m_exchange->cancelOwner(Poller);
                    m_pollsOutstanding = 0;
                    m_readQueued.fill(false);
                }
                const bool answered = projectorAnswered(result);
                if (answered && (!m_lastPollAnswered || m_downTold)) {
                    if (m_downTold)
                        m_log.info(m_config.name, QStringLiteral("answering again"));
                    m_downTold = false;
                    m_retryMs = FirstRetryMs;
                }
                m_lastPollAnswered = answered;
                noteLineState();
                notePollAnswered(result, m_pollsOutstanding == 0);
            });
    }
}

void Projector::pollPower()
{
    if (m_pollsOutstanding > 0)
        return;
    ++m_pollsOutstanding;
    submit(Poller, QStringLiteral("poll"), ExchangeRequest::of(Command::StatusQuery, m_replyTimeoutMs),
        [this](const ExchangeResult& result) {
            --m_pollsOutstanding;
            notePollAnswered(result, true);
        });
}

void Projector::readAfter(const ExchangeRequest& request, const ExchangeResult& result)
{
    const std::optional<Command> command = commandOfCode(request.code);
    if (m_pollIntervalMs <= 0 || !command || result.outcome != ExchangeOutcome::Acknowledged)
        return;
    // A value already waiting to be read again is not asked twice: that
    // read is behind this action in the queue (the action went out before
    // it), so it reads what the action left. A flood of actions costs the
    // line no more reads than one.
    std::vector<StatusQuery> changed;
    for (const StatusQuery query : valuesChangedBy(*command)) {
        if (!m_readQueued[std::size_t(query)])
            changed.push_back(query);
    }
    // One event for the whole batch, when its last read ends; a batch cut
    // short (the poller withdrawn after a silence) is told by the next poll.
    auto left = std::make_shared<std::size_t>(changed.size());
    for (const StatusQuery query : changed) {
        m_readQueued[std::size_t(query)] = true;
        submit(Poller, QStringLiteral("read after %1").arg(request.code),
            ExchangeRequest::of(queryCommand(query), m_replyTimeoutMs),
            [this, left, query](const ExchangeResult& read) {
                m_readQueued[std::size_t(query)] = false;
                notePollAnswered(read, --*left == 0);
            });
    }
}

void Projector::notePollAnswered(const ExchangeResult& result, bool batchEnded)
{
    if (projectorAnswered(result))
        m_lastPollAtMs = std::max(m_lastPollAtMs, result.endedAtMs);
    if (batchEnded && m_lastPollAtMs > m_polledToldAtMs) {
        m_polledToldAtMs = m_lastPollAtMs;
        Q_EMIT polled();
    }
}

} // namespace orva::hub
