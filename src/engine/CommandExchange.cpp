#include "engine/CommandExchange.h"

#include "engine/line/SerialLine.h"
#include "engine/protocol/Frame.h"
#include "engine/protocol/ReplyRules.h"

#include <algorithm>

namespace orva {

ExchangeRequest ExchangeRequest::of(Command command, int timeoutMs)
{
    return {commandCode(command), commandEntry(command).decoding, timeoutMs};
}

ExchangeRequest ExchangeRequest::ofCode(const QString& code, int timeoutMs)
{
    const std::optional<Command> command = commandOfCode(code);
    return {code, command ? commandEntry(*command).decoding : std::nullopt, timeoutMs};
}

CommandExchange::CommandExchange(SerialLine& line, Clock& clock, int maxWaiting, QObject* parent)
    : QObject(parent)
    , m_line(line)
    , m_clock(clock)
    , m_maxWaiting(maxWaiting)
    , m_timeout(clock.createTimer(QStringLiteral("exchange reply wait"), 1000))
    , m_next(clock.createTimer(QStringLiteral("exchange next request"), 0))
    , m_ready(clock.createTimer(QStringLiteral("exchange results"), 0))
{
    m_timeout->setHandler([this] { onTimeout(); });
    m_next->setHandler([this] { sendNext(); });
    m_ready->setHandler([this] { deliverReady(); });
    connect(&m_line, &SerialLine::received, this, &CommandExchange::onReceived);
    connect(&m_line, &SerialLine::deviceLost, this, &CommandExchange::failLine);
    connect(&m_line, &SerialLine::writeFailed, this, &CommandExchange::failLine);
    connect(&m_line, &SerialLine::openFailed, this, &CommandExchange::failLine);
}

CommandExchange::~CommandExchange() = default;

int CommandExchange::ownedBy(Owner owner) const
{
    const auto count
        = std::count_if(m_waiting.begin(), m_waiting.end(), [owner](const Pending& p) { return p.owner == owner; });
    return int(count) + (m_inFlight && m_inFlight->owner == owner ? 1 : 0);
}

quint64 CommandExchange::submit(const ExchangeRequest& request, Handler done, Owner owner)
{
    const bool ownerFull = owner != 0 && m_maxPerOwner > 0 && ownedBy(owner) >= m_maxPerOwner;
    if (ownerFull || m_waiting.size() >= std::size_t(std::max(0, m_maxWaiting))) {
        ExchangeResult refused;
        refused.outcome = ExchangeOutcome::QueueFull;
        refused.sentAtMs = refused.endedAtMs = m_clock.nowMs();
        // Refused requests have no id: cancel() cannot reach them, but
        // cancelOwner() can.
        m_readyResults.push_back({0, owner, std::move(done), refused});
        m_ready->setEnabled(true);
        return 0;
    }
    const quint64 id = m_nextId++;
    m_waiting.push_back({id, request, std::move(done), owner});
    if (m_inFlight || m_next->isEnabled())
        return id;
    // An idle line takes the frame at once, as the panel's send does. From
    // inside a handler, or while a late reply may still come, it goes out
    // from the event loop instead: a handler that asks again on a dead line
    // starts no recursion.
    const std::int64_t settle = settleLeftMs();
    if (m_delivering || settle > 0) {
        scheduleNext(settle);
        return id;
    }
    ++m_submitting;
    sendNext();
    --m_submitting;
    return id;
}

bool CommandExchange::cancel(quint64 id)
{
    if (id == 0)
        return false;
    if (m_inFlight && m_inFlight->id == id) {
        m_inFlight->done = nullptr;
        return true;
    }
    for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
        if (it->id == id) {
            m_waiting.erase(it);
            return true;
        }
    }
    for (auto it = m_readyResults.begin(); it != m_readyResults.end(); ++it) {
        if (it->id == id) {
            m_readyResults.erase(it);
            return true;
        }
    }
    return false;
}

void CommandExchange::cancelOwner(Owner owner)
{
    if (m_inFlight && m_inFlight->owner == owner)
        m_inFlight->done = nullptr;
    std::erase_if(m_waiting, [owner](const Pending& p) { return p.owner == owner; });
    std::erase_if(m_readyResults, [owner](const Ready& r) { return r.owner == owner; });
}

std::int64_t CommandExchange::settleLeftMs() const
{
    if (!m_settling)
        return 0;
    return std::max<std::int64_t>(0, std::min(m_quietUntilMs, m_settleLimitMs) - m_clock.nowMs());
}

void CommandExchange::scheduleNext(std::int64_t delayMs)
{
    m_next->setEnabled(false);
    m_next->setInterval(int(delayMs));
    m_next->setEnabled(true);
}

void CommandExchange::sendNext()
{
    m_next->setEnabled(false);
    if (m_inFlight || m_waiting.empty())
        return;
    // Whatever the line still holds belongs to earlier frames.
    if (const QString stale = m_line.readAll(); !stale.isEmpty())
        late(stale);
    if (const std::int64_t settle = settleLeftMs(); settle > 0) {
        scheduleNext(settle);
        return;
    }
    m_settling = false;

    m_inFlight = std::make_unique<Pending>(std::move(m_waiting.front()));
    m_waiting.pop_front();
    m_lastId = m_inFlight->id;
    m_lateGiven = 0;
    m_result = ExchangeResult{};
    m_result.id = m_inFlight->id;
    m_result.frame = frameOf(m_inFlight->request.code);
    m_result.sentAtMs = m_clock.nowMs();
    if (!m_line.write(m_result.frame)) {
        // A closed line still holds what closed it (an opening refused, a
        // device lost); one that never told anything is simply not open.
        LineError error = m_line.lastError();
        if (error.text.isEmpty())
            error = m_line.isOpen() ? LineError{LineErrorKind::WriteFailed, QStringLiteral("the write failed")}
                                    : LineError{LineErrorKind::Other, QStringLiteral("the line is not open")};
        failLine(error);
        return;
    }
    // The line may have failed inside write(), and ended the request.
    if (!m_inFlight)
        return;
    m_timeout->setInterval(m_inFlight->request.timeoutMs);
    m_timeout->setEnabled(true);
}

void CommandExchange::onReceived()
{
    const QString characters = m_line.readAll();
    if (characters.isEmpty())
        return;
    if (!m_inFlight) {
        late(characters);
        return;
    }
    const qsizetype end = replyEndIndex(characters);
    // The newest characters of the body are kept, as on the panel's receive
    // line, and the one that ends it always.
    m_result.reply += end < 0 ? QStringView(characters) : QStringView(characters).first(end);
    if (m_result.reply.size() > MaxReplyLength - 1)
        m_result.reply.remove(0, m_result.reply.size() - (MaxReplyLength - 1));
    if (end < 0)
        return;

    const QChar last = characters.at(end);
    m_result.reply += last;
    if (last == Nak)
        finish(ExchangeOutcome::Refused);
    else if (isErrorReply(QStringView(m_result.reply).chopped(1)))
        finish(ExchangeOutcome::ErrorReply);
    else if (last == Ack)
        finish(ExchangeOutcome::Acknowledged);
    else
        finish(ExchangeOutcome::Replied);
    // What follows the end in the same chunk answered nothing in flight.
    if (end + 1 < characters.size())
        late(characters.sliced(end + 1));
}

void CommandExchange::onTimeout()
{
    finish(ExchangeOutcome::TimedOut);
}

void CommandExchange::failLine(const LineError& error)
{
    std::deque<Pending> waiting;
    waiting.swap(m_waiting);
    m_settling = false;
    if (m_inFlight)
        finish(ExchangeOutcome::LineFailed, error);
    for (Pending& pending : waiting) {
        ExchangeResult failed;
        failed.id = pending.id;
        failed.outcome = ExchangeOutcome::LineFailed;
        failed.error = error;
        failed.sentAtMs = failed.endedAtMs = m_clock.nowMs();
        deliver(pending, failed);
    }
}

void CommandExchange::finish(ExchangeOutcome outcome, std::optional<LineError> error)
{
    m_timeout->setEnabled(false);
    const std::unique_ptr<Pending> ended = std::move(m_inFlight);
    ExchangeResult result = std::move(m_result);
    result.outcome = outcome;
    result.error = std::move(error);
    result.endedAtMs = m_clock.nowMs();
    if (outcome == ExchangeOutcome::Replied && ended->request.decoding)
        result.value = decodeReply(*ended->request.decoding, QStringView(result.reply).chopped(1));
    // After a timeout the reply may still be on its way: the next frame
    // waits for it, or for the line to be quiet.
    m_settling = outcome == ExchangeOutcome::TimedOut && m_lateReplyMs > 0;
    m_quietUntilMs = result.endedAtMs + m_lateReplyMs;
    m_settleLimitMs = result.endedAtMs + std::int64_t(m_lateReplyMs) * MaxSettleFactor;
    if (!m_waiting.empty())
        scheduleNext(settleLeftMs());
    deliver(*ended, result);
}

void CommandExchange::deliver(Pending& ended, const ExchangeResult& result)
{
    if (!ended.done)
        return;
    if (m_submitting > 0) {
        m_readyResults.push_back({ended.id, ended.owner, std::move(ended.done), result});
        m_ready->setEnabled(true);
        return;
    }
    const bool outer = !m_delivering;
    m_delivering = true;
    ended.done(result);
    if (outer)
        m_delivering = false;
}

void CommandExchange::deliverReady()
{
    m_ready->setEnabled(false);
    // One at a time: a handler may cancel the others.
    while (!m_readyResults.empty()) {
        Ready ready = std::move(m_readyResults.front());
        m_readyResults.pop_front();
        Pending ended{ready.id, {}, std::move(ready.done), ready.owner};
        deliver(ended, ready.result);
    }
}

void CommandExchange::late(const QString& characters)
{
    m_lateCharacters += characters.size();
    if (m_settling) {
        if (replyEndIndex(characters) >= 0)
            m_settling = false; // the late reply has ended
        else
            m_quietUntilMs = m_clock.nowMs() + m_lateReplyMs;
        if (!m_waiting.empty() && !m_inFlight)
            scheduleNext(settleLeftMs());
    }
    const qsizetype room = std::max(0, MaxLateLength - m_lateGiven);
    if (characters.size() > room)
        m_lateDropped += characters.size() - room;
    if (room == 0)
        return;
    const QString given = characters.size() > room ? characters.first(room) : characters;
    m_lateGiven += int(given.size());
    Q_EMIT lateReply(m_lastId, given);
}

} // namespace orva
