#include "engine/protocol/ReplyValues.h"

#include "engine/protocol/NumberReading.h"
#include "engine/protocol/ReplyKeyTables.h"
#include "engine/protocol/TrafficText.h"

#include <QList>

#include <algorithm>

namespace orva {

namespace {

using namespace keytables;

template <auto& Rows> ReplyValue tableValue(const KeyTable& table, QStringView body)
{
    const qsizetype row = rowOf(table, renderTraffic(body.toString()));
    if (row < 0)
        return {};
    return Rows[row].value;
}

ReplyValue lampHours(QStringView body)
{
    if (body.isEmpty() || body.size() > 15
        || !std::all_of(body.begin(), body.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return {};
    return LampHours{body.toLongLong()};
}

ReplyValue temperatureValues(QStringView body)
{
    const auto plain = [](QChar c) {
        return (c >= u'0' && c <= u'9') || c == u' ' || c == u',' || c == u'.' || c == u'-' || c == u'+';
    };
    if (!std::all_of(body.begin(), body.end(), plain))
        return {};
    const QList<QStringView> fields = body.split(u',');
    if (fields.size() != 3)
        return {};
    Temperatures values;
    for (qsizetype i = 0; i < 3; ++i) {
        bool number = false;
        values.celsius[std::size_t(i)] = fields[i].trimmed().toDouble(&number);
        if (!number)
            return {};
    }
    return values;
}

ReplyValue modelName(QStringView body)
{
    if (body.isEmpty() || body.size() > MaxModelNameLength
        || !std::all_of(body.begin(), body.end(), [](QChar c) { return c.unicode() >= 32 && c.unicode() < 127; }))
        return {};
    return ModelName{body.toString()};
}

ReplyValue airPressure(QStringView body)
{
    const std::optional<double> reading = readNumber(body);
    const std::optional<qint16> hpa = reading ? pressureHpa(*reading) : std::nullopt;
    if (!hpa)
        return {};
    return AirPressure{*hpa};
}

} // namespace

ReplyValue decodeReply(StatusQuery decoding, QStringView body)
{
    switch (decoding) {
    case StatusQuery::PowerState:
        return tableValue<PowerStateRows>(PowerStateTable, body);
    case StatusQuery::InputSource:
        return tableValue<InputSourceRows>(InputSourceTable, body);
    case StatusQuery::Orientation:
        return tableValue<OrientationRows>(OrientationTable, body);
    case StatusQuery::MuteState:
        return tableValue<MuteStateRows>(MuteStateTable, body);
    case StatusQuery::LampMode:
        return tableValue<LampModeRows>(LampModeTable, body);
    case StatusQuery::LampHours:
        return lampHours(body);
    case StatusQuery::Temperatures:
        return temperatureValues(body);
    case StatusQuery::ModelName:
        return modelName(body);
    case StatusQuery::AirPressure:
        return airPressure(body);
    }
    return {};
}

} // namespace orva
