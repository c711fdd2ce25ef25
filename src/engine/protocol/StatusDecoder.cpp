#include "engine/protocol/StatusDecoder.h"

#include "engine/protocol/NumberReading.h"

#include <span>

namespace orva {

namespace {

// One row of a key table: the key read from the rendered reply and the
// status text it stands for. Keys and texts are exact, blanks included.
struct Row
{
    const char* key;
    const char* text;
};

constexpr Row PowerState[] = {
    {" 0 0", " Power ON"},
    {" 8 0", " Stand by"},
    {" 4 0", " Count down"},
    {" 2 0", " Cooling down"},
    {" 1 0", " Power Fail"},
    {" 0 8", " Temperature Warning"},
    {" 0 2", " NO Key input "},
    {" 0 4", " Lamp OFF by PWR Management"},
    {" 2 8", " Temperature Warning & cooling down"},
    {" 2 4", "Cooling down  PWR Management"},
    {" 8 8", " Temperature Warning and recoverd"},
    {" 2 1", " Cooling down (All Lamp FAIL)"},
    {" 8 1", " Cooling down & sutandby (All Lamp FAIL)"},
};

constexpr Row InputSource[] = {
    {" 1", " Computer 1"},
    {" 2", " Computer 2"},
    {" 3", " Video"},
    {" 4", " Input mode 4"},
};

constexpr Row PictureOrientation[] = {
    {" 1 1", " Normally"},
    {" 1 0", " Top/Bottom reversal"},
    {" 0 1", " Left/Right reversal"},
    {" 0 0", " Top/Bottom , Left/Right reversal"},
};

constexpr Row MuteState[] = {
    {" 0 0", " Video & Audio mute OFF"},
    {" 0 1", " Video mute ON"},
    {" 0 2", " Audio mute ON"},
    {" 0 3", " Video & Audio mute ON"},
    {" 8 0", " No signal"},
    {" F F", " Stand by"},
};

constexpr Row LampMode[] = {
    {" 0 0", " LAMP OFF"},
    {" 0 1", " LAMP ON"},
    {" 0 2", " No2 ON  : 2 Lamp mode"},
    {" 0 3", " No1,2 ON  : 2 Lamp mode"},
    {" 1 0", " All OFF : 1 Lamp mode(No1 USE)"},
    {" 1 1", " No1 ON  : 1 Lamp mode(No1 USE)"},
    {" 2 0", " All OFF : 1 Lamp mode(No2 USE)"},
    {" 2 2", " No2 ON  : 1 Lamp mode(No2 USE)"},
};

enum class Decoding {
    Table,        // look first(R, keyLength) up in rows
    LampHours,    // first(R, 38) and " Hour Use"
    Temperatures, // three pieces of R between fixed texts
    WholeLine,    // R as it stands
    Pressure,     // R read as a number and converted to hPa
};

struct Query
{
    const char* code;
    Decoding decoding;
    qsizetype keyLength = 0;
    std::span<const Row> rows = {};
};

// In the order the queries are tried (that of StatusQuery); at most one can
// match a frame.
const Query Queries[] = {
    {"CR0", Decoding::Table, 4, PowerState},
    {"CR1", Decoding::Table, 2, InputSource},
    {"CR4", Decoding::Table, 4, PictureOrientation},
    {"CR3", Decoding::LampHours},
    {"CR6", Decoding::Temperatures},
    {"CRA", Decoding::Table, 4, MuteState},
    {"CR9", Decoding::WholeLine},
    {"CR PRESSURE", Decoding::Pressure},
    {"CR7", Decoding::Table, 4, LampMode},
};

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
bool isFrameOf(const QString& outgoing, const QString& prefix, const char* code)
{
    const QLatin1String query(code);
    if (outgoing.size() != prefix.size() + query.size() + 1)
        return false;
    const QStringView frame(outgoing);
    return frame.startsWith(prefix) && frame.sliced(prefix.size(), query.size()) == query && frame.back() == u'\r';
}

std::optional<QString> lookUp(std::span<const Row> rows, const QString& key)
{
    for (const Row& row : rows) {
        if (key == QLatin1String(row.key))
            return QString::fromLatin1(row.text);
    }
    return std::nullopt;
}

QString temperatures(const QString& r)
{
    return QStringLiteral("  S1=") + first(r, 10) + QStringLiteral(" C  ,   S2= ") + middle(r, 15, 8)
        + QStringLiteral(" C , S3=") + middle(r, 25, 10) + QStringLiteral(" C");
}

// A reading outside what the conversion can handle (a value that does not
// fit, a huge exponent, a rounded reading beyond -6553..6553) shows
// PressureOutOfRange and leaves pressureValue at the last good reading, so
// the status line never shows a wrapped-around number.
QString pressure(const QString& r, qint16& pressureValue)
{
    const std::optional<double> reading = readNumber(r);
    const std::optional<qint16> hpa = reading ? pressureHpa(*reading) : std::nullopt;
    if (!hpa)
        return PressureOutOfRange;
    pressureValue = *hpa;
    return QString::number(pressureValue) + QStringLiteral(" hPa");
}

} // namespace

QLatin1String statusQueryCode(StatusQuery query)
{
    static_assert(sizeof(Queries) / sizeof(Queries[0]) == std::size_t(StatusQuery::LampMode) + 1);
    return QLatin1String(Queries[std::size_t(query)].code);
}

std::optional<QString> decodeStatus(
    const QString& outgoing, const QString& prefix, const QString& rendered, qint16& pressureValue)
{
    for (const Query& query : Queries) {
        if (!isFrameOf(outgoing, prefix, query.code))
            continue;
        switch (query.decoding) {
        case Decoding::Table:
            return lookUp(query.rows, first(rendered, query.keyLength));
        case Decoding::LampHours:
            return first(rendered, 38) + QStringLiteral(" Hour Use");
        case Decoding::Temperatures:
            return temperatures(rendered);
        case Decoding::WholeLine:
            return rendered;
        case Decoding::Pressure:
            return pressure(rendered, pressureValue);
        }
    }
    return std::nullopt;
}

} // namespace orva
