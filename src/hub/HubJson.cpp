#include "hub/HubJson.h"

#include "engine/ExchangeVerdict.h"
#include "engine/protocol/Frame.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"
#include "engine/protocol/ValueJson.h"

#include <QDateTime>
#include <QJsonDocument>

#include <cmath>

namespace orva::hub {

QString isoTime(std::int64_t epochMs)
{
    return QDateTime::fromMSecsSinceEpoch(epochMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

QJsonObject lineErrorJson(const LineError& error)
{
    return QJsonObject{
        {QStringLiteral("kind"), QString(lineErrorKindName(error.kind))}, {QStringLiteral("text"), error.text}};
}

QJsonObject valueJson(const ReplyValue& value, std::int64_t readAtEpochMs, std::int64_t sinceEpochMs)
{
    QJsonObject object = valueObject(value);
    if (!object.isEmpty())
        object.insert(QStringLiteral("read_at"), isoTime(readAtEpochMs));
    if (!object.isEmpty() && sinceEpochMs >= 0)
        object.insert(QStringLiteral("since"), isoTime(sinceEpochMs));
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
    const QJsonObject reading = valueObject(result.value);
    body.insert(QStringLiteral("code"), request.code);
    body.insert(QStringLiteral("ok"), ok);
    body.insert(QStringLiteral("reply"), result.reply);
    body.insert(QStringLiteral("text"), text.trimmed());
    body.insert(QStringLiteral("value"), reading.isEmpty() ? QJsonValue() : reading.value(QStringLiteral("value")));
    body.insert(QStringLiteral("reading"), reading.isEmpty() ? QJsonValue() : QJsonValue(reading));
    body.insert(QStringLiteral("verdict"), QString(verdictName(verdict.reason)));
    body.insert(QStringLiteral("error"), ok ? QJsonValue() : QJsonValue(error));
    body.insert(QStringLiteral("error_kind"), kind ? QJsonValue(QString(lineErrorKindName(*kind))) : QJsonValue());
    body.insert(QStringLiteral("ms"),
        result.frame.isEmpty() ? QJsonValue() : QJsonValue(double(result.endedAtMs - result.sentAtMs)));
    return out;
}

HttpResponse jsonResponse(int status, const QJsonObject& body)
{
    HttpResponse response;
    response.status = status;
    response.headers = {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}};
    response.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    response.body += '\n';
    return response;
}

HttpResponse jsonError(int status, const QString& error)
{
    return jsonResponse(status, QJsonObject{{QStringLiteral("error"), error}});
}

} // namespace orva::hub
