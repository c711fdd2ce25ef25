// Decodes arbitrary receive lines against arbitrary, query-like and exact
// query frames, with arbitrary prefixes, and checks what the decoding
// promises: only the nine exact query frames decode, each reads only the
// part of the line it is meant to, and only the pressure query gives a
// pressure reading.
#include "FuzzSupport.h"

#include "engine/protocol/StatusDecoder.h"

#include <array>

using orva::decodeStatus;

namespace {

enum class Reads { Key, LampHours, Temperatures, WholeLine, Pressure };

struct Query
{
    const char* code;
    Reads reads;
    qsizetype length; // characters of the line the decoding depends on at most
};

const std::array<Query, 9> Queries{{
    {"CR0", Reads::Key, 4},
    {"CR1", Reads::Key, 2},
    {"CR4", Reads::Key, 4},
    {"CR3", Reads::LampHours, 38},
    {"CR6", Reads::Temperatures, 34},
    {"CRA", Reads::Key, 4},
    {"CR9", Reads::WholeLine, -1},
    {"CR PRESSURE", Reads::Pressure, -1},
    {"CR7", Reads::Key, 4},
}};

const Query* queryOf(const QString& outgoing, const QString& prefix)
{
    for (const Query& q : Queries)
        if (outgoing == prefix + QLatin1String(q.code) + QChar(13))
            return &q;
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString prefix = in.ConsumeBool() ? QString() : orva::fuzz::consumeText(in, 8);
    QString outgoing;
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: // anything
        outgoing = orva::fuzz::consumeText(in, 24);
        break;
    case 1: // an exact query frame
        outgoing = prefix + QLatin1String(Queries[in.ConsumeIntegralInRange<std::size_t>(0, 8)].code) + QChar(13);
        break;
    default: // a query code with something around it
        outgoing = orva::fuzz::consumeText(in, 4) + prefix
            + QLatin1String(Queries[in.ConsumeIntegralInRange<std::size_t>(0, 8)].code)
            + orva::fuzz::consumeText(in, 4);
        break;
    }
    const QString rendered = orva::fuzz::consumeRemainingText(in);

    const std::optional<orva::StatusLine> line = decodeStatus(outgoing, prefix, rendered);
    const std::optional<QString> status = line ? std::optional(line->text) : std::nullopt;
    const Query* query = queryOf(outgoing, prefix);

    if (!query) {
        FUZZ_CHECK(!line);
        return 0;
    }
    if (query->reads != Reads::Pressure)
        FUZZ_CHECK(!line || !line->pressure);
    if (query->length > 0)
        FUZZ_CHECK(decodeStatus(outgoing, prefix, rendered.left(query->length)) == line);
    switch (query->reads) {
    case Reads::Key:
        FUZZ_CHECK(!status || !status->isEmpty());
        break;
    case Reads::LampHours:
        FUZZ_CHECK(status == rendered.left(38) + QLatin1String(" Hour Use"));
        break;
    case Reads::Temperatures:
        FUZZ_CHECK(status && status->startsWith(QLatin1String("  S1=")) && status->endsWith(QLatin1String(" C")));
        break;
    case Reads::WholeLine:
        FUZZ_CHECK(status == rendered);
        break;
    case Reads::Pressure:
        FUZZ_CHECK(line);
        if (line->text == orva::PressureOutOfRange)
            FUZZ_CHECK(!line->pressure);
        else
            FUZZ_CHECK(line->pressure && line->text == QString::number(*line->pressure) + QLatin1String(" hPa"));
        break;
    }
    return 0;
}
