#pragma once

#include "engine/PanelEngine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <algorithm>
#include <functional>
#include <memory>

namespace orva::ctl {

// What happened on one port: the frame written, the reply, and the receive
// and status lines as the panel shows them for it.
struct Exchange
{
    QString port;
    QString openError;                              // the port could not be opened: the description
    QString lineError;                              // the line failed while the reply was awaited
    LineErrorKind errorKind = LineErrorKind::Other; // of openError or lineError
    QString sent;                                   // the frame as written; empty when nothing was sent
    QString reply;                                  // the characters received, as they came
    QString received;                               // the receive line
    QString status;                                 // the status line
    bool complete = false;                          // the reply reached its end (ACK, NAK or CR)
    double ms = 0;                                  // from the write to the end of the reply or the wait
    int timeoutMs = 0;
};

// A reply is complete at the first of these; what precedes it is the body.
inline constexpr QChar Ack = QChar(6);
inline constexpr QChar Nak = QChar(21);
inline constexpr QChar CarriageReturn = QChar(13);

// Where a reply ends, or the end of text when it has not ended yet.
inline QString::const_iterator replyEnd(const QString& reply)
{
    return std::find_if(
        reply.begin(), reply.end(), [](QChar c) { return c == Ack || c == Nak || c == CarriageReturn; });
}

// One projector: the panel's engine on one line, opened as the panel opens
// its port, sending one code and waiting for the reply to end or the
// timeout to pass. The reply goes through the engine's reply window, so the
// receive and status lines are exactly the panel's. The display timers of
// the reply window are set beyond the timeout, so that they never mark or
// clear the reply while it is awaited. A session lives on one thread, with
// a clock of that thread.
class Session
{
public:
    Session(QString port, std::unique_ptr<SerialLine> line, Clock& clock);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the line on the port's address at the speed. False, with the
    // description in exchange().openError, when it cannot be opened.
    bool open(LineSpeed speed);
    // Sends the frame of code; done() is called once, from the event loop,
    // when the reply is complete, the line has failed or timeoutMs passed.
    void send(const QString& code, int timeoutMs, std::function<void()> done);
    // Gives up waiting now, as at the timeout.
    void abandon() { finish(false); }

    bool isWaiting() const { return m_waiting; }
    const Exchange& exchange() const { return m_exchange; }

private:
    void onReply();
    void onWarning(const LineError& error);
    void finish(bool complete);

    Clock& m_clock;
    std::unique_ptr<SerialLine> m_line; // outlives the engine on it
    PanelEngine m_engine;
    std::unique_ptr<IntervalTimer> m_timeout;
    QElapsedTimer m_elapsed;
    Exchange m_exchange;
    std::function<void()> m_done;
    bool m_waiting = false;
    QObject m_context; // receiver of the engine's signals
};

} // namespace orva::ctl
