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
{
    m_timeout->setHandler([this] { onTimeout(); });
    m_next->setHandler([this] { sendNext(); });
    connect(&m_line, &SerialLine::received, this, &CommandExchange::onReceived);
    connect(&m_line, &SerialLine::deviceLost, this, &CommandExchange::failLine);
    connect(&m_line, &SerialLine::writeFailed, this, &CommandExchange::failLine);
    connect(&m_line, &SerialLine::openFailed, this, &CommandExchange::failLine);
}

CommandExchange::~CommandExchange() = default;

quint64 CommandExchange::submit(const ExchangeRequest& request, Handler done)
{
    if (m_waiting.size() >= std::size_t(std::max(0, m_maxWaiting))) {
        ExchangeResult refused;
        refused.outcome = ExchangeOutcome::QueueFull;
        refused.sentAtMs = refused.endedAtMs = m_clock.nowMs();
        deliver(done, refused);
        return 0;
    }
    const quint64 id = m_nextId++;
    m_waiting.push_back({id, request, std::move(done)});
    if (m_inFlight || m_next->isEnabled())
        return id;
    // An idle line takes the frame at once, as the panel's send does. From
    // inside a handler, or while a late reply may still come, it goes out
    // from the event loop instead: a handler that asks again on a dead line
    // starts no recursion.
    const std::int64_t settle = m_settleUntilMs - m_clock.nowMs();
    if (m_delivering || settle > 0)
        scheduleNext(int(std::max<std::int64_t>(0, settle)));
    else
        sendNext();
    return id;
}

bool CommandExchange::cancel(quint64 id)
{
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
    return false;
}

void CommandExchange::scheduleNext(int delayMs)
{
    m_next->setInterval(delayMs);
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

    m_inFlight = std::make_unique<Pending>(std::move(m_waiting.front()));
    m_waiting.pop_front();
    m_lastId = m_inFlight->id;
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
    if (m_inFlight)
        finish(ExchangeOutcome::LineFailed, error);
    for (Pending& pending : waiting) {
        ExchangeResult failed;
        failed.id = pending.id;
        failed.outcome = ExchangeOutcome::LineFailed;
        failed.error = error;
        failed.sentAtMs = failed.endedAtMs = m_clock.nowMs();
        deliver(pending.done, failed);
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
    // The next frame goes out from the event loop, after a pause when the
    // reply may still be on its way.
    m_settleUntilMs = outcome == ExchangeOutcome::TimedOut ? result.endedAtMs + SettleMs : 0;
    if (!m_waiting.empty())
        scheduleNext(outcome == ExchangeOutcome::TimedOut ? SettleMs : 0);
    deliver(ended->done, result);
}

void CommandExchange::deliver(const Handler& done, const ExchangeResult& result)
{
    if (!done)
        return;
    const bool outer = !m_delivering;
    m_delivering = true;
    done(result);
    if (outer)
        m_delivering = false;
}

void CommandExchange::late(const QString& characters)
{
    m_lateCharacters += characters.size();
    Q_EMIT lateReply(m_lastId, characters);
}

} // namespace orva
