#include "ctl/Session.h"

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
        &m_engine.ports(), &PortSelection::warning, &m_context, [this](const QString& text) { onWarning(text); });
    // A network line's opening returns at once and may fail later: that is
    // a port that could not be opened, not one that did not answer.
    QObject::connect(m_line.get(), &SerialLine::openFailed, &m_context, [this](const QString& description) {
        m_exchange.openError = description;
        m_exchange.sent.clear(); // it never left
        finish(false);
    });
    // While a reply is awaited the line's own faults end the wait. A server
    // that refuses the line settings still carries the data: the exchange
    // goes on and the refusal is a warning beside its verdict.
    QObject::connect(m_line.get(), &SerialLine::deviceLost, &m_context, [this](const QString& d) { onLineFault(d); });
    QObject::connect(m_line.get(), &SerialLine::writeFailed, &m_context, [this](const QString& d) { onLineFault(d); });
    QObject::connect(
        &m_engine.replies(), &ReplyWindow::writeFailed, &m_context, [this](const QString& d) { onLineFault(d); },
        Qt::QueuedConnection);
    QObject::connect(m_line.get(), &SerialLine::settingsRefused, &m_context,
        [this](const QString& description) { m_exchange.warning = description; });
}

Session::~Session()
{
    m_engine.end();
}

bool Session::open(LineSpeed speed)
{
    // As the operator picks the speed and then the port in the panel's
    // settings frame: the closed line takes the speed, and the port choice
    // opens it, once. (The panel's own start opens COM1 at 19200 and opens
    // it again when it checks the option; each opening of a device costs a
    // lock file.)
    m_opening = true;
    m_engine.ports().chooseSpeed(speed);
    m_engine.ports().choosePort(Port::Com1);
    m_opening = false;
    if (m_line->isOpen() && m_openWarnings.isEmpty())
        return true;
    m_exchange.openError = m_openWarnings.isEmpty() ? m_line->errorString() : m_openWarnings.first();
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
    m_exchange.sent = SerialLine::fromLineBytes(SerialLine::toLineBytes(m_engine.replies().lastFrame()));
}

void Session::abandon(const QString& reason)
{
    if (m_waiting)
        m_exchange.lineError = reason;
    finish(false);
}

void Session::onReply()
{
    if (!m_waiting)
        return;
    const QString& reply = m_engine.replies().reply();
    if (replyEnd(reply) != reply.end())
        finish(true);
}

void Session::onWarning(const QString& text)
{
    // Only an opening's failures count here; what the port selection tells
    // later, the line's own signals have told the session already.
    if (m_opening)
        m_openWarnings.append(text);
}

void Session::onLineFault(const QString& description)
{
    if (!m_waiting)
        return;
    m_exchange.lineError = description;
    finish(false);
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
