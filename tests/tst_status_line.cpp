#include "PanelFixture.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"

#include <QTest>

using namespace orva;

// The status line as the window writes it: decoding on the receive path
// against the last frame sent, on the whole reply so far.
class StatusLineTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void queryReplyIsDecoded()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("CR0"));
        f.line.receive("80\r");
        QCOMPARE(f.status(), QStringLiteral(" Stand by"));
    }

    // Frames that are not exactly a query leave the status line alone, and
    // so does a reply to a query that matches no row.
    void statusLineKeptWhenNothingDecodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("reply");

        QTest::newRow("lower-case query") << QStringLiteral("cr0") << QByteArray("00\r");
        QTest::newRow("query with trailing blank") << QStringLiteral("CR0 ") << QByteArray("00\r");
        QTest::newRow("command that is no query") << QStringLiteral("C00") << QByteArray("00\r");
        QTest::newRow("unknown key") << QStringLiteral("CR0") << QByteArray("99\r");
        QTest::newRow("unknown lamp mode") << QStringLiteral("CR7") << QByteArray("33\r");
    }
    void statusLineKeptWhenNothingDecodes()
    {
        QFETCH(QString, code);
        QFETCH(QByteArray, reply);
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("CR0"));
        f.line.receive("80\r");
        f.clock.advance(500); // the reply timeout empties the buffer
        f.replies().sendCode(code);
        f.line.receive(reply);
        QCOMPARE(f.receive(), renderTraffic(QString::fromLatin1(reply)));
        QCOMPARE(f.status(), QStringLiteral(" Stand by"));
    }

    void partialReplyDecodesWhenComplete()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("CR0"));
        f.line.receive("0");
        QCOMPARE(f.receive(), QStringLiteral(" 0 "));
        QCOMPARE(f.status(), QString());
        f.line.receive("0\r");
        QCOMPARE(f.receive(), QStringLiteral(" 0 0 CR "));
        QCOMPARE(f.status(), QStringLiteral(" Power ON"));
    }

    // Built texts follow every part of the reply.
    void lampHoursFollowEveryPart()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("CR3"));
        f.line.receive("012");
        QCOMPARE(f.status(), QStringLiteral(" 0 1 2  Hour Use"));
        f.line.receive("34\r");
        QCOMPARE(f.status(), QStringLiteral(" 0 1 2 3 4 CR  Hour Use"));
    }

    // A reply to an earlier frame that arrives after a newer frame was sent
    // is read as the answer to the newer one.
    void lateReplyIsDecodedAgainstTheNewerFrame()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("CR0"));
        f.replies().sendCode(QStringLiteral("CR7"));
        f.line.receive("01\r");
        QCOMPARE(f.status(), QStringLiteral(" LAMP ON"));
    }

    // A second frame sent before the reply timeout: its reply lands behind
    // the first one, and the key is read from the front of the buffer.
    void replyBehindAnEarlierOneIsReadFromTheFront()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("CR0"));
        f.line.receive("80\r");
        f.replies().sendCode(QStringLiteral("CR7"));
        f.line.receive("01\r");
        QCOMPARE(f.receive(), QStringLiteral(" 8 0 CR 0 1 CR "));
        QCOMPARE(f.status(), QStringLiteral(" Stand by")); // " 8 0" is no lamp mode
    }

    void pressureQueryFromTheFreeCommandLine()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("CR PRESSURE"));
        f.line.receive("853\r");
        QCOMPARE(f.status(), QStringLiteral("1013 hPa"));
    }

    void pressureOutOfRangeAfterAGoodReading()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("CR PRESSURE"));
        f.line.receive("100\r");
        f.clock.advance(500);
        f.replies().sendCode(QStringLiteral("CR PRESSURE"));
        f.line.receive("9999\r");
        QCOMPARE(f.status(), PressureOutOfRange);
    }
};

QTEST_MAIN(StatusLineTest)
#include "tst_status_line.moc"
