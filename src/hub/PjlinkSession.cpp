#include "hub/PjlinkSession.h"

#include "hub/GuessGuard.h"
#include "hub/PeerName.h"
#include "hub/PjlinkCodec.h"
#include "hub/SecretCompare.h"

#include <QRandomGenerator>

#include <algorithm>
#include <utility>

namespace orva::hub {

namespace {

QByteArray freshRandom()
{
    return QByteArray::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0');
}

// How a request to the projector that did not go well reads in PJLink:
// the projector said no (or answered text where an acknowledgement was
// due) is "not now", silence or a failed line a failure.
PjlinkError errorOf(const ExchangeResult& result)
{
    switch (result.outcome) {
    case ExchangeOutcome::ErrorReply:
    case ExchangeOutcome::Refused:
    case ExchangeOutcome::QueueFull:
    case ExchangeOutcome::Replied:
        return PjlinkError::Unavailable;
    case ExchangeOutcome::Acknowledged:
    case ExchangeOutcome::TimedOut:
    case ExchangeOutcome::LineFailed:
        break;
    }
    return PjlinkError::Failure;
}

QByteArray answerOf(const PjlinkPlan& plan, const std::variant<QByteArray, PjlinkError>& result)
{
    return std::holds_alternative<QByteArray>(result)
        ? pjlinkAnswer(plan.body, std::get<QByteArray>(result), plan.header)
        : pjlinkAnswer(plan.body, std::get<PjlinkError>(result), plan.header);
}

} // namespace

PjlinkSession::PjlinkSession(Projector& projector, Clock& clock, const HubLog& log, GuessGuard& guard,
    Projector::Requester requester, QString peer, Write onWrite, Close onClose)
    : m_projector(projector)
    , m_log(log)
    , m_guard(guard)
    , m_requester(requester)
    , m_peer(std::move(peer))
    , m_write(std::move(onWrite))
    , m_close(std::move(onClose))
    , m_idle(clock.createTimer(QStringLiteral("pjlink idle"), FirstRequestMs))
{
    const std::optional<QString>& password = m_projector.config().pjlinkPassword;
    if (password && !password->isEmpty())
        m_random = freshRandom();
    m_idle->setHandler([this] {
        close(QStringLiteral("closed after %1 s without a request").arg(m_idle->interval() / 1000), LogLevel::Debug);
    });
    m_idle->setEnabled(true);
}

PjlinkSession::~PjlinkSession()
{
    // No answer of the projector reaches a session that is gone.
    m_projector.forget(m_requester);
}

QByteArray PjlinkSession::greeting() const
{
    return pjlinkGreeting(m_random);
}

void PjlinkSession::receive(const QByteArray& bytes)
{
    if (m_closed)
        return;
    m_buffer += bytes;
    // The door gives no more than room() asks for; a caller that does is
    // not a controller.
    if (m_buffer.size() > MaxBuffered) {
        close(QStringLiteral("closed: requests pile up unanswered"), LogLevel::Warning);
        return;
    }
    takeLines();
}

qsizetype PjlinkSession::room() const
{
    return m_closed ? 0 : std::max<qsizetype>(0, MaxBuffered - m_buffer.size());
}

void PjlinkSession::takeLines()
{
    while (!m_busy && !m_closed) {
        // A line feed after the carriage return (CR LF) is no part of the
        // next request.
        while (m_buffer.startsWith('\n'))
            m_buffer.remove(0, 1);
        const qsizetype end = m_buffer.indexOf('\r');
        if (end >= MaxLineLength || (end < 0 && m_buffer.size() >= MaxLineLength)) {
            close(QStringLiteral("closed: a request longer than %1 bytes").arg(MaxRequestLength), LogLevel::Warning);
            return;
        }
        if (end < 0)
            break;
        const QByteArray line = m_buffer.first(end);
        m_buffer.remove(0, end + 1);
        handle(line);
    }
    if (!m_busy && !m_closed && m_readyForMore)
        m_readyForMore();
}

void PjlinkSession::finishInput()
{
    m_inputDone = true;
    // What is left without a carriage return is no request.
    if (!m_busy && !m_buffer.contains('\r'))
        close(QStringLiteral("closed by the controller"), LogLevel::Debug);
}

void PjlinkSession::handle(const QByteArray& line)
{
    // Idle time counts from the answer to this request on.
    m_idle->setEnabled(false);
    m_idle->setInterval(IdleTimeoutMs);
    QByteArray request = line;
    if (m_random) {
        const QString address = addressOfPeer(m_peer);
        if (m_guard.penaltyLeftMs(address) > 0) {
            refuseLogin(QStringLiteral("too many wrong passwords"));
            return;
        }
        // The digest is the line's first 32 characters; only a wrong one is
        // an authentication error, whatever follows it.
        const QByteArray expected = pjlinkDigest(*m_random, m_projector.config().pjlinkPassword->toUtf8());
        if (line.size() < DigestLength || !digestsMatch(line.first(DigestLength).toLower(), expected)) {
            m_guard.failed(address);
            refuseLogin(QStringLiteral("authentication failed"));
            return;
        }
        m_guard.succeeded(address);
        m_random.reset();
        request = line.mid(DigestLength);
    }
    const PjlinkParse parse = parsePjlinkRequest(request);
    if (!parse.request) {
        if (parse.answerable)
            answer(pjlinkAnswer(parse.body, PjlinkError::Undefined, parse.header));
        else
            close(QStringLiteral("closed: not a PJLink request"), LogLevel::Warning);
        return;
    }
    if (m_onServed)
        std::exchange(m_onServed, nullptr)();
    // A class 2 device: a request of a later class names nothing it knows.
    if (parse.request->header != "%1" && parse.request->header != "%2") {
        answer(pjlinkAnswer(parse.request->body, PjlinkError::Undefined, parse.request->header));
        return;
    }
    carryOut(planPjlink(*parse.request, facts()));
}

PjlinkFacts PjlinkSession::facts() const
{
    return PjlinkFacts{m_projector.config(),
        [this](const std::vector<Command>& commands) { return m_projector.lastAcknowledged(commands); }};
}

void PjlinkSession::carryOut(const PjlinkPlan& plan)
{
    if (plan.error) {
        answer(pjlinkAnswer(plan.body, *plan.error, plan.header));
        return;
    }
    if (plan.commands.empty() && plan.reads.empty()) {
        answer(pjlinkAnswer(plan.body, plan.value, plan.header));
        return;
    }
    // Everything else needs the projector, and its line is down.
    if (!m_projector.isLineOpen()) {
        answer(pjlinkAnswer(plan.body, PjlinkError::Failure, plan.header));
        return;
    }
    m_busy = true;
    if (!plan.commands.empty())
        sendCommands(plan, 0);
    else
        readValues(plan);
}

void PjlinkSession::sendCommands(const PjlinkPlan& plan, std::size_t next)
{
    if (next == plan.commands.size()) {
        answer(pjlinkAnswer(plan.body, QByteArray("OK"), plan.header));
        return;
    }
    m_projector.submit(m_requester, m_peer, ExchangeRequest::of(plan.commands[next], m_projector.replyTimeoutMs()),
        [this, plan, next](const ExchangeResult& result) {
            if (result.outcome == ExchangeOutcome::Acknowledged)
                sendCommands(plan, next + 1);
            else
                answer(pjlinkAnswer(plan.body, errorOf(result), plan.header));
        });
}

void PjlinkSession::readValues(const PjlinkPlan& plan)
{
    m_values = PjlinkValues{};
    m_readError.reset();
    m_readsLeft = int(plan.reads.size());
    for (const StatusQuery query : plan.reads) {
        if (const ReplyValue* fresh = m_projector.freshValue(query)) {
            m_values[std::size_t(query)] = *fresh;
            readDone(plan);
            continue;
        }
        m_projector.submit(m_requester, m_peer, ExchangeRequest::of(queryCommand(query), m_projector.replyTimeoutMs()),
            [this, query, plan](const ExchangeResult& result) {
                if (result.outcome == ExchangeOutcome::Replied
                    && !std::holds_alternative<std::monostate>(result.value)) {
                    m_values[std::size_t(query)] = result.value;
                } else {
                    // Text that reads as no value is a projector out of order.
                    const PjlinkError error
                        = result.outcome == ExchangeOutcome::Replied ? PjlinkError::Failure : errorOf(result);
                    if (!m_readError || error == PjlinkError::Failure)
                        m_readError = error;
                }
                readDone(plan);
            });
    }
}

void PjlinkSession::readDone(const PjlinkPlan& plan)
{
    if (--m_readsLeft > 0)
        return;
    if (m_readError)
        answer(pjlinkAnswer(plan.body, *m_readError, plan.header));
    else
        answer(answerOf(plan, answerPjlinkQuery(plan, m_values, facts())));
}

void PjlinkSession::answer(const QByteArray& text)
{
    m_write(text);
    m_busy = false;
    if (!m_closed)
        m_idle->setEnabled(true);
    // The next request waiting is taken from the event loop, not from
    // inside the projector's handler that answered this one.
    QMetaObject::invokeMethod(this, &PjlinkSession::takeLines, Qt::QueuedConnection);
}

// Told through the refusal log, per address: a guesser reconnects for
// every try.
void PjlinkSession::refuseLogin(const QString& reason)
{
    m_write(pjlinkAuthError());
    const QString why = reason + QStringLiteral("; closed");
    m_log.refused({m_projector.name(), QStringLiteral("pjlink ") + addressOfPeer(m_peer), QStringLiteral("logins"),
        reason, QStringLiteral("%1: %2").arg(m_peer, why)});
    close(why, LogLevel::Debug);
}

void PjlinkSession::close(const QString& why, LogLevel level)
{
    if (m_closed)
        return;
    // A connection closed for what it sent is a refusal: logged per
    // address and reason, as a controller may send it again and again.
    if (level == LogLevel::Warning) {
        m_log.refused({m_projector.name(), QStringLiteral("pjlink ") + addressOfPeer(m_peer),
            QStringLiteral("connections"), why, QStringLiteral("%1: %2").arg(m_peer, why)});
        level = LogLevel::Debug;
    }
    m_closed = true;
    m_idle->setEnabled(false);
    m_projector.forget(m_requester);
    m_close(why, level);
}

} // namespace orva::hub
