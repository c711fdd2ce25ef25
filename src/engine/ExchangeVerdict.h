#pragma once

#include "engine/CommandExchange.h"
#include "engine/line/LineError.h"

#include <QLatin1String>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace orva {

// Why an exchange is not ok, or that it is.
enum class VerdictReason : quint8 {
    Ok,
    Refused,         // NAK
    ErrorReply,      // the projector's error reply "?"
    Unexpected,      // an answer, but not the one the command gets (ACK to a query, a value that does not read)
    NoReply,         // nothing within the request's time
    IncompleteReply, // a reply that had not ended within the request's time
    LineFailed,      // the line failed before the reply ended
    QueueFull,       // refused at once: too many requests waiting on the line
};

// What an exchange came to, for whoever asked: the one judgement orva-ctl
// and the HTTP door give a result. A code of the vocabulary is ok when its
// answer is the one it should get: ACK for an operation or a setting (noise
// before the ACK is tolerated), for a query a reply ended by a carriage
// return whose body reads as the query's value. A free code is ok on any
// answer that is neither NAK nor "?". The value is the result's own typed
// value (decodeReply's), never decoded again.
struct ExchangeVerdict
{
    VerdictReason reason = VerdictReason::NoReply;
    // For people, without the reply: "refused (NAK)", "no reply within 500
    // ms", the line's own text... Empty when ok. A front end may add what
    // it shows of the reply.
    QString error;
    // The line's kind of failure: when it failed (its own kind) or did not
    // answer in time (NoAnswer); none when the projector answered wrong.
    std::optional<LineErrorKind> errorKind;

    bool ok() const { return reason == VerdictReason::Ok; }
};

enum class CodeOrigin : quint8 {
    Known, // a command of the vocabulary: judged by its kind
    Free,  // any code the caller typed: any answer will do
};

// The reason's name for programs: ok, refused, error-reply, unexpected,
// no-reply, incomplete-reply, line-failed, queue-full.
QLatin1String verdictName(VerdictReason reason);

ExchangeVerdict judgeExchange(const ExchangeResult& result, const ExchangeRequest& request, CodeOrigin origin);

} // namespace orva
