#pragma once

#include "engine/line/LineError.h"
#include "engine/protocol/Commands.h"
#include "engine/protocol/ReplyValues.h"
#include "engine/timing/IntervalTimer.h"

#include <QObject>
#include <QString>

#include <algorithm>
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
// once with that request's result, and with no other, and always from the
// event loop: never inside submit(), even when the queue is full or the
// line refuses the frame at once, so that a caller may go on using what
// the handler frees.
//
// A reply is only ever given to the request it answers. Characters that
// arrive with nothing in flight are the late reply of the last request that
// went out: they are counted, announced with that request's id (lateReply)
// and never given to another request; past MaxLateLength characters per
// request they are dropped and counted. After a timeout the next frame is
// not written until the late reply has ended (ACK, NAK or carriage return)
// or the line has been quiet for the late-reply time (and never longer
// than MaxSettleFactor times it, however much a babbling line says).
//
// A line failure (lost, write failed, a failed network opening) ends the
// request in flight and every waiting one with the error; requests made
// after it are tried on the line again. Owns the queue, the request in
// flight and its reply so far, and the timers.
class CommandExchange : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const ExchangeResult&)>;
    // Who asked: requests are bounded and withdrawn per owner. Owner 0 is
    // never bounded.
    using Owner = quint64;

    // Requests waiting behind the one in flight, at most, unless told
    // otherwise (a program serving many clients sets its own).
    static constexpr int DefaultMaxWaiting = 64;
    // Characters of one reply kept, at most: the newest, as the panel keeps.
    static constexpr int MaxReplyLength = 32767;
    // How long the line must be quiet after a timeout before the next frame
    // goes out, unless told otherwise: long enough for a projector that
    // stalls while it warms, cools or switches its input.
    static constexpr int DefaultLateReplyMs = 1500;
    static constexpr int MaxSettleFactor = 4;
    // Late characters given for one request, at most.
    static constexpr int MaxLateLength = 1024;

    CommandExchange(SerialLine& line, Clock& clock, int maxWaiting = DefaultMaxWaiting, QObject* parent = nullptr);
    ~CommandExchange() override;

    void setLateReplyMs(int ms) { m_lateReplyMs = std::max(0, ms); }
    int lateReplyMs() const { return m_lateReplyMs; }
    // Requests one owner (other than 0) may have queued or in flight, at
    // most; more are refused with QueueFull. 0: no bound but the queue's.
    void setMaxPerOwner(int count) { m_maxPerOwner = count; }

    // Queues a request; returns its id (never 0), or 0 when it is refused
    // at once (the queue, or its owner's share of it, is full): its handler
    // is then called with QueueFull from the event loop.
    quint64 submit(const ExchangeRequest& request, Handler done, Owner owner = 0);
    // Withdraws a request: a waiting one is dropped, one in flight runs to
    // its end on the line; either way its handler is not called. False when
    // the id is not (or no longer) known.
    bool cancel(quint64 id);
    // Withdraws every request of an owner, as cancel() does.
    void cancelOwner(Owner owner);

    qsizetype waiting() const { return qsizetype(m_waiting.size()); }
    bool isBusy() const { return m_inFlight != nullptr; }
    std::int64_t lateCharacters() const { return m_lateCharacters; }
    std::int64_t lateCharactersDropped() const { return m_lateDropped; }

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
        Owner owner = 0;
    };
    struct Ready
    {
        quint64 id;
        Owner owner;
        Handler done;
        ExchangeResult result;
    };

    void scheduleNext(std::int64_t delayMs);
    void sendNext();
    void onReceived();
    void onTimeout();
    void failLine(const LineError& error);
    void finish(ExchangeOutcome outcome, std::optional<LineError> error = std::nullopt);
    void late(const QString& characters);
    void deliver(Pending& ended, const ExchangeResult& result);
    void deliverReady();
    int ownedBy(Owner owner) const;
    // While a late reply may still come: how long the next frame waits.
    std::int64_t settleLeftMs() const;

    SerialLine& m_line;
    Clock& m_clock;
    const int m_maxWaiting;
    int m_maxPerOwner = 0;
    int m_lateReplyMs = DefaultLateReplyMs;
    std::unique_ptr<IntervalTimer> m_timeout;
    std::unique_ptr<IntervalTimer> m_next;
    std::unique_ptr<IntervalTimer> m_ready;
    std::deque<Pending> m_waiting;
    std::unique_ptr<Pending> m_inFlight;
    std::deque<Ready> m_readyResults; // ended inside submit(), delivered from the event loop
    ExchangeResult m_result;          // of the request in flight
    quint64 m_lastId = 0;
    quint64 m_nextId = 1;
    std::int64_t m_lateCharacters = 0;
    std::int64_t m_lateDropped = 0;
    int m_lateGiven = 0; // late characters given for m_lastId
    // After a timeout, until the late reply ends or the line is quiet.
    bool m_settling = false;
    std::int64_t m_quietUntilMs = 0;
    std::int64_t m_settleLimitMs = 0;
    int m_submitting = 0;      // submit() calls on the stack
    bool m_delivering = false; // a handler runs
};

} // namespace orva
