#include "engine/ExchangeVerdict.h"

#include <iterator>
#include <variant>

namespace orva {

namespace {

constexpr const char* VerdictNames[]
    = {"ok", "refused", "error-reply", "unexpected", "no-reply", "incomplete-reply", "line-failed", "queue-full"};
static_assert(std::size(VerdictNames) == std::size_t(VerdictReason::QueueFull) + 1);

const ExchangeVerdict Passed{VerdictReason::Ok, QString(), std::nullopt};

ExchangeVerdict failed(VerdictReason reason, QString error, std::optional<LineErrorKind> kind = std::nullopt)
{
    return {reason, std::move(error), kind};
}

} // namespace

QLatin1String verdictName(VerdictReason reason)
{
    return QLatin1String(VerdictNames[std::size_t(reason)]);
}

ExchangeVerdict judgeExchange(const ExchangeResult& result, const ExchangeRequest& request, CodeOrigin origin)
{
    const bool free = origin == CodeOrigin::Free;
    switch (result.outcome) {
    case ExchangeOutcome::Acknowledged:
        if (free || !request.decoding)
            return Passed;
        return failed(VerdictReason::Unexpected, QStringLiteral("unexpected reply"));
    case ExchangeOutcome::Replied:
        if (free || (request.decoding && !std::holds_alternative<std::monostate>(result.value)))
            return Passed;
        return failed(VerdictReason::Unexpected, QStringLiteral("unexpected reply"));
    case ExchangeOutcome::Refused:
        return failed(VerdictReason::Refused, QStringLiteral("refused (NAK)"));
    case ExchangeOutcome::ErrorReply:
        return failed(VerdictReason::ErrorReply, QStringLiteral("error reply"));
    case ExchangeOutcome::TimedOut:
        if (result.reply.isEmpty()) {
            return failed(VerdictReason::NoReply, QStringLiteral("no reply within %1 ms").arg(request.timeoutMs),
                LineErrorKind::NoAnswer);
        }
        return failed(VerdictReason::IncompleteReply,
            QStringLiteral("incomplete reply within %1 ms").arg(request.timeoutMs), LineErrorKind::NoAnswer);
    case ExchangeOutcome::LineFailed:
        return failed(VerdictReason::LineFailed, result.error ? result.error->text : QStringLiteral("the line failed"),
            result.error ? result.error->kind : LineErrorKind::Other);
    case ExchangeOutcome::QueueFull:
        return failed(VerdictReason::QueueFull, QStringLiteral("too many requests waiting for this projector"));
    }
    return failed(VerdictReason::NoReply, QString());
}

} // namespace orva
