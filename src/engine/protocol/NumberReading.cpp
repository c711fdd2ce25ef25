#include "engine/protocol/NumberReading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace orva {

namespace {

// Walks a text, skipping blanks, tabs and line feeds before every look.
class Cursor
{
public:
    explicit Cursor(QStringView text)
        : m_text(text)
    {
    }

    // The next character that is not skipped, or 0 at the end.
    char16_t peek()
    {
        while (m_pos < m_text.size()) {
            const char16_t c = m_text[m_pos].unicode();
            if (c != u' ' && c != u'\t' && c != u'\n')
                return c;
            ++m_pos;
        }
        return 0;
    }
    void take() { ++m_pos; }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

bool isDecimalDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Value of c as a digit of the given base (8 or 16), or -1.
int digitValue(char16_t c, int base)
{
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    return value < base ? value : -1;
}

// After "&H" or "&O": the digits of the base, kept to 16 or 32 bits.
std::optional<double> readBased(Cursor& in, int base)
{
    constexpr std::uint64_t Max32 = 0xFFFFFFFFu;
    std::uint64_t value = 0;
    bool tooLong = false;
    for (int d = digitValue(in.peek(), base); d >= 0; d = digitValue(in.peek(), base)) {
        in.take();
        // Once beyond 32 bits the value stays too long; the remaining digits
        // are only passed over.
        if (!tooLong) {
            value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
            tooLong = value > Max32;
        }
    }
    if (tooLong)
        return std::nullopt;
    if (value <= 0xFFFFu)
        return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

// Exponents beyond this are all alike for a double; clamping keeps the
// arithmetic below free of overflow.
constexpr std::int64_t ExponentClamp = 1'000'000'000;

std::optional<double> readDecimal(Cursor& in)
{
    bool negative = false;
    if (const char16_t c = in.peek(); c == u'+' || c == u'-') {
        negative = c == u'-';
        in.take();
    }

    std::string whole;
    std::string fraction;
    while (isDecimalDigit(in.peek())) {
        whole.push_back(static_cast<char>(in.peek()));
        in.take();
    }
    if (in.peek() == u'.') {
        in.take();
        while (isDecimalDigit(in.peek())) {
            fraction.push_back(static_cast<char>(in.peek()));
            in.take();
        }
    }
    if (whole.empty() && fraction.empty())
        return 0.0;

    std::int64_t exponent = 0;
    if (const char16_t c = in.peek(); c == u'E' || c == u'e' || c == u'D' || c == u'd') {
        in.take();
        bool negativeExponent = false;
        if (const char16_t s = in.peek(); s == u'+' || s == u'-') {
            negativeExponent = s == u'-';
            in.take();
        }
        while (isDecimalDigit(in.peek())) {
            exponent = std::min(exponent * 10 + (in.peek() - u'0'), ExponentClamp);
            in.take();
        }
        if (negativeExponent)
            exponent = -exponent;
    }

    // Decimal magnitude: the value lies in [10^(magnitude-1), 10^magnitude).
    const auto firstWhole = whole.find_first_not_of('0');
    std::int64_t magnitude = 0;
    if (firstWhole != std::string::npos) {
        whole.erase(0, firstWhole);
        magnitude = static_cast<std::int64_t>(whole.size()) + exponent;
    } else {
        const auto firstFraction = fraction.find_first_not_of('0');
        if (firstFraction == std::string::npos)
            return 0.0; // all digits zero, whatever the exponent
        magnitude = exponent - static_cast<std::int64_t>(firstFraction);
        whole.clear();
    }
    // Far beyond the largest double, or far below the smallest: decided here
    // so that the conversion below is only asked about representable sizes.
    if (magnitude > 400)
        return std::nullopt;
    if (magnitude < -400)
        return 0.0;

    std::string number = whole.empty() ? std::string("0") : std::move(whole);
    number.push_back('.');
    number += fraction.empty() ? std::string("0") : fraction;
    number.push_back('e');
    number += std::to_string(exponent);

    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        if (magnitude > 0)
            return std::nullopt;
        value = 0.0; // below the smallest double
    } else if (error != std::errc()) {
        return 0.0; // cannot happen for the text built above
    }
    return negative ? -value : value;
}

} // namespace

std::optional<double> readNumber(QStringView text)
{
    Cursor in(text);
    if (in.peek() == u'&') {
        in.take();
        const char16_t kind = in.peek();
        if (kind == u'H' || kind == u'h') {
            in.take();
            return readBased(in, 16);
        }
        if (kind == u'O' || kind == u'o') {
            in.take();
            return readBased(in, 8);
        }
        return 0.0; // "&" and anything else: no digits
    }
    return readDecimal(in);
}

double roundHalfEven(double x)
{
    if (!std::isfinite(x))
        return x;
    const double below = std::floor(x);
    const double rest = x - below; // exact for every double
    if (rest < 0.5)
        return below;
    if (rest > 0.5)
        return below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::optional<qint16> pressureHpa(double reading)
{
    const double rounded = roundHalfEven(reading);
    if (!std::isfinite(rounded) || rounded > PressureReadingLimit || rounded < -PressureReadingLimit)
        return std::nullopt;
    const auto value = static_cast<qint16>(rounded);
    const auto m = static_cast<qint16>(value * 5); // fits: |value| <= 6553
    const double p = ((m / 1024.0) - 0.204) / 0.00459 + 150.0;
    // |m| <= 32765 keeps p within about -7000..7300.
    return static_cast<qint16>(roundHalfEven(p));
}

} // namespace orva
