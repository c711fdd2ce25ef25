#pragma once

#include "engine/timing/IntervalTimer.h"
#include "hub/HubLog.h"
#include "hub/PjlinkCodec.h"
#include "hub/PjlinkMapping.h"
#include "hub/Projector.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace orva::hub {

class GuessGuard;

// One PJLink controller's connection, apart from its socket: greets, checks
// the digest of the first request when a password is set, answers requests
// one at a time through the projector, and closes when the first request
// has not come within FirstRequestMs, IdleTimeoutMs after the answer to the
// last one, or on a request it cannot take. A wrong digest counts against
// the controller's address in the door's GuessGuard; while the address is
// in penalty its first request is answered "PJLINK ERRA" without
// comparing. What it sends and when it closes go through the two
// callbacks; every answer is one call of write, as PJLink controllers read
// each chunk as one whole answer.
//
// Requests sent ahead wait their turn: the session holds at most
// MaxBuffered bytes of them, and the door reads no more from the socket
// than room() says, so that the rest waits in the system's buffers.
class PjlinkSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int FirstRequestMs = 5000;
    static constexpr qsizetype MaxBuffered = 4 * MaxLineLength;

    using Write = std::function<void(const QByteArray&)>;
    using Close = std::function<void(const QString& why, LogLevel level)>;

    PjlinkSession(Projector& projector, Clock& clock, const HubLog& log, GuessGuard& guard,
        Projector::Requester requester, QString peer, Write onWrite, Close onClose);
    ~PjlinkSession() override;

    // What the connection is greeted with; call once, first.
    QByteArray greeting() const;
    // Bytes from the controller.
    void receive(const QByteArray& bytes);
    // Bytes the session may take now.
    qsizetype room() const;
    // The controller sent its last byte: the session answers the requests
    // it holds, then closes.
    void finishInput();
    // Called when the session has taken what it holds and may take more.
    void setReadyForMore(std::function<void()> ready) { m_readyForMore = std::move(ready); }
    // Called once, when the first well-formed request is taken (past the
    // password, if one is set): a controller the projector's notifications
    // may go to.
    void setOnServed(std::function<void()> served) { m_onServed = std::move(served); }

    const QString& peer() const { return m_peer; }

private:
    void takeLines();
    void handle(const QByteArray& line);
    void carryOut(const PjlinkPlan& plan);
    void sendCommands(const PjlinkPlan& plan, std::size_t next);
    void readValues(const PjlinkPlan& plan);
    void readDone(const PjlinkPlan& plan);
    PjlinkFacts facts() const;
    void answer(const QByteArray& text);
    void close(const QString& why, LogLevel level);
    void refuseLogin(const QString& reason);

    Projector& m_projector;
    const HubLog& m_log;
    GuessGuard& m_guard;
    const Projector::Requester m_requester;
    const QString m_peer;
    Write m_write;
    Close m_close;
    std::function<void()> m_readyForMore;
    std::function<void()> m_onServed;
    std::unique_ptr<IntervalTimer> m_idle;
    QByteArray m_buffer;
    std::optional<QByteArray> m_random; // set while a digest is still due
    bool m_busy = false;                // a request is being answered
    bool m_inputDone = false;
    bool m_closed = false;
    // The reads of the query being answered.
    PjlinkValues m_values{};
    int m_readsLeft = 0;
    std::optional<PjlinkError> m_readError;
};

} // namespace orva::hub
