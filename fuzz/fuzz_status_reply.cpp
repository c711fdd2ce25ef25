// The decoding step as the receive path runs it: after the frame of one of
// the nine status queries (with the empty prefix the panel uses), arbitrary
// reply bytes from the line are rendered and the rendered line decoded.
// Checks what each query promises for any reply.
#include "FuzzSupport.h"

#include "engine/line/SerialLine.h"
#include "engine/protocol/NumberReading.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"

#include <QRegularExpression>

#include <array>

using namespace orva;

namespace {

const std::array<const char*, 9> Codes{"CR0", "CR1", "CR4", "CR3", "CR6", "CRA", "CR9", "CR PRESSURE", "CR7"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const QLatin1String code(Codes[in.ConsumeIntegralInRange<std::size_t>(0, Codes.size() - 1)]);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const QString reply = SerialLine::fromLineBytes(QByteArray(bytes.data(), qsizetype(bytes.size())));
    const QString rendered = renderTraffic(reply);

    const std::optional<StatusLine> line = decodeStatus(code + QChar(13), QString(), rendered);
    const std::optional<QString> status = line ? std::optional(line->text) : std::nullopt;

    if (code == QLatin1String("CR9")) {
        FUZZ_CHECK(status == rendered);
    } else if (code == QLatin1String("CR3")) {
        FUZZ_CHECK(status == rendered.left(38) + QLatin1String(" Hour Use"));
    } else if (code == QLatin1String("CR6")) {
        FUZZ_CHECK(status && status->startsWith(QLatin1String("  S1=")));
    } else if (code == QLatin1String("CR PRESSURE")) {
        FUZZ_CHECK(line);
        if (line->text == PressureOutOfRange)
            FUZZ_CHECK(!line->pressure);
        else
            FUZZ_CHECK(line->pressure && line->text == QString::number(*line->pressure) + QLatin1String(" hPa"));
        // A reply of up to four digits and a carriage return reads as the
        // number the digits spell.
        static const QRegularExpression digits(QStringLiteral("^([0-9]{1,4})\\r$"));
        if (const QRegularExpressionMatch m = digits.match(reply); m.hasMatch()) {
            const std::optional<qint16> hpa = pressureHpa(m.captured(1).toInt());
            FUZZ_CHECK(*status == (hpa ? QString::number(*hpa) + QLatin1String(" hPa") : PressureOutOfRange));
        }
    } else {
        // A key of the table is read from the line's first four characters,
        // which the reply's first four characters decide whatever they are.
        FUZZ_CHECK(decodeStatus(code + QChar(13), QString(), renderTraffic(reply.left(4))) == line);
        FUZZ_CHECK(!status || (!status->isEmpty() && status->size() < 64));
    }
    if (code != QLatin1String("CR PRESSURE"))
        FUZZ_CHECK(!line || !line->pressure);
    return 0;
}
