#include "engine/protocol/TrafficText.h"

#include <QTest>

using orva::renderTraffic;

class TrafficTextTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void render_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");

        QTest::newRow("empty") << QString() << QStringLiteral(" ");
        QTest::newRow("power-on frame") << QStringLiteral("C00\r") << QStringLiteral(" C 0 0 CR ");
        QTest::newRow("fan mode frame keeps blanks")
            << QStringLiteral("CF FANMODE L1\r") << QStringLiteral(" C F   F A N M O D E   L 1 CR ");
        QTest::newRow("acknowledge alone") << QStringLiteral("\x06") << QStringLiteral(" ACK ");
        QTest::newRow("status reply") << QStringLiteral("00\r") << QStringLiteral(" 0 0 CR ");
        QTest::newRow("CR LF pair") << QStringLiteral("\r\n") << QStringLiteral(" CR LF ");
        QTest::newRow("code 20 has no blank after it")
            << (QString(QChar(20)) + QStringLiteral("A")) << QStringLiteral(" &A ");
        QTest::newRow("other control characters")
            << (QString(QChar(0)) + QChar(9) + QChar(27) + QChar(31)) << QStringLiteral(" ? ? ? ? ");
        QTest::newRow("lower case up to z") << QStringLiteral("az") << QStringLiteral(" a z ");
        QTest::newRow("brace and above") << QStringLiteral("{|}~\x7f") << QStringLiteral(" ? ? ? ? ? ");
        QTest::newRow("bytes above 127") << QString::fromLatin1("\xe9\xff") << QStringLiteral(" ? ? ");
        QTest::newRow("non-Latin character") << QStringLiteral("\u30c7") << QStringLiteral(" ? ");
        QTest::newRow("blank and space range ends") << QStringLiteral(" !") << QStringLiteral("   ! ");
    }
    void render()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(renderTraffic(text), shown);
    }

    // The decoder relies on printable character n sitting at position 2n.
    void printableLayout()
    {
        const QString text = QStringLiteral("Hello, World 0123456789 xyz");
        const QString shown = renderTraffic(text);
        QCOMPARE(shown.size(), 2 * text.size() + 1);
        for (qsizetype n = 1; n <= text.size(); ++n) {
            QCOMPARE(shown.at(2 * n - 1), text.at(n - 1)); // position 2n, counted from 1
            QCOMPARE(shown.at(2 * n - 2), QLatin1Char(' '));
        }
    }
};

QTEST_APPLESS_MAIN(TrafficTextTest)
#include "tst_traffic_text.moc"
