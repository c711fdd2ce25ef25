#include "engine/protocol/NumberReading.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <optional>

using namespace orva;

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(std::optional<qint16>)

namespace {
const std::optional<double> NoValue;
const std::optional<qint16> OutOfRange;

QString repeated(char c, int count)
{
    return QString(count, QLatin1Char(c));
}
} // namespace

// The numeric reading of the air-pressure reply and its conversion to hPa.
class NumberReadingTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<double>>("value");

        auto row = [](const char* name, const QString& text, std::optional<double> value) {
            QTest::newRow(name) << text << value;
        };
        row("empty", QString(), 0.0);
        row("garbage", QStringLiteral("abc"), 0.0);
        row("blanks only", QStringLiteral(" \t\n "), 0.0);
        row("rendered reply", QStringLiteral(" 8 5 3 CR "), 853.0);
        row("blanks, tabs and line feeds inside digits", QStringLiteral("1 2\t3\n4"), 1234.0);
        row("stops at the first other character", QStringLiteral("12x34"), 12.0);
        row("plus sign", QStringLiteral("+7"), 7.0);
        row("minus sign", QStringLiteral("-7"), -7.0);
        row("blank after the sign", QStringLiteral(" - 1 2"), -12.0);
        row("two signs give no digits", QStringLiteral("--5"), 0.0);
        row("decimals", QStringLiteral("3.25"), 3.25);
        row("rendered decimals", QStringLiteral(" 2 . 7 5 CR "), 2.75);
        row("leading point", QStringLiteral(".5"), 0.5);
        row("trailing point", QStringLiteral("7."), 7.0);
        row("second point stops", QStringLiteral("1.2.3"), 1.2);
        row("point alone", QStringLiteral("."), 0.0);
        row("exponent E", QStringLiteral("1.5E3"), 1500.0);
        row("exponent e", QStringLiteral("2e2"), 200.0);
        row("exponent D negative", QStringLiteral("25D-1"), 2.5);
        row("exponent d with plus", QStringLiteral("1d+2"), 100.0);
        row("blanks inside the exponent", QStringLiteral("1 E - 2"), 0.01);
        row("exponent without digits", QStringLiteral("12E"), 12.0);
        row("exponent without mantissa", QStringLiteral("E5"), 0.0);
        row("hexadecimal", QStringLiteral("&H1F"), 31.0);
        row("hexadecimal lower case", QStringLiteral("&hff"), 255.0);
        row("octal", QStringLiteral("&O17"), 15.0);
        row("octal lower case", QStringLiteral("&o17"), 15.0);
        row("blanks inside a hexadecimal", QStringLiteral(" & H 1 F"), 31.0);
        row("hexadecimal stops at G", QStringLiteral("&H1G2"), 1.0);
        row("octal stops at 8", QStringLiteral("&O178"), 15.0);
        row("hexadecimal without digits", QStringLiteral("&H"), 0.0);
        row("ampersand and another letter", QStringLiteral("&X12"), 0.0);
        row("sign before a hexadecimal", QStringLiteral("-&H1F"), 0.0);
        row("&H7FFF is the largest 16-bit value", QStringLiteral("&H7FFF"), 32767.0);
        row("&H8000 is 16-bit negative", QStringLiteral("&H8000"), -32768.0);
        row("&HFFFF is -1", QStringLiteral("&HFFFF"), -1.0);
        row("&O177777 is -1", QStringLiteral("&O177777"), -1.0);
        row("&H10000 is a 32-bit value", QStringLiteral("&H10000"), 65536.0);
        row("&H80000000 is 32-bit negative", QStringLiteral("&H80000000"), -2147483648.0);
        row("&HFFFFFFFF is -1", QStringLiteral("&HFFFFFFFF"), -1.0);
        row("hexadecimal beyond 32 bits", QStringLiteral("&H100000000"), NoValue);
        row("hexadecimal of thousands of digits", QStringLiteral("&H") + repeated('F', 5000), NoValue);
        row("hexadecimal behind thousands of zeros", QStringLiteral("&H") + repeated('0', 5000) + QLatin1Char('1'),
            1.0);
        row("largest double range", QStringLiteral("1.5E308"), 1.5e308);
        row("beyond the double range", QStringLiteral("1E309"), NoValue);
        row("below the smallest double", QStringLiteral("1E-350"), 0.0);
        row("huge exponent", QStringLiteral("1E99999999999999999999"), NoValue);
        row("huge negative exponent", QStringLiteral("-1E-99999999999999999999"), 0.0);
        row("zero with a huge exponent", QStringLiteral("0E99999999999999999999"), 0.0);
        row("thousands of digits", QLatin1Char('1') + repeated('0', 5000), NoValue);
        row("thousands of digits scaled back", QLatin1Char('1') + repeated('0', 5000) + QStringLiteral("E-4999"), 10.0);
        row("thousands of fraction zeros", QStringLiteral("0.") + repeated('0', 5000) + QLatin1Char('1'), 0.0);
        row("thousands of blanks", repeated(' ', 5000) + QStringLiteral("42"), 42.0);
    }
    void read()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<double>, value);
        const std::optional<double> got = readNumber(text);
        QCOMPARE(got.has_value(), value.has_value());
        if (value)
            QCOMPARE(*got, *value);
    }

    // Digits beyond double precision round like any decimal number would:
    // the value a double holds decides, ties included.
    void manyDigitsKeepTheirValue()
    {
        const QString third = QStringLiteral("0.") + repeated('3', 3000);
        QCOMPARE(*readNumber(third), 1.0 / 3.0);
        const QString justAboveHalf = QStringLiteral("2.5") + repeated('0', 3000) + QLatin1Char('1');
        QCOMPARE(*readNumber(justAboveHalf), 2.5); // beyond double precision
    }

    void roundHalfToEven_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("rounded");

        QTest::newRow("2.5 down to even") << 2.5 << 2.0;
        QTest::newRow("3.5 up to even") << 3.5 << 4.0;
        QTest::newRow("-2.5 up to even") << -2.5 << -2.0;
        QTest::newRow("-3.5 down to even") << -3.5 << -4.0;
        QTest::newRow("0.5 to zero") << 0.5 << 0.0;
        QTest::newRow("below the tie") << 2.4999999 << 2.0;
        QTest::newRow("above the tie") << 2.5000001 << 3.0;
        QTest::newRow("negative above the tie") << -2.5000001 << -3.0;
        QTest::newRow("limit tie goes out") << 6553.5 << 6554.0;
        QTest::newRow("integer stays") << 1e300 << 1e300;
    }
    void roundHalfToEven()
    {
        QFETCH(double, x);
        QFETCH(double, rounded);
        QCOMPARE(roundHalfEven(x), rounded);
    }

    void pressure_data()
    {
        QTest::addColumn<double>("reading");
        QTest::addColumn<std::optional<qint16>>("hpa");

        QTest::newRow("853") << 853.0 << std::optional<qint16>(1013);
        QTest::newRow("0") << 0.0 << std::optional<qint16>(106);
        QTest::newRow("100") << 100.0 << std::optional<qint16>(212);
        QTest::newRow("1000") << 1000.0 << std::optional<qint16>(1169);
        QTest::newRow("reading tie 852.5 rounds to 852") << 852.5 << std::optional<qint16>(1012);
        QTest::newRow("reading tie 853.5 rounds to 854") << 853.5 << std::optional<qint16>(1014);
        QTest::newRow("negative pressure") << -100.0 << std::optional<qint16>(-1);
        QTest::newRow("upper limit") << 6553.0 << std::optional<qint16>(7077);
        QTest::newRow("lower limit") << -6553.0 << std::optional<qint16>(-6865);
        QTest::newRow("just inside the upper limit") << 6553.49 << std::optional<qint16>(7077);
        QTest::newRow("tie at the upper limit rounds out") << 6553.5 << OutOfRange;
        QTest::newRow("tie at the lower limit rounds out") << -6553.5 << OutOfRange;
        QTest::newRow("above the limit") << 6554.0 << OutOfRange;
        QTest::newRow("below the limit") << -6554.0 << OutOfRange;
        QTest::newRow("largest 16-bit value") << 32767.0 << OutOfRange;
        QTest::newRow("beyond 16 bits") << 70000.0 << OutOfRange;
        QTest::newRow("huge") << 1e300 << OutOfRange;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << OutOfRange;
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << OutOfRange;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << OutOfRange;
    }
    void pressure()
    {
        QFETCH(double, reading);
        QFETCH(std::optional<qint16>, hpa);
        const std::optional<qint16> got = pressureHpa(reading);
        QCOMPARE(got.has_value(), hpa.has_value());
        if (hpa)
            QCOMPARE(*got, *hpa);
    }
};

QTEST_APPLESS_MAIN(NumberReadingTest)
#include "tst_number_reading.moc"
