#include "engine/protocol/PowerStates.h"
#include "engine/protocol/ReplyRules.h"
#include "engine/protocol/ReplyValues.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"

#include <QTest>

#include <type_traits>
#include <variant>

using namespace orva;

namespace {
// What the decoding step of the receive path sees after the frame of `code`
// was sent and `reply` has arrived: the rendered reply. A null QString stands
// for "nothing decoded".
std::optional<StatusLine> decodeLine(const QString& code, const QString& reply)
{
    return decodeStatus(code + QChar(13), QString(), renderTraffic(reply));
}
QString decode(const QString& code, const QString& reply)
{
    return decodeLine(code, reply).value_or(StatusLine()).text;
}

// The typed value programs get for the body of a reply, as "kind number"
// (a power state with its phase and fault).
QString typed(const QString& code, const QString& reply)
{
    const QString body = reply.left(replyEndIndex(reply));
    const ReplyValue value = decodeReply(*commandEntry(*commandOfCode(code)).decoding, body);
    if (const auto* t = std::get_if<Temperatures>(&value))
        return QStringLiteral("celsius %1 %2 %3").arg(t->celsius[0]).arg(t->celsius[1]).arg(t->celsius[2]);
    if (const auto* model = std::get_if<ModelName>(&value))
        return QStringLiteral("model ") + model->text;
    if (const auto* power = std::get_if<PowerState>(&value)) {
        return QStringLiteral("1 %1 %2 %3")
            .arg(int(*power))
            .arg(powerPhaseName(powerPhase(*power)), powerFaultName(powerFault(*power)));
    }
    const qint64 number = std::visit(
        [](const auto& v) -> qint64 {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_enum_v<V>)
                return qint64(v);
            else if constexpr (std::is_same_v<V, LampHours>)
                return v.hours;
            else if constexpr (std::is_same_v<V, AirPressure>)
                return v.hectopascals;
            else
                return -1;
        },
        value);
    return QString::number(int(value.index())) + u' ' + QString::number(number);
}
} // namespace

class StatusDecoderTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A sample of every table and every built text.
    void decodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("status");
        // The typed value: the alternative's index and its number; empty
        // when the row does not check it.
        QTest::addColumn<QString>("value");

        auto row
            = [](const char* name, const char* code, const char* reply, const QString& status, const char* value = "") {
                  QTest::newRow(name) << QString::fromLatin1(code) << QString::fromLatin1(reply) << status
                                      << QString::fromLatin1(value);
              };
        const QString nothing;

        row("CR0 power on", "CR0", "00\r", QStringLiteral(" Power ON"), "1 0 on none");
        row("CR0 stand by", "CR0", "80\r", QStringLiteral(" Stand by"));
        row("CR0 no key input keeps trailing blank", "CR0", "02\r", QStringLiteral(" NO Key input "));
        row("CR0 text without leading blank", "CR0", "24\r", QStringLiteral("Cooling down  PWR Management"));
        row("CR0 last row", "CR0", "81\r", QStringLiteral(" Cooling down & sutandby (All Lamp FAIL)"),
            "1 12 standby lamp_failure");
        row("CR0 cooling down after a temperature fault", "CR0", "28\r",
            QStringLiteral(" Temperature Warning & cooling down"), "1 8 cooling temperature_error");
        row("CR0 warning with the lamp lit", "CR0", "88\r", QStringLiteral(" Temperature Warning and recoverd"),
            "1 10 on temperature_warning");
        row("CR0 power failure tells no phase", "CR0", "10\r", QStringLiteral(" Power Fail"),
            "1 4 unknown power_failure");
        row("CR0 count down is warming", "CR0", "40\r", QStringLiteral(" Count down"), "1 2 warming none");
        row("CR0 unknown key", "CR0", "99\r", nothing, "0 -1");
        row("CR0 key of one character", "CR0", "0", nothing);
        row("CR0 key needs no carriage return", "CR0", "40", QStringLiteral(" Count down"));

        row("CR1 computer 1", "CR1", "1\r", QStringLiteral(" Computer 1"));
        row("CR1 key is the first character only", "CR1", "12\r", QStringLiteral(" Computer 1"), "2 0");
        row("CR1 input mode 4", "CR1", "4", QStringLiteral(" Input mode 4"));
        row("CR1 unknown key", "CR1", "5\r", nothing);

        row("CR4 normal", "CR4", "11\r", QStringLiteral(" Normally"));
        row("CR4 both reversed", "CR4", "00\r", QStringLiteral(" Top/Bottom , Left/Right reversal"), "3 3");
        row("CR4 unknown key", "CR4", "22\r", nothing);

        row("CR3 lamp hours", "CR3", "01234\r", QStringLiteral(" 0 1 2 3 4 CR  Hour Use"), "4 1234");
        row("CR3 cut after 38 positions", "CR3", "0123456789012345678901\r",
            QStringLiteral(" 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 Hour Use"));
        row("CR3 partial reply", "CR3", "0", QStringLiteral(" 0  Hour Use"));

        row("CR6 three temperatures", "CR6", "+25.3,+30.1,+41.7\r",
            QStringLiteral("  S1= + 2 5 . 3 C  ,   S2=  3 0 . 1 C , S3= + 4 1 . 7 C"), "celsius 25.3 30.1 41.7");
        row("CR6 exponent is no temperature", "CR6", "1e2,20,30\r",
            QStringLiteral("  S1= 1 e 2 , 2 C  ,   S2=  3 0 CR  C , S3= C"), "0 -1");
        row("CR6 short reply", "CR6", "25\r", QStringLiteral("  S1= 2 5 CR  C  ,   S2=  C , S3= C"));

        row("CRA mute off", "CRA", "00\r", QStringLiteral(" Video & Audio mute OFF"));
        row("CRA stand by", "CRA", "FF\r", QStringLiteral(" Stand by"), "6 5");
        row("CRA keys are case-sensitive", "CRA", "ff\r", nothing);

        row("CR9 whole receive line", "CR9", "Hi\x06\r", QStringLiteral(" H i ACK CR "), "model Hi");
        row("CR9 empty reply", "CR9", "", QStringLiteral(" "));
        row("CR9 line noise is no name", "CR9", "\x07TK600\r", QStringLiteral(" ? T K 6 0 0 CR "), "0 -1");
        row("CR9 longer than a name", "CR9", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456\r",
            QStringLiteral(" A B C D E F G H I J K L M N O P Q R S T U V W X Y Z 0 1 2 3 4 5 6 CR "), "0 -1");

        row("CR PRESSURE", "CR PRESSURE", "853\r", QStringLiteral("1013 hPa"), "8 1013");
        row("CR PRESSURE negative without blank", "CR PRESSURE", "-100\r", QStringLiteral("-1 hPa"));
        row("CR PRESSURE no digits", "CR PRESSURE", "OK\r", QStringLiteral("106 hPa"));
        row("CR PRESSURE out of range", "CR PRESSURE", "6554\r", PressureOutOfRange, "0 -1");
        row("CR PRESSURE huge exponent", "CR PRESSURE", "1E999999\r", PressureOutOfRange);

        row("CR7 lamp on", "CR7", "01\r", QStringLiteral(" LAMP ON"));
        row("CR7 two lamp mode", "CR7", "02\r", QStringLiteral(" No2 ON  : 2 Lamp mode"));
        row("CR7 last row", "CR7", "22\r", QStringLiteral(" No2 ON  : 1 Lamp mode(No2 USE)"), "9 7");
        row("CR7 unknown key", "CR7", "12\r", nothing);

        row("lower-case query", "cr0", "00\r", nothing);
        row("query with a trailing blank", "CR0 ", "00\r", nothing);
        row("query with a leading blank", " CR0", "00\r", nothing);
        row("lower-case pressure query", "CR pressure", "853\r", nothing);
        row("command that is no query", "C00", "00\r", nothing);
        row("query with two carriage returns", "CR0\r", "00\r", nothing);
    }
    void decodes()
    {
        QFETCH(QString, code);
        QFETCH(QString, reply);
        QFETCH(QString, status);
        const QString got = decode(code, reply);
        QCOMPARE(got.isNull(), status.isNull());
        QCOMPARE(got, status);
        QFETCH(QString, value);
        if (!value.isEmpty())
            QCOMPARE(typed(code, reply), value);
    }

    void frameMustEndInCarriageReturn()
    {
        QVERIFY(!decodeStatus(QStringLiteral("CR0\n"), QString(), QStringLiteral(" 0 0 CR ")));
        QVERIFY(!decodeStatus(QStringLiteral("CR0"), QString(), QStringLiteral(" 0 0 CR ")));
    }

    void prefixIsPartOfTheFrame()
    {
        const QString prefix = QStringLiteral("@1");
        QCOMPARE(decodeStatus(QStringLiteral("@1CR0\r"), prefix, QStringLiteral(" 0 0 CR ")),
            (StatusLine{QStringLiteral(" Power ON"), std::nullopt}));
        QVERIFY(!decodeStatus(QStringLiteral("CR0\r"), prefix, QStringLiteral(" 0 0 CR ")));
        QVERIFY(!decodeStatus(QStringLiteral("@2CR0\r"), prefix, QStringLiteral(" 0 0 CR ")));
    }

    // Only a reading the conversion can handle gives a pressure.
    void pressureFromGoodReadingsOnly()
    {
        QCOMPARE(decodeLine(QStringLiteral("CR PRESSURE"), QStringLiteral("853\r"))->pressure, qint16(1013));
        const std::optional<StatusLine> wrapped = decodeLine(QStringLiteral("CR PRESSURE"), QStringLiteral("&H7FFF\r"));
        QCOMPARE(wrapped, (StatusLine{PressureOutOfRange, std::nullopt}));
        QCOMPARE(decodeLine(QStringLiteral("CR0"), QStringLiteral("00\r"))->pressure, std::nullopt);
        QCOMPARE(decodeLine(QStringLiteral("CR PRESSURE"), QStringLiteral("100\r"))->pressure, qint16(212));
    }

    // Hexadecimal replies read like Val reads them: "&HFFFF" is -1, whose
    // pressure is 104 hPa. The rendered reply " & H F F F F CR " is read
    // through the C of "CR", a hexadecimal digit, so the reply is written
    // here without its carriage return.
    void hexadecimalPressureReply()
    {
        QCOMPARE(decode(QStringLiteral("CR PRESSURE"), QStringLiteral("&HFFFF")), QStringLiteral("104 hPa"));
    }

    // A reply of thousands of digits is shown as out of range, not wrapped.
    void longPressureReply()
    {
        const QString reply = QString(20000, QLatin1Char('9')) + QChar(13);
        QCOMPARE(decodeLine(QStringLiteral("CR PRESSURE"), reply), (StatusLine{PressureOutOfRange, std::nullopt}));
    }
};

QTEST_APPLESS_MAIN(StatusDecoderTest)
#include "tst_status_decoder.moc"
