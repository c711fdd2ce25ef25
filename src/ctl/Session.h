#pragma once

#include "engine/CommandExchange.h"
#include "engine/line/SerialLine.h"
#include "engine/protocol/ReplyRules.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace orva::ctl {

// What happened on one port: the frame written, the exchange layer's
// result, and the receive and status lines as the panel shows them for it.
struct Exchange
{
    QString port;
    QString openError;                              // the port could not be opened: the description
    QString lineError;                              // the wait was given up (a signal, the backstop): why
    LineErrorKind errorKind = LineErrorKind::Other; // of openError or lineError
    QString warning;                                // the line carries on, but not as asked (settings refused)
    QString sent;                                   // the bytes of the frame as written; empty when nothing was sent
    QString reply;                                  // the characters received, as they came
    QString received;                               // the receive line
    QString status;                                 // the status line
    ExchangeRequest request;                        // what was asked
    std::optional<ExchangeResult> result;           // how it ended; none when nothing was sent or the wait was given up
    double ms = 0;                                  // from the write to the end of the reply or the wait
    int timeoutMs = 0;
};

// One projector: the exchange layer on one line, opened as the panel opens
// its port (the speed, then COM1), sending one code and waiting for the
// reply to end or the timeout to pass. A far end that refuses the line
// settings still carries the data: the exchange goes on and the refusal is
// a warning beside its verdict. The receive and status lines are
// rendered and decoded as the panel's are, from the reply and any characters
// that came with its end. A session lives on one thread, with a clock of
// that thread.
class Session
{
public:
    Session(QString port, std::unique_ptr<SerialLine> line, Clock& clock);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the line at the speed. False, with the description in
    // exchange().openError, when it cannot be opened.
    bool open(LineSpeed speed);
    // Sends the frame of code; done() is called once, from the event loop,
    // when the reply is complete, the line has failed or timeoutMs passed.
    void send(const QString& code, int timeoutMs, std::function<void()> done);
    // Gives up waiting now, for the reason given (it becomes the line error).
    void abandon(const QString& reason);

    bool isWaiting() const { return m_waiting; }
    const Exchange& exchange() const { return m_exchange; }

private:
    void onResult(const ExchangeResult& result);
    void onLateReply(quint64 id, const QString& characters);
    void stopWaiting();
    void setReply(const QString& reply);
    void finish();

    std::unique_ptr<SerialLine> m_line;
    QObject m_context; // receiver of the line's signals, before the exchange's
    std::unique_ptr<CommandExchange> m_requests;
    QElapsedTimer m_elapsed;
    Exchange m_exchange;
    std::function<void()> m_done;
    quint64 m_request = 0;
    bool m_waiting = false;
    // The reply has just ended: characters that came with its end belong
    // to it, as they do on the panel's receive line.
    bool m_takingTrailing = false;
};

} // namespace orva::ctl
