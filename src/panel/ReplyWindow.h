#pragma once

#include "engine/line/LineError.h"
#include "engine/timing/IntervalTimer.h"
#include "panel/CommandTables.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>

namespace orva {

class SerialLine;

// The three display lines: the frame last sent, the reply received so far,
// and the decoded status.
enum class TrafficLine : quint8 { Transmit, Receive, Status };

// The reply window of each frame: the one path by which frames reach the
// line and replies reach the display.
//
//   send(frame)   writes the frame to the line, then shows it on the
//                 transmit line, starts the reply timeout, marks a reply as
//                 awaited and starts the clear delay, in that order.
//   reply chars   are appended to the reply buffer (which a send does not
//                 empty); the whole buffer is shown on the receive line and
//                 decoded against the last frame sent onto the status line.
//   reply timeout marks " X X X X" when nothing came back, then empties the
//                 buffer: a later reply starts afresh.
//   clear delay   blanks all three lines.
//
// The timing pair (reply timeout, clear delay) stays in force until it is
// set again; setting it while the timers run restarts them from the write.
// It owns the frame last sent, the reply buffer, the awaited flag, the last
// pressure reading, both timers and the three lines.
class ReplyWindow : public QObject
{
    Q_OBJECT
public:
    // Replies are kept to the newest this many characters; older ones are
    // dropped so that an endless unsolicited stream costs bounded memory and
    // bounded time per notification.
    static constexpr int MaxReplyLength = 32767;
    // The mark of a frame that drew no reply, written as it stands.
    static inline const QString NoReplyMark = QStringLiteral(" X X X X");
    // The timing at start and after the release of a held button.
    static constexpr DisplayTiming StartTiming{500, 1000};

    ReplyWindow(SerialLine& line, Clock& clock, QObject* parent = nullptr);
    ~ReplyWindow() override;

    // Sends the frame of a command code.
    void sendCode(const QString& code);
    // Sends a whole frame. The line is written first and nothing is tested
    // before: not the port, not a reply still due. A frame the open line
    // refuses is still shown and timed, so that the missing reply is
    // marked; writeFailed() follows once the send is complete.
    void send(const QString& frame);

    void setTiming(DisplayTiming timing);
    DisplayTiming timing() const;

    // A held button was let go: the last frame's reply timeout is dropped (no
    // mark), the transmit and receive lines are blanked (the status line
    // stays), the reply buffer is emptied, the clear delay runs from now and
    // the start timing is back in force.
    void cancelPendingReply();

    // Stops both timers for good; the line is no longer listened to.
    void stop();

    const QString& text(TrafficLine line) const { return m_lines[index(line)]; }
    const QString& lastFrame() const { return m_lastFrame; }
    const QString& reply() const { return m_reply; }
    bool isAwaitingReply() const { return m_awaitingReply; }
    bool isReplyTimeoutRunning() const { return m_replyTimeout->isEnabled(); }
    bool isClearDelayRunning() const { return m_clearDelay->isEnabled(); }

Q_SIGNALS:
    void lineChanged(orva::TrafficLine line, const QString& text);
    // Characters have arrived and are shown and decoded: reply() and the
    // three lines hold what the panel shows for them.
    void replyReceived();
    // The open line refused a frame of send().
    void writeFailed(const orva::LineError& error);

private:
    static constexpr std::size_t index(TrafficLine line) { return static_cast<std::size_t>(line); }
    void setLine(TrafficLine line, const QString& text);
    void onReceived();
    void showReply();
    void onReplyTimeout();
    void onClearDelay();

    SerialLine& m_line;
    std::unique_ptr<IntervalTimer> m_replyTimeout;
    std::unique_ptr<IntervalTimer> m_clearDelay;
    std::array<QString, 3> m_lines;
    QString m_lastFrame;
    QString m_reply;
    bool m_awaitingReply = false;
    // The last good air-pressure reading in hPa, kept for a reply out of range.
    qint16 m_pressure = 0;
};

} // namespace orva
