#include "hub/PjlinkCodec.h"
#include "hub/SecretCompare.h"

#include <QTest>

#include <optional>

using namespace orva::hub;

// PJLink class 1 lines as the hub reads and writes them: which requests
// parse, which are answerable, and the greeting, digest and answers.
class TestPjlinkCodec : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requests_data();
    void requests();
    void authentication();
};

void TestPjlinkCodec::requests_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QByteArray>("body");      // to answer under; empty: not answerable
    QTest::addColumn<QByteArray>("parameter"); // when parsed
    QTest::addColumn<QByteArray>("digest");

    const QByteArray digest = QByteArray(32, 'a');
    QTest::newRow("set") << QByteArray("%1POWR 1") << true << QByteArray("POWR") << QByteArray("1") << QByteArray();
    QTest::newRow("query, lower case") << QByteArray("%1powr ?") << true << QByteArray("POWR") << QByteArray("?")
                                       << QByteArray();
    QTest::newRow("with digest") << QByteArray(32, 'A') + "%1INPT 12" << true << QByteArray("INPT") << QByteArray("12")
                                 << digest;
    QTest::newRow("no header") << QByteArray("POWR 1") << false << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("class 2 header") << QByteArray("%2POWR 1") << true << QByteArray("POWR") << QByteArray("1")
                                    << QByteArray();
    QTest::newRow("class 0 header") << QByteArray("%0POWR 1") << false << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("short digest") << QByteArray(31, 'a') + "%1POWR 1" << false << QByteArray() << QByteArray()
                                  << QByteArray();
    QTest::newRow("no separator") << QByteArray("%1POWR1") << false << QByteArray("POWR") << QByteArray()
                                  << QByteArray();
    QTest::newRow("no parameter") << QByteArray("%1POWR ") << false << QByteArray("POWR") << QByteArray()
                                  << QByteArray();
    QTest::newRow("short body") << QByteArray("%1PO") << false << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("control character") << QByteArray("%1NAME \x1b") << false << QByteArray("NAME") << QByteArray()
                                       << QByteArray();
    QTest::newRow("136 bytes") << QByteArray("%1INFO ") + QByteArray(129, 'X') << true << QByteArray("INFO")
                               << QByteArray(129, 'X') << QByteArray();
    QTest::newRow("137 bytes") << QByteArray("%1INFO ") + QByteArray(130, 'X') << false << QByteArray("INFO")
                               << QByteArray() << QByteArray();
}

void TestPjlinkCodec::requests()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, parsed);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, parameter);
    QFETCH(QByteArray, digest);

    const PjlinkParse parse = parsePjlinkRequest(line);
    QCOMPARE(parse.request.has_value(), parsed);
    QCOMPARE(parse.answerable, !body.isEmpty());
    QCOMPARE(parse.body, body);
    if (parsed) {
        QCOMPARE(parse.request->body, body);
        QCOMPARE(parse.request->parameter, parameter);
        QCOMPARE(parse.request->digest, digest);
    }
}

void TestPjlinkCodec::authentication()
{
    // MD5 of "498e4a67JBMIA", as md5sum computes it.
    const QByteArray digest = pjlinkDigest("498e4a67", "JBMIA");
    QCOMPARE(digest, QByteArray("8a36d09ab68186318cedf79297d3bd47"));
    QVERIFY(digestsMatch(digest, "8a36d09ab68186318cedf79297d3bd47"));
    QVERIFY(!digestsMatch(digest, "8a36d09ab68186318cedf79297d3bd48"));
    QVERIFY(!digestsMatch(digest, digest.chopped(1)));
    QCOMPARE(pjlinkGreeting(QByteArray("498e4a67")), QByteArray("PJLINK 1 498e4a67\r"));
    QCOMPARE(pjlinkGreeting(std::nullopt), QByteArray("PJLINK 0\r"));
    QCOMPARE(pjlinkAnswer("POWR", PjlinkError::Unavailable), QByteArray("%1POWR=ERR3\r"));
}

QTEST_GUILESS_MAIN(TestPjlinkCodec)
#include "tst_pjlink_codec.moc"
