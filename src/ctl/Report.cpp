#include "ctl/Report.h"

#include "engine/ExchangeVerdict.h"
#include "engine/protocol/ReplyRules.h"
#include "engine/protocol/ReplyValues.h"
#include "engine/protocol/TrafficText.h"
#include "engine/protocol/ValueJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace orva::ctl {

namespace {

// A line of the display without the blank that rendering puts before the
// first token and the one after the last.
QString trimmed(const QString& line)
{
    QString text = line;
    if (text.startsWith(QLatin1Char(' ')))
        text.remove(0, 1);
    if (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

// The receive line of at most the first MaxShownReply characters of the
// reply, and how many more there were.
QString shownReply(const Exchange& exchange)
{
    const qsizetype cut = exchange.reply.size() - MaxShownReply;
    if (cut <= 0)
        return trimmed(exchange.received);
    return trimmed(renderTraffic(exchange.reply.first(MaxShownReply)))
        + QStringLiteral(" ... (%1 more characters not shown)").arg(cut);
}

// A message of the line that begins with the line's own name, without it.
QString withoutPort(const QString& port, const QString& message)
{
    const QString prefix = port + QStringLiteral(": ");
    return message.startsWith(prefix) ? message.mid(prefix.size()) : message;
}

// A query's plain value from the typed value the exchange read: the keyed
// states as the status line words them, numbers as numbers, temperatures as
// the projector wrote them ("24.0", not "24").
void showValue(const ReplyValue& value, const Exchange& exchange, Outcome& outcome)
{
    const QString& status = exchange.status;
    if (const auto* lamp = std::get_if<LampHours>(&value)) {
        outcome.plain = QString::number(lamp->hours);
        outcome.value = double(lamp->hours);
    } else if (const auto* temperatures = std::get_if<Temperatures>(&value)) {
        const QString body = exchange.reply.left(replyEndIndex(exchange.reply));
        QStringList texts;
        for (const QString& field : body.split(QLatin1Char(',')))
            texts.append(field.trimmed());
        outcome.plain = texts.join(QLatin1Char(' '));
        QJsonArray numbers;
        for (const double celsius : temperatures->celsius)
            numbers.append(celsius);
        outcome.value = numbers;
    } else if (const auto* model = std::get_if<ModelName>(&value)) {
        outcome.plain = model->text;
        outcome.value = model->text;
    } else if (const auto* pressure = std::get_if<AirPressure>(&value)) {
        // The status line's "1013 hPa".
        outcome.plain = status;
        outcome.value = pressure->hectopascals;
    } else {
        outcome.plain = status.startsWith(QLatin1Char(' ')) ? status.mid(1) : status;
        outcome.value = outcome.plain;
    }
}

// What the verdict's words are followed by: the reply as shown, when there
// is one to show.
bool showsReply(VerdictReason reason)
{
    return reason == VerdictReason::Refused || reason == VerdictReason::ErrorReply
        || reason == VerdictReason::Unexpected || reason == VerdictReason::IncompleteReply;
}

} // namespace

QString printable(const QString& text)
{
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t code = c.unicode();
        const bool lone = i == 0 || !text.at(i - 1).isHighSurrogate();
        if (code < 32 || (code >= 127 && code < 160))
            safe += QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0'));
        else if (code >= 0xdc80 && code <= 0xdcff && lone)
            safe += QStringLiteral("\\x%1").arg(int(code - 0xdc00), 2, 16, QLatin1Char('0'));
        else
            safe += c;
    }
    return safe;
}

QString warningLine(const Exchange& exchange)
{
    if (exchange.warning.isEmpty())
        return QString();
    return QStringLiteral("orva-ctl: %1: warning: %2").arg(exchange.port, withoutPort(exchange.port, exchange.warning));
}

Outcome evaluate(const Action& action, const Exchange& exchange)
{
    Outcome outcome;
    if (!exchange.openError.isEmpty()) {
        outcome.openFailed = true;
        outcome.reason = VerdictReason::LineFailed;
        outcome.error = exchange.openError;
        outcome.errorKind = exchange.errorKind;
        return outcome;
    }
    if (!exchange.result) {
        // Given up before the exchange ended (a signal, the backstop).
        if (exchange.lineError.isEmpty()) {
            outcome.error = QStringLiteral("no reply within %1 ms").arg(exchange.timeoutMs);
            outcome.errorKind = LineErrorKind::NoAnswer;
        } else {
            outcome.reason = VerdictReason::LineFailed;
            outcome.error = exchange.lineError;
            outcome.errorKind = exchange.errorKind;
        }
        return outcome;
    }
    const QString shown = shownReply(exchange);
    const ExchangeVerdict verdict = judgeExchange(
        *exchange.result, exchange.request, action.kind == ActionKind::Send ? CodeOrigin::Free : CodeOrigin::Known);
    outcome.ok = verdict.ok();
    outcome.reason = verdict.reason;
    if (!outcome.ok) {
        outcome.error = showsReply(verdict.reason) ? verdict.error + QStringLiteral(": ") + shown : verdict.error;
        outcome.errorKind = verdict.errorKind;
        return outcome;
    }
    if (action.kind == ActionKind::Query) {
        showValue(exchange.result->value, exchange, outcome);
    } else {
        outcome.plain = shown;
        outcome.value = shown;
    }
    return outcome;
}

QString plainLine(const Exchange& exchange, const Outcome& outcome, bool severalPorts)
{
    if (!outcome.ok) {
        // A message that names the line already ("LINE is in use ...") is
        // not given the name a second time.
        const QString error = withoutPort(exchange.port, outcome.error);
        if (error.startsWith(exchange.port + QLatin1Char(' ')))
            return printable(QStringLiteral("orva-ctl: ") + error);
        return printable(
            QStringLiteral("orva-ctl: %1: %2%3")
                .arg(exchange.port, outcome.openFailed ? QStringLiteral("cannot open: ") : QString(), error));
    }
    return printable(severalPorts ? exchange.port + QStringLiteral(": ") + outcome.plain : outcome.plain);
}

QString jsonLine(const Action& action, const QString& code, const Exchange& exchange, const Outcome& outcome)
{
    const qsizetype cut = std::max<qsizetype>(0, exchange.reply.size() - MaxShownReply);
    const QString reply = cut > 0 ? exchange.reply.first(MaxShownReply) : exchange.reply;
    QJsonObject object{
        {QStringLiteral("port"), exchange.port},
        {QStringLiteral("action"), title(action)},
        {QStringLiteral("code"), code},
        {QStringLiteral("sent"), exchange.sent},
        {QStringLiteral("reply"), reply},
        {QStringLiteral("received"), cut > 0 ? renderTraffic(reply) : exchange.received},
        {QStringLiteral("text"), exchange.status},
        {QStringLiteral("value"), outcome.value},
        {QStringLiteral("ok"), outcome.ok},
        {QStringLiteral("ms"), outcome.openFailed ? QJsonValue() : QJsonValue(std::round(exchange.ms * 1000) / 1000)},
    };
    // The fields the HTTP door's result has too, alike in both.
    const QJsonObject reading = exchange.result ? valueObject(exchange.result->value) : QJsonObject();
    object.insert(QStringLiteral("reading"), reading.isEmpty() ? QJsonValue() : QJsonValue(reading));
    object.insert(QStringLiteral("verdict"), QString(verdictName(outcome.reason)));
    if (cut > 0)
        object.insert(QStringLiteral("cut"), double(cut));
    if (!exchange.warning.isEmpty())
        object.insert(QStringLiteral("warning"), exchange.warning);
    if (!outcome.ok) {
        object.insert(QStringLiteral("error"), outcome.error);
        object.insert(QStringLiteral("error_kind"),
            outcome.errorKind ? QJsonValue(QString(lineErrorKindName(*outcome.errorKind))) : QJsonValue());
    }
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

int exitStatus(const QList<Outcome>& outcomes)
{
    if (std::any_of(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return o.openFailed; }))
        return 3;
    if (std::any_of(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return !o.ok; }))
        return 1;
    return 0;
}

QStringList listLines(bool json)
{
    QStringList lines;
    for (const Action& action : actions()) {
        if (action.kind == ActionKind::List)
            continue;
        const QString name = action.kind == ActionKind::Send ? QStringLiteral("send CODE") : title(action);
        const QString code = action.kind == ActionKind::Send ? QStringLiteral("(the code given)") : codeOf(action);
        if (json) {
            const QJsonObject object{{QStringLiteral("action"), name}, {QStringLiteral("code"), code}};
            lines.append(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        } else {
            lines.append(name.leftJustified(22) + code);
        }
    }
    return lines;
}

} // namespace orva::ctl
