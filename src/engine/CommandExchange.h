#pragma once

#include "engine/line/LineError.h"
#include "engine/protocol/Commands.h"
#include "engine/protocol/ReplyValues.h"
#include "engine/timing/IntervalTimer.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace orva {

class SerialLine;

// How a request ended.
enum class ExchangeOutcome : quint8 {
    Acknowledged, // the reply ended in ACK
    Refused,      // the reply ended in NAK
    Replied,      // the reply was text ended by a carriage return
    ErrorReply,   // the reply was the projector's error reply "?"
    TimedOut,     // the reply had not ended when the request's time was up
    LineFailed,   // the line failed before the reply ended (error says how)
    QueueFull,    // refused at once: the queue's bound of waiting requests was reached
};

// What a program asks for: a code, how its reply decodes, how long to wait.
struct ExchangeRequest
{
    QString code; // sent framed: prefix, code, carriage return
    std::optional<StatusQuery> decoding;
    int timeoutMs = 1000;

    static ExchangeRequest of(Command command, int timeoutMs = 1000);
    // Any code; decoded when it is the code of a query of the vocabulary.
    static ExchangeRequest ofCode(const QString& code, int timeoutMs = 1000);
};

struct ExchangeResult
{
    quint64 id = 0;
    ExchangeOutcome outcome = ExchangeOutcome::TimedOut;
    QString frame;                  // as written; empty when it never went out
    QString reply;                  // the characters received, up to the one that ended it
    std::optional<LineError> error; // LineFailed only
    ReplyValue value;               // Replied to a query, when it reads as one
    std::int64_t sentAtMs = 0;      // on the exchange's clock
    std::int64_t endedAtMs = 0;
};

// Requests from any number of owners on one line, one frame in flight at a
// time. A request made while the line is idle goes out within submit();
// any other goes out, from the event loop, when the one before it has
// ended: at the end of its reply (ACK, NAK or carriage return), at its own
// timeout, or when the line fails. A request's handler is called exactly
// once with that request's result, and with no other: from the event loop,
// or before submit() returns when the queue is full or the line refuses the
// frame at once.
//
// Characters that arrive with nothing in flight are the late reply of the
// last request that went out: they are counted, announced with that
// request's id (lateReply) and never given to another request. After a
// timeout the next frame waits SettleMs, so that a reply still on its way
// is taken as late rather than as the answer to the next one.
//
// A line failure (lost, write failed, a failed network opening) ends the
// request in flight and every waiting one with the error; requests made
// after it are tried on the line again. Owns the queue, the request in
// flight and its reply so far, and the two timers.
class CommandExchange : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const ExchangeResult&)>;

    // Requests waiting behind the one in flight, at most, unless told
    // otherwise (a program serving many clients sets its own).
    static constexpr int DefaultMaxWaiting = 64;
    // Characters of one reply kept, at most: the newest, as the panel keeps.
    static constexpr int MaxReplyLength = 32767;
    static constexpr int SettleMs = 100;

    CommandExchange(SerialLine& line, Clock& clock, int maxWaiting = DefaultMaxWaiting, QObject* parent = nullptr);
    ~CommandExchange() override;

    // Queues a request; returns its id (never 0), or 0 when the queue is
    // full and the handler has been called with QueueFull.
    quint64 submit(const ExchangeRequest& request, Handler done);
    // Withdraws a request: a waiting one is dropped, one in flight runs to
    // its end on the line; either way its handler is not called. False when
    // the id is not (or no longer) known.
    bool cancel(quint64 id);

    qsizetype waiting() const { return qsizetype(m_waiting.size()); }
    bool isBusy() const { return m_inFlight != nullptr; }
    std::int64_t lateCharacters() const { return m_lateCharacters; }

Q_SIGNALS:
    // Characters arrived with nothing in flight; lastId is the request that
    // went out last (0 when none has).
    void lateReply(quint64 lastId, const QString& characters);

private:
    struct Pending
    {
        quint64 id;
        ExchangeRequest request;
        Handler done;
    };

    void scheduleNext(int delayMs);
    void sendNext();
    void onReceived();
    void onTimeout();
    void failLine(const LineError& error);
    void finish(ExchangeOutcome outcome, std::optional<LineError> error = std::nullopt);
    void late(const QString& characters);
    void deliver(const Handler& done, const ExchangeResult& result);

    SerialLine& m_line;
    Clock& m_clock;
    const int m_maxWaiting;
    std::unique_ptr<IntervalTimer> m_timeout;
    std::unique_ptr<IntervalTimer> m_next;
    std::deque<Pending> m_waiting;
    std::unique_ptr<Pending> m_inFlight;
    ExchangeResult m_result; // of the request in flight
    quint64 m_lastId = 0;
    quint64 m_nextId = 1;
    std::int64_t m_lateCharacters = 0;
    std::int64_t m_settleUntilMs = 0; // no frame goes out before, after a timeout
    bool m_delivering = false;        // a handler runs
};

} // namespace orva
