#include "hub/HubJson.h"

#include "engine/ExchangeVerdict.h"
#include "engine/protocol/Frame.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"
#include "engine/protocol/ValueNames.h"

#include <QDateTime>
#include <QJsonArray>

#include <cmath>

namespace orva::hub {

namespace {

// The typed value alone, and what else its object says.
QJsonValue plainValue(const ReplyValue& value, QJsonObject& object)
{
    if (const auto* power = std::get_if<PowerState>(&value)) {
        object.insert(QStringLiteral("state"), QString(powerClassName(powerClass(*power))));
        object.insert(QStringLiteral("phase"), QString(powerPhaseName(powerPhase(*power))));
        object.insert(QStringLiteral("fault"), QString(powerFaultName(powerFault(*power))));
        return QString(powerStateName(*power));
    }
    if (const auto* input = std::get_if<InputSource>(&value))
        return QString(inputName(*input));
    if (const auto* orientation = std::get_if<Orientation>(&value))
        return QString(orientationName(*orientation));
    if (const auto* lamp = std::get_if<LampHours>(&value))
        return double(lamp->hours);
    if (const auto* temperatures = std::get_if<Temperatures>(&value)) {
        QJsonArray celsius;
        for (const double each : temperatures->celsius)
            celsius.append(each);
        return celsius;
    }
    if (const auto* mute = std::get_if<MuteState>(&value)) {
        const std::optional<Muted> muted = mutedOf(*mute);
        object.insert(QStringLiteral("picture"), muted ? QJsonValue(muted->picture) : QJsonValue());
        object.insert(QStringLiteral("sound"), muted ? QJsonValue(muted->sound) : QJsonValue());
        return QString(muteName(*mute));
    }
    if (const auto* model = std::get_if<ModelName>(&value))
        return model->text;
    if (const auto* pressure = std::get_if<AirPressure>(&value))
        return pressure->hectopascals;
    if (const auto* mode = std::get_if<LampMode>(&value)) {
        object.insert(QStringLiteral("lit"), lampLit(*mode));
        return QString(lampModeName(*mode));
    }
    return QJsonValue();
}

} // namespace

QString isoTime(std::int64_t epochMs)
{
    return QDateTime::fromMSecsSinceEpoch(epochMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

QJsonObject valueJson(const ReplyValue& value, std::int64_t readAtEpochMs)
{
    if (std::holds_alternative<std::monostate>(value))
        return {};
    QJsonObject object;
    object.insert(QStringLiteral("value"), plainValue(value, object));
    object.insert(QStringLiteral("read_at"), isoTime(readAtEpochMs));
    return object;
}

ResultJson resultJson(const ExchangeResult& result, const ExchangeRequest& request, bool freeCommand)
{
    ResultJson out;
    QJsonObject& body = out.body;
    const ExchangeVerdict verdict = judgeExchange(result, request, freeCommand ? CodeOrigin::Free : CodeOrigin::Known);
    const bool ok = verdict.ok();
    QString error = verdict.error;
    if (verdict.reason == VerdictReason::Unexpected && result.outcome == ExchangeOutcome::Acknowledged)
        error += QStringLiteral(": acknowledged a query");
    const std::optional<LineErrorKind>& kind = verdict.errorKind;
    switch (verdict.reason) {
    case VerdictReason::NoReply:
    case VerdictReason::IncompleteReply:
        out.status = 504;
        break;
    case VerdictReason::LineFailed:
        out.status = 503;
        break;
    case VerdictReason::QueueFull:
        out.status = 429;
        break;
    default:
        break;
    }
    const QString text = result.frame.isEmpty()
        ? QString()
        : decodeStatus(result.frame, CommandPrefix, renderTraffic(result.reply)).value_or(StatusLine()).text;
    QJsonObject valueObject;
    const QJsonValue value = plainValue(result.value, valueObject);
    body.insert(QStringLiteral("code"), request.code);
    body.insert(QStringLiteral("ok"), ok);
    body.insert(QStringLiteral("reply"), result.reply);
    body.insert(QStringLiteral("text"), text.trimmed());
    body.insert(QStringLiteral("value"), value);
    body.insert(QStringLiteral("error"), ok ? QJsonValue() : QJsonValue(error));
    body.insert(QStringLiteral("error_kind"), kind ? QJsonValue(QString(lineErrorKindName(*kind))) : QJsonValue());
    body.insert(QStringLiteral("ms"),
        result.frame.isEmpty() ? QJsonValue() : QJsonValue(double(result.endedAtMs - result.sentAtMs)));
    return out;
}

} // namespace orva::hub
