// Reads arbitrary texts as numbers, the way the pressure reply is read, and
// converts the readings to hPa. Checks the reading against the C library
// where the text is a plain decimal number, that blanks never matter, and
// that rounding and the pressure conversion keep their promises.
#include "FuzzSupport.h"

#include "engine/protocol/NumberReading.h"

#include <cerrno>
#include <cmath>
#include <string>

using namespace orva;

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The leading decimal number of a text without blanks, in the C library's
// spelling (exponent letter 'e'), and whether it has mantissa digits. Empty
// when the text starts with "&" (hexadecimal and octal are not C's).
std::string leadingDecimal(QStringView text, bool& hasDigits)
{
    std::string out;
    qsizetype i = 0;
    hasDigits = false;
    auto take = [&](QChar c) {
        out.push_back(char(c.unicode()));
        ++i;
    };
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        take(text[i]);
    while (i < text.size() && isDigit(text[i])) {
        hasDigits = true;
        take(text[i]);
    }
    if (i < text.size() && text[i] == u'.') {
        take(text[i]);
        while (i < text.size() && isDigit(text[i])) {
            hasDigits = true;
            take(text[i]);
        }
    }
    if (i < text.size() && QStringView(u"EeDd").contains(text[i])) {
        std::string exponent = "e";
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            exponent.push_back(char(text[j++].unicode()));
        const qsizetype firstDigit = j;
        while (j < text.size() && isDigit(text[j]))
            exponent.push_back(char(text[j++].unicode()));
        if (j > firstDigit)
            out += exponent;
    }
    return out;
}

void checkRounding(double x)
{
    const double r = roundHalfEven(x);
    FUZZ_CHECK(r == std::floor(r));
    FUZZ_CHECK(std::fabs(r - x) <= 0.5);
    if (std::fabs(r - x) == 0.5)
        FUZZ_CHECK(std::fmod(r, 2.0) == 0.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString text = orva::fuzz::consumeRemainingText(in);
    const std::optional<double> reading = readNumber(text);
    if (reading)
        FUZZ_CHECK(std::isfinite(*reading));

    // Blanks, tabs and line feeds are skipped wherever they stand.
    QString packed = text;
    packed.removeIf(isBlank);
    FUZZ_CHECK(readNumber(packed) == reading);

    // A plain decimal number reads as the C library reads it; beyond the
    // range of a double it cannot be held.
    if (!packed.startsWith(u'&')) {
        bool hasDigits = false;
        const std::string decimal = leadingDecimal(packed, hasDigits);
        if (!hasDigits) {
            FUZZ_CHECK(reading == 0.0);
        } else {
            errno = 0;
            const double expected = std::strtod(decimal.c_str(), nullptr);
            if (std::isinf(expected))
                FUZZ_CHECK(!reading);
            else if (std::fpclassify(expected) == FP_SUBNORMAL)
                FUZZ_CHECK(reading && (*reading == expected || *reading == 0.0));
            else
                FUZZ_CHECK(reading == expected);
        }
    }

    if (!reading)
        return 0;
    checkRounding(*reading);

    // The pressure conversion takes rounded readings within its limit and
    // never goes down as the reading goes up.
    const double rounded = roundHalfEven(*reading);
    const std::optional<qint16> hpa = pressureHpa(*reading);
    FUZZ_CHECK(hpa.has_value() == (std::fabs(rounded) <= PressureReadingLimit));
    if (hpa) {
        FUZZ_CHECK(pressureHpa(rounded) == hpa);
        if (const auto next = pressureHpa(rounded + 1.0))
            FUZZ_CHECK(*next >= *hpa);
    }
    return 0;
}
