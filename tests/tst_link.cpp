#include "PanelFixture.h"

#include <QRadioButton>
#include <QTest>

using namespace orva;

// Start-up, the send path and the receive path, on the fake line.
class LinkTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startupOpensCom1At19200WithoutSending()
    {
        PanelFixture f;
        QCOMPARE(f.line.log(), (QStringList{"open com1 19200", "close", "open com1 19200"}));
        QVERIFY(f.line.isOpen());
        QVERIFY(f.line.written().isEmpty());
        QVERIFY(f.warnings.isEmpty());
        QVERIFY(f.window.control<QRadioButton>("Option1")->isChecked());
        QVERIFY(f.window.control<QRadioButton>("Option9")->isChecked());
        QVERIFY(!f.window.control("Frame8")->isVisibleTo(&f.window));
        QVERIFY(!f.engine.commands().isRepeating());
        QVERIFY(!f.replies().isReplyTimeoutRunning());
        QVERIFY(!f.replies().isClearDelayRunning());
    }

    void startupWithCom1MissingWarnsOnceAndCarriesOn()
    {
        PanelFixture f(false);
        f.line.failOpening(QStringLiteral("com1"), QStringLiteral("No such file or directory"));
        f.window.start();
        QCOMPARE(f.warnings, QStringList{"No such file or directory"});
        QVERIFY(!f.line.isOpen());
        QVERIFY(f.window.control<QRadioButton>("Option1")->isChecked());
    }

    void sendWritesExactFrameAndStartsTimers()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("C00"));
        QCOMPARE(f.line.written(), QByteArray("C00\r"));
        QCOMPARE(f.replies().lastFrame(), QStringLiteral("C00\r"));
        QCOMPARE(f.transmit(), QStringLiteral(" C 0 0 CR "));
        QVERIFY(f.replies().isAwaitingReply());
        QVERIFY(f.replies().isReplyTimeoutRunning());
        QVERIFY(f.replies().isClearDelayRunning());
        QVERIFY(!f.engine.commands().isRepeating());
    }

    void charactersBeyondAsciiGoOutAsQuestionMarks()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("C\u00e9\u30c70"));
        QCOMPARE(f.line.written(), QByteArray("C??0\r"));
    }

    void charactersWithNoFrameSentAreCollectedAndShown()
    {
        PanelFixture f;
        f.line.receive("\x06");
        f.line.receive("AB");
        QCOMPARE(f.replies().reply(),
            QStringLiteral("\x06"
                           "AB"));
        QCOMPARE(f.receive(), QStringLiteral(" ACK A B "));
        QCOMPARE(f.transmit(), QString());
    }

    void sendWhileClosedShowsAndTimesTheFrame()
    {
        PanelFixture f;
        f.line.close();
        f.replies().sendCode(QStringLiteral("C01"));
        QVERIFY(f.line.written().isEmpty());
        QCOMPARE(f.transmit(), QStringLiteral(" C 0 1 CR "));
        QVERIFY(f.replies().isReplyTimeoutRunning());
        f.clock.advance(500);
        QCOMPARE(f.receive(), QStringLiteral(" X X X X"));
    }

    void replyBufferKeepsTheNewest32767Characters()
    {
        PanelFixture f;
        QByteArray chunk(1000, 'A');
        for (int i = 0; i < 40; ++i)
            f.line.receive(chunk);
        f.line.receive("Z\r");
        QCOMPARE(f.replies().reply().size(), ReplyWindow::MaxReplyLength);
        QVERIFY(f.replies().reply().endsWith(QStringLiteral("AZ\r")));
        QCOMPARE(f.receive().size(), 2 * ReplyWindow::MaxReplyLength + 2); // "CR " is three
    }
};

QTEST_MAIN(LinkTest)
#include "tst_link.moc"
