#include "engine/protocol/StatusDecoder.h"

#include "engine/protocol/NumberReading.h"
#include "engine/protocol/PowerStates.h"
#include "engine/protocol/ReplyKeyTables.h"
#include "engine/protocol/TrafficText.h"

#include <QStringList>

#include <algorithm>
#include <span>

namespace orva {

namespace {

using namespace keytables;

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
    KeyTable table = {};
};

// In the order the queries are tried (that of StatusQuery); at most one can
// match a frame. The codes are the vocabulary's.
const Query Queries[] = {
    {StatusQuery::PowerState, Decoding::Table, PowerStateTable},
    {StatusQuery::InputSource, Decoding::Table, InputSourceTable},
    {StatusQuery::Orientation, Decoding::Table, OrientationTable},
    {StatusQuery::LampHours, Decoding::LampHours},
    {StatusQuery::Temperatures, Decoding::Temperatures},
    {StatusQuery::MuteState, Decoding::Table, MuteStateTable},
    {StatusQuery::ModelName, Decoding::WholeLine},
    {StatusQuery::AirPressure, Decoding::Pressure},
    {StatusQuery::LampMode, Decoding::Table, LampModeTable},
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

} // namespace orva
