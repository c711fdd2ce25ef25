#include "engine/protocol/StatusDecoder.h"

#include "engine/protocol/NumberReading.h"
#include "engine/protocol/PowerStates.h"
#include "engine/protocol/ReplyValues.h"
#include "engine/protocol/TrafficText.h"

#include <QStringList>

#include <algorithm>
#include <span>

namespace orva {

namespace {

// One row of a key table: the key read from the rendered reply, the status
// text it stands for and the value it gives programs. Keys and texts are
// exact, blanks included.
template <class Value> struct Row
{
    const char* key;
    const char* text;
    Value value;
};

using P = PowerState;
constexpr Row<PowerState> PowerStateRows[] = {
    {" 0 0", " Power ON", P::On},
    {" 8 0", " Stand by", P::Standby},
    {" 4 0", " Count down", P::CountDown},
    {" 2 0", " Cooling down", P::CoolingDown},
    {" 1 0", " Power Fail", P::PowerFailure},
    {" 0 8", " Temperature Warning", P::TemperatureWarning},
    {" 0 2", " NO Key input ", P::NoKeyInput},
    {" 0 4", " Lamp OFF by PWR Management", P::LampOffByPowerManagement},
    {" 2 8", " Temperature Warning & cooling down", P::TemperatureWarningCooling},
    {" 2 4", "Cooling down  PWR Management", P::CoolingDownPowerManagement},
    {" 8 8", " Temperature Warning and recoverd", P::TemperatureWarningRecovered},
    {" 2 1", " Cooling down (All Lamp FAIL)", P::CoolingDownAllLampsFailed},
    {" 8 1", " Cooling down & sutandby (All Lamp FAIL)", P::StandbyAllLampsFailed},
};

// The keys are the power table's codes, rendered, in its order.
constexpr bool keysArePowerCodes()
{
    for (std::size_t i = 0; i < std::size(PowerStateRows); ++i) {
        const char* key = PowerStateRows[i].key;
        const PowerStateFacts& facts = PowerStates[i];
        if (PowerStateRows[i].value != facts.state || key[1] != facts.code[0] || key[3] != facts.code[1])
            return false;
    }
    return std::size(PowerStateRows) == std::size(PowerStates);
}
static_assert(keysArePowerCodes(), "the status line reads the power table's codes");

constexpr Row<InputSource> InputSourceRows[] = {
    {" 1", " Computer 1", InputSource::Computer1},
    {" 2", " Computer 2", InputSource::Computer2},
    {" 3", " Video", InputSource::Video},
    {" 4", " Input mode 4", InputSource::InputMode4},
};

constexpr Row<Orientation> OrientationRows[] = {
    {" 1 1", " Normally", Orientation::Normal},
    {" 1 0", " Top/Bottom reversal", Orientation::TopBottomReversed},
    {" 0 1", " Left/Right reversal", Orientation::LeftRightReversed},
    {" 0 0", " Top/Bottom , Left/Right reversal", Orientation::BothReversed},
};

using M = MuteState;
constexpr Row<MuteState> MuteStateRows[] = {
    {" 0 0", " Video & Audio mute OFF", M::Off},
    {" 0 1", " Video mute ON", M::VideoMuted},
    {" 0 2", " Audio mute ON", M::AudioMuted},
    {" 0 3", " Video & Audio mute ON", M::VideoAndAudioMuted},
    {" 8 0", " No signal", M::NoSignal},
    {" F F", " Stand by", M::Standby},
};

using L = LampMode;
constexpr Row<LampMode> LampModeRows[] = {
    {" 0 0", " LAMP OFF", L::Off},
    {" 0 1", " LAMP ON", L::On},
    {" 0 2", " No2 ON  : 2 Lamp mode", L::TwoLampsNo2On},
    {" 0 3", " No1,2 ON  : 2 Lamp mode", L::TwoLampsBothOn},
    {" 1 0", " All OFF : 1 Lamp mode(No1 USE)", L::OneLampNo1AllOff},
    {" 1 1", " No1 ON  : 1 Lamp mode(No1 USE)", L::OneLampNo1On},
    {" 2 0", " All OFF : 1 Lamp mode(No2 USE)", L::OneLampNo2AllOff},
    {" 2 2", " No2 ON  : 1 Lamp mode(No2 USE)", L::OneLampNo2On},
};

// A key table of any value type, seen through its keys and texts.
struct Table
{
    qsizetype keyLength = 0;
    qsizetype size = 0;
    const char* (*key)(qsizetype) = nullptr;
    const char* (*text)(qsizetype) = nullptr;
};

template <auto& Rows> constexpr Table tableOf(qsizetype keyLength)
{
    return {keyLength, qsizetype(std::size(Rows)), [](qsizetype i) { return Rows[i].key; },
        [](qsizetype i) { return Rows[i].text; }};
}

enum class Decoding {
    Table,        // look first(R, keyLength) up in rows
    LampHours,    // first(R, 38) and " Hour Use"
    Temperatures, // three pieces of R between fixed texts
    WholeLine,    // R as it stands
    Pressure,     // R read as a number and converted to hPa
};

struct Query
{
    StatusQuery query;
    Decoding decoding;
    Table table = {};
};

// In the order the queries are tried (that of StatusQuery); at most one can
// match a frame. The codes are the vocabulary's.
const Query Queries[] = {
    {StatusQuery::PowerState, Decoding::Table, tableOf<PowerStateRows>(4)},
    {StatusQuery::InputSource, Decoding::Table, tableOf<InputSourceRows>(2)},
    {StatusQuery::Orientation, Decoding::Table, tableOf<OrientationRows>(4)},
    {StatusQuery::LampHours, Decoding::LampHours},
    {StatusQuery::Temperatures, Decoding::Temperatures},
    {StatusQuery::MuteState, Decoding::Table, tableOf<MuteStateRows>(4)},
    {StatusQuery::ModelName, Decoding::WholeLine},
    {StatusQuery::AirPressure, Decoding::Pressure},
    {StatusQuery::LampMode, Decoding::Table, tableOf<LampModeRows>(4)},
};
static_assert(std::size(Queries) == StatusQueryCount);

// The first n characters of r, or all of r when it is shorter.
QString first(const QString& r, qsizetype n)
{
    return r.left(n);
}

// The n characters of r from position s (counting from 1); fewer when r
// ends first, none when r is shorter than s.
QString middle(const QString& r, qsizetype s, qsizetype n)
{
    if (s > r.size())
        return QString();
    return r.mid(s - 1, n);
}

// Whether outgoing is exactly prefix, code and the carriage return.
bool isFrameOf(const QString& outgoing, const QString& prefix, QLatin1String query)
{
    if (outgoing.size() != prefix.size() + query.size() + 1)
        return false;
    const QStringView frame(outgoing);
    return frame.startsWith(prefix) && frame.sliced(prefix.size(), query.size()) == query && frame.back() == u'\r';
}

// The row of a rendered reply's key, or -1.
qsizetype rowOf(const Table& table, const QString& rendered)
{
    const QString key = first(rendered, table.keyLength);
    for (qsizetype i = 0; i < table.size; ++i) {
        if (key == QLatin1String(table.key(i)))
            return i;
    }
    return -1;
}

QString temperatures(const QString& r)
{
    return QStringLiteral("  S1=") + first(r, 10) + QStringLiteral(" C  ,   S2= ") + middle(r, 15, 8)
        + QStringLiteral(" C , S3=") + middle(r, 25, 10) + QStringLiteral(" C");
}

// A reading outside what the conversion can handle (a value that does not
// fit, a huge exponent, a rounded reading beyond -6553..6553) shows
// PressureOutOfRange and gives no pressure, so the status line never shows
// a wrapped-around number.
StatusLine pressure(const QString& r)
{
    const std::optional<double> reading = readNumber(r);
    const std::optional<qint16> hpa = reading ? pressureHpa(*reading) : std::nullopt;
    if (!hpa)
        return {PressureOutOfRange, std::nullopt};
    return {QString::number(*hpa) + QStringLiteral(" hPa"), hpa};
}

template <auto& Rows> ReplyValue tableValue(const Query& query, QStringView body)
{
    const qsizetype row = rowOf(query.table, renderTraffic(body.toString()));
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

QLatin1String statusQueryCode(StatusQuery query)
{
    return commandCode(queryCommand(query));
}

std::optional<StatusLine> decodeStatus(const QString& outgoing, const QString& prefix, const QString& rendered)
{
    for (const Query& query : Queries) {
        if (!isFrameOf(outgoing, prefix, statusQueryCode(query.query)))
            continue;
        switch (query.decoding) {
        case Decoding::Table: {
            const qsizetype row = rowOf(query.table, rendered);
            if (row < 0)
                return std::nullopt;
            return StatusLine{QString::fromLatin1(query.table.text(row)), std::nullopt};
        }
        case Decoding::LampHours:
            return StatusLine{first(rendered, 38) + QStringLiteral(" Hour Use"), std::nullopt};
        case Decoding::Temperatures:
            return StatusLine{temperatures(rendered), std::nullopt};
        case Decoding::WholeLine:
            return StatusLine{rendered, std::nullopt};
        case Decoding::Pressure:
            return pressure(rendered);
        }
    }
    return std::nullopt;
}

ReplyValue decodeReply(StatusQuery decoding, QStringView body)
{
    const Query& query = Queries[std::size_t(decoding)];
    switch (decoding) {
    case StatusQuery::PowerState:
        return tableValue<PowerStateRows>(query, body);
    case StatusQuery::InputSource:
        return tableValue<InputSourceRows>(query, body);
    case StatusQuery::Orientation:
        return tableValue<OrientationRows>(query, body);
    case StatusQuery::MuteState:
        return tableValue<MuteStateRows>(query, body);
    case StatusQuery::LampMode:
        return tableValue<LampModeRows>(query, body);
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
