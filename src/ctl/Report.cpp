#include "ctl/Report.h"

#include "engine/protocol/StatusDecoder.h"

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

bool isDigits(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The query's value from its reply; false when the reply does not read as one.
bool readValue(ValueKind kind, const QString& body, const Exchange& exchange, Outcome& outcome)
{
    switch (kind) {
    case ValueKind::StatusText:
        // The decoder leaves the status line empty for a key it does not know.
        if (exchange.status.isEmpty())
            return false;
        outcome.plain = exchange.status.startsWith(QLatin1Char(' ')) ? exchange.status.mid(1) : exchange.status;
        outcome.value = outcome.plain;
        return true;
    case ValueKind::Number: {
        if (!isDigits(body) || body.size() > 15)
            return false;
        const qint64 hours = body.toLongLong();
        outcome.plain = QString::number(hours);
        outcome.value = double(hours);
        return true;
    }
    case ValueKind::Numbers: {
        const QStringList fields = body.split(QLatin1Char(','));
        if (fields.size() != 3)
            return false;
        QStringList texts;
        QJsonArray numbers;
        for (const QString& field : fields) {
            bool number = false;
            const double celsius = field.trimmed().toDouble(&number);
            if (!number)
                return false;
            texts.append(field.trimmed());
            numbers.append(celsius);
        }
        outcome.plain = texts.join(QLatin1Char(' '));
        outcome.value = numbers;
        return true;
    }
    case ValueKind::ReplyText:
        if (body.isEmpty())
            return false;
        outcome.plain = body;
        outcome.value = body;
        return true;
    case ValueKind::Hectopascals: {
        // The status line reads "1013 hPa", or tells of a reading out of range.
        const QString unit = QStringLiteral(" hPa");
        bool number = false;
        const int hpa = exchange.status.endsWith(unit) ? exchange.status.chopped(unit.size()).toInt(&number) : 0;
        if (!number)
            return false;
        outcome.plain = exchange.status;
        outcome.value = hpa;
        return true;
    }
    case ValueKind::None:
        break;
    }
    return false;
}

} // namespace

Outcome evaluate(const Action& action, const Exchange& exchange)
{
    Outcome outcome;
    if (!exchange.openError.isEmpty()) {
        outcome.openFailed = true;
        outcome.error = exchange.openError;
        outcome.errorKind = exchange.errorKind;
        return outcome;
    }
    const QString shown = trimmed(exchange.received);
    if (!exchange.complete) {
        outcome.errorKind = exchange.lineError.isEmpty() ? LineErrorKind::NoAnswer : exchange.errorKind;
        if (!exchange.lineError.isEmpty())
            outcome.error = exchange.lineError;
        else if (exchange.reply.isEmpty())
            outcome.error = QStringLiteral("no reply within %1 ms").arg(exchange.timeoutMs);
        else
            outcome.error = QStringLiteral("incomplete reply within %1 ms: %2").arg(exchange.timeoutMs).arg(shown);
        return outcome;
    }

    const auto end = replyEnd(exchange.reply);
    const QChar last = *end; // complete: there is one
    const QString body = exchange.reply.first(end - exchange.reply.begin());
    if (last == Nak) {
        outcome.error = QStringLiteral("refused (NAK): %1").arg(shown);
        return outcome;
    }
    if (body == QLatin1String("?")) {
        outcome.error = QStringLiteral("error reply: %1").arg(shown);
        return outcome;
    }

    switch (action.kind) {
    case ActionKind::Operation:
        outcome.ok = last == Ack;
        outcome.plain = shown;
        outcome.value = shown;
        break;
    case ActionKind::Query:
        outcome.ok = last == CarriageReturn && readValue(action.value, body, exchange, outcome);
        break;
    case ActionKind::Send:
    case ActionKind::List:
        outcome.ok = true;
        outcome.plain = shown;
        outcome.value = shown;
        break;
    }
    if (!outcome.ok) {
        outcome.error = QStringLiteral("unexpected reply: %1").arg(shown);
        outcome.plain.clear();
        outcome.value = QJsonValue();
    }
    return outcome;
}

QString plainLine(const Exchange& exchange, const Outcome& outcome, bool severalPorts)
{
    // A line's error names the line already, as the port was written.
    if (!outcome.ok)
        return QStringLiteral("orva-ctl: %1: %2").arg(exchange.port, outcome.error);
    return severalPorts ? exchange.port + QStringLiteral(": ") + outcome.plain : outcome.plain;
}

QString jsonLine(const Action& action, const QString& code, const Exchange& exchange, const Outcome& outcome)
{
    QJsonObject object{
        {QStringLiteral("port"), exchange.port},
        {QStringLiteral("action"), title(action)},
        {QStringLiteral("code"), code},
        {QStringLiteral("sent"), exchange.sent},
        {QStringLiteral("reply"), exchange.reply},
        {QStringLiteral("received"), exchange.received},
        {QStringLiteral("text"), exchange.status},
        {QStringLiteral("value"), outcome.value},
        {QStringLiteral("ok"), outcome.ok},
        {QStringLiteral("ms"), outcome.openFailed ? QJsonValue() : QJsonValue(std::round(exchange.ms * 1000) / 1000)},
    };
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
