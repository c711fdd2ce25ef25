#include "ctl/Session.h"

#include "engine/line/LineAddress.h"
#include "engine/line/SerialLine.h"

#include <algorithm>
#include <limits>

namespace orva::ctl {

Session::Session(QString port, std::unique_ptr<SerialLine> line, Clock& clock)
    : m_clock(clock)
    , m_line(std::move(line))
    , m_engine(*m_line, clock)
{
    m_exchange.port = std::move(port);
    QObject::connect(&m_engine.replies(), &ReplyWindow::replyReceived, &m_context, [this] { onReply(); });
    QObject::connect(
        &m_engine.ports(), &PortSelection::warning, &m_context, [this](const LineError& error) { onWarning(error); });
    // A network line's opening returns at once and may fail later: that is
    // a port that could not be opened, not one that did not answer.
    QObject::connect(m_line.get(), &SerialLine::openFailed, &m_context, [this](const LineError& error) {
        m_exchange.openError = error.text;
        m_exchange.errorKind = error.kind;
        finish(false);
    });
}

Session::~Session()
{
    m_engine.end();
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
    m_engine.end();
    return false;
}

void Session::send(const QString& code, int timeoutMs, std::function<void()> done)
{
    m_done = std::move(done);
    m_exchange.timeoutMs = timeoutMs;
    // The reply window's own timeout and clear delay come after ours.
    const int beyond = std::min(timeoutMs, std::numeric_limits<int>::max() - 1000) + 1000;
    m_engine.replies().setTiming({beyond, beyond});
    m_timeout = m_clock.createTimer(QStringLiteral("reply wait"), timeoutMs);
    m_timeout->setHandler([this] { finish(false); });

    m_waiting = true;
    m_timeout->setEnabled(true);
    m_elapsed.start();
    m_engine.replies().sendCode(code);
    m_exchange.sent = m_engine.replies().lastFrame();
}

void Session::onReply()
{
    if (!m_waiting)
        return;
    const QString& reply = m_engine.replies().reply();
    if (replyEnd(reply) != reply.end())
        finish(true);
}

void Session::onWarning(const LineError& error)
{
    if (m_waiting) {
        m_exchange.lineError = error.text;
        m_exchange.errorKind = error.kind;
        finish(false);
    }
}

void Session::finish(bool complete)
{
    if (!m_waiting)
        return;
    m_waiting = false;
    m_exchange.ms = double(m_elapsed.nsecsElapsed()) / 1e6;
    m_timeout->setEnabled(false);
    const ReplyWindow& replies = m_engine.replies();
    m_exchange.complete = complete;
    m_exchange.reply = replies.reply();
    m_exchange.received = replies.text(TrafficLine::Receive);
    m_exchange.status = replies.text(TrafficLine::Status);
    if (m_done)
        m_done();
}

} // namespace orva::ctl
