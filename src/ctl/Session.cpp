#include "ctl/Session.h"

#include "engine/line/LineAddress.h"
#include "engine/protocol/Frame.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"

namespace orva::ctl {

Session::Session(QString port, std::unique_ptr<SerialLine> line, Clock& clock)
    : m_line(std::move(line))
{
    m_exchange.port = std::move(port);
    // Connected before the exchange's own handlers: a failed network
    // opening is a port that could not be opened, not a failed reply.
    QObject::connect(m_line.get(), &SerialLine::openFailed, &m_context, [this](const LineError& error) {
        m_exchange.openError = error.text;
        m_exchange.errorKind = error.kind;
        m_exchange.sent.clear(); // it never left
        stopWaiting();
    });
    QObject::connect(m_line.get(), &SerialLine::settingsRefused, &m_context,
        [this](const QString& text) { m_exchange.warning = text; });
    m_requests = std::make_unique<CommandExchange>(*m_line, clock);
    QObject::connect(m_requests.get(), &CommandExchange::lateReply, &m_context,
        [this](quint64 id, const QString& characters) { onLateReply(id, characters); });
}

Session::~Session()
{
    m_requests.reset();
    m_line->close();
}

bool Session::open(LineSpeed speed)
{
    // The line is opened once, on the one address (the panel's own start
    // opens COM1 and opens it again when it checks the option; each opening
    // of a device costs a lock file).
    QString reason;
    const std::optional<LineAddress> address = LineAddress::parse(m_exchange.port, &reason);
    if (address && m_line->open(*address, speed))
        return true;
    const LineError error = address ? m_line->lastError() : LineError{LineErrorKind::Other, reason};
    m_exchange.openError = error.text;
    m_exchange.errorKind = error.kind;
    m_line->close();
    return false;
}

void Session::send(const QString& code, int timeoutMs, std::function<void()> done)
{
    m_done = std::move(done);
    m_exchange.timeoutMs = timeoutMs;
    m_exchange.sent = SerialLine::fromLineBytes(SerialLine::toLineBytes(frameOf(code)));
    m_exchange.request = ExchangeRequest::ofCode(code, timeoutMs);
    m_waiting = true;
    m_elapsed.start();
    m_request = m_requests->submit(m_exchange.request, [this](const ExchangeResult& result) { onResult(result); });
}

void Session::abandon(const QString& reason)
{
    if (m_waiting)
        m_exchange.lineError = reason;
    stopWaiting();
}

void Session::onResult(const ExchangeResult& result)
{
    if (result.frame.isEmpty() && m_exchange.openError.isEmpty())
        m_exchange.sent.clear(); // the line took none of it
    m_exchange.result = result;
    setReply(result.reply);
    const bool ended = result.outcome != ExchangeOutcome::TimedOut && result.outcome != ExchangeOutcome::LineFailed
        && result.outcome != ExchangeOutcome::QueueFull;
    // Only what comes with the end itself, in this same notification.
    m_takingTrailing = ended;
    QMetaObject::invokeMethod(
        &m_context, [this] { m_takingTrailing = false; }, Qt::QueuedConnection);
    finish();
}

void Session::onLateReply(quint64 id, const QString& characters)
{
    if (id == m_request && m_takingTrailing)
        setReply(m_exchange.reply + characters);
    m_takingTrailing = false;
}

void Session::stopWaiting()
{
    if (!m_waiting)
        return;
    m_requests->cancel(m_request);
    finish();
}

void Session::setReply(const QString& reply)
{
    m_exchange.reply = reply;
    m_exchange.received = renderTraffic(reply);
    // The status line keeps its last text; a key a partial reply matched
    // is the key of the whole one, so the whole reply decides.
    m_exchange.status = decodeStatus(m_exchange.sent, CommandPrefix, m_exchange.received).value_or(StatusLine()).text;
}

void Session::finish()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    m_exchange.ms = double(m_elapsed.nsecsElapsed()) / 1e6;
    if (m_done)
        m_done();
}

} // namespace orva::ctl
