#include "panel/ReplyWindow.h"

#include "engine/line/SerialLine.h"
#include "engine/protocol/Frame.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"

namespace orva {

ReplyWindow::ReplyWindow(SerialLine& line, Clock& clock, QObject* parent)
    : QObject(parent)
    , m_line(line)
    , m_replyTimeout(clock.createTimer(QStringLiteral("reply timeout"), StartTiming.replyTimeout))
    , m_clearDelay(clock.createTimer(QStringLiteral("clear delay"), StartTiming.clearDelay))
{
    m_replyTimeout->setHandler([this] { onReplyTimeout(); });
    m_clearDelay->setHandler([this] { onClearDelay(); });
    connect(&m_line, &SerialLine::received, this, &ReplyWindow::onReceived);
}

ReplyWindow::~ReplyWindow() = default;

void ReplyWindow::sendCode(const QString& code)
{
    send(frameOf(code));
}

void ReplyWindow::send(const QString& frame)
{
    m_lastFrame = frame;
    const bool written = m_line.write(frame);
    setLine(TrafficLine::Transmit, renderTraffic(frame));
    m_replyTimeout->setEnabled(true);
    m_awaitingReply = true;
    m_clearDelay->setEnabled(true);
    // A frame sent while the line is closed is no fault of its own: the
    // closing was a failed switch, a failed start-up or a lost device, each
    // told already.
    if (!written && m_line.isOpen())
        Q_EMIT writeFailed(m_line.lastError());
}

void ReplyWindow::setTiming(DisplayTiming timing)
{
    m_replyTimeout->setInterval(timing.replyTimeout);
    m_clearDelay->setInterval(timing.clearDelay);
}

DisplayTiming ReplyWindow::timing() const
{
    return {m_replyTimeout->interval(), m_clearDelay->interval()};
}

void ReplyWindow::cancelPendingReply()
{
    m_replyTimeout->setEnabled(false);
    m_clearDelay->setEnabled(true);
    setLine(TrafficLine::Transmit, QString());
    setLine(TrafficLine::Receive, QString());
    setTiming(StartTiming);
    m_reply.clear();
}

void ReplyWindow::stop()
{
    m_replyTimeout->setEnabled(false);
    m_clearDelay->setEnabled(false);
    disconnect(&m_line, nullptr, this, nullptr);
}

void ReplyWindow::setLine(TrafficLine line, const QString& text)
{
    m_lines[index(line)] = text;
    Q_EMIT lineChanged(line, text);
}

void ReplyWindow::onReceived()
{
    m_reply += m_line.readAll();
    if (m_reply.size() > MaxReplyLength)
        m_reply.remove(0, m_reply.size() - MaxReplyLength);
    m_awaitingReply = false;
    showReply();
    Q_EMIT replyReceived();
}

void ReplyWindow::showReply()
{
    // The decoding reads the rendered line, not the raw reply.
    setLine(TrafficLine::Receive, renderTraffic(m_reply));
    if (const auto status = decodeStatus(m_lastFrame, CommandPrefix, text(TrafficLine::Receive))) {
        if (status->pressure)
            m_pressure = *status->pressure;
        setLine(TrafficLine::Status, status->text);
    }
}

void ReplyWindow::onReplyTimeout()
{
    if (m_awaitingReply)
        setLine(TrafficLine::Receive, NoReplyMark);
    m_replyTimeout->setEnabled(false);
    m_reply.clear();
    m_awaitingReply = false;
}

void ReplyWindow::onClearDelay()
{
    setLine(TrafficLine::Transmit, QString());
    setLine(TrafficLine::Receive, QString());
    setLine(TrafficLine::Status, QString());
    m_clearDelay->setEnabled(false);
}

} // namespace orva

// The meta-object code goes with the class, so that a program that does
// not use the class (orva-ctl) does not link it either.
#include "moc_ReplyWindow.cpp" // NOLINT(bugprone-suspicious-include): Qt's moc output
