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
        QCOMPARE(f.comm.log(), (QStringList{"port 1", "settings 19200,N,8,1", "open 1", "close", "port 1", "open 1"}));
        QVERIFY(f.comm.portOpen());
        QVERIFY(f.comm.written().isEmpty());
        QVERIFY(f.warnings.isEmpty());
        QVERIFY(f.form.control<QRadioButton>("Option1")->isChecked());
        QVERIFY(f.form.control<QRadioButton>("Option9")->isChecked());
        QVERIFY(!f.form.control("Frame8")->isVisibleTo(&f.form));
        QCOMPARE(f.state().PortSettings, QStringLiteral("19200,N,8,1"));
        for (auto* timer :
            {f.timers().Timer1.get(), f.timers().Timer2.get(), f.timers().Timer3.get(), f.timers().Timer4.get()})
            QVERIFY2(!timer->isEnabled(), qPrintable(timer->name()));
    }

    void startupWithCom1MissingWarnsOnceAndCarriesOn()
    {
        PanelFixture f(false);
        f.comm.failOpening(1, QStringLiteral("No such file or directory"));
        f.form.Form_Load();
        QCOMPARE(f.warnings, QStringList{"No such file or directory"});
        QVERIFY(!f.comm.portOpen());
        QCOMPARE(f.comm.commPort(), 1);
        QVERIFY(f.form.control<QRadioButton>("Option1")->isChecked());
    }

    void sendWritesExactFrameAndStartsTimers()
    {
        PanelFixture f;
        f.form.link().sendCode(QStringLiteral("C00"));
        QCOMPARE(f.comm.written(), QByteArray("C00\r"));
        QCOMPARE(f.state().OutgoingCommand, QStringLiteral("C00\r"));
        QCOMPARE(f.lines().transmit(), QStringLiteral(" C 0 0 CR "));
        QCOMPARE(f.state().AwaitingReply, quint8(1));
        QVERIFY(f.timers().Timer2->isEnabled());
        QVERIFY(f.timers().Timer4->isEnabled());
        QVERIFY(!f.timers().Timer1->isEnabled());
    }

    void charactersBeyondAsciiGoOutAsQuestionMarks()
    {
        PanelFixture f;
        f.form.link().sendCode(QStringLiteral("C\u00e9\u30c70"));
        QCOMPARE(f.comm.written(), QByteArray("C??0\r"));
    }

    void replySplitOverTwoNotificationsIsShownAndDecodedWhole()
    {
        PanelFixture f;
        f.form.link().sendCode(QStringLiteral("CR0"));
        f.comm.receive("0");
        QCOMPARE(f.lines().receive(), QStringLiteral(" 0 "));
        QCOMPARE(f.lines().status(), QString());
        QCOMPARE(f.state().AwaitingReply, quint8(0));
        f.comm.receive("0\r");
        QCOMPARE(f.lines().receive(), QStringLiteral(" 0 0 CR "));
        QCOMPARE(f.lines().status(), QStringLiteral(" Power ON"));
        QCOMPARE(f.state().ReplyBuffer, QStringLiteral("00\r"));
    }

    void charactersWithNoFrameSentAreCollectedAndShown()
    {
        PanelFixture f;
        f.comm.receive("\x06");
        f.comm.receive("AB");
        QCOMPARE(f.state().ReplyBuffer,
            QStringLiteral("\x06"
                           "AB"));
        QCOMPARE(f.lines().receive(), QStringLiteral(" ACK A B "));
        QCOMPARE(f.lines().transmit(), QString());
    }

    void otherNotificationsChangeNothing()
    {
        PanelFixture f;
        f.comm.raiseEvent(1004); // a framing error
        QCOMPARE(f.lines().receive(), QString());
        QCOMPARE(f.state().ReplyBuffer, QString());
    }

    void sendWhileClosedShowsAndTimesTheFrame()
    {
        PanelFixture f;
        QVERIFY(f.comm.setPortOpen(false));
        f.form.link().sendCode(QStringLiteral("C01"));
        QVERIFY(f.comm.written().isEmpty());
        QCOMPARE(f.lines().transmit(), QStringLiteral(" C 0 1 CR "));
        QVERIFY(f.timers().Timer2->isEnabled());
        f.clock.advance(500);
        QCOMPARE(f.lines().receive(), QStringLiteral(" X X X X"));
    }

    void replyBufferKeepsTheNewest32767Characters()
    {
        PanelFixture f;
        QByteArray chunk(1000, 'A');
        for (int i = 0; i < 40; ++i)
            f.comm.receive(chunk);
        f.comm.receive("Z\r");
        QCOMPARE(f.state().ReplyBuffer.size(), Link::MaxReplyLength);
        QVERIFY(f.state().ReplyBuffer.endsWith(QStringLiteral("AZ\r")));
        QCOMPARE(f.lines().receive().size(), 2 * Link::MaxReplyLength + 2); // "CR " is three
    }

    void failedWriteStillShowsAndDoesNotCorruptLaterFrames()
    {
        PanelFixture f;
        f.comm.setWritesFail(true);
        f.form.link().sendCode(QStringLiteral("C00"));
        QCOMPARE(f.lines().transmit(), QStringLiteral(" C 0 0 CR "));
        f.comm.setWritesFail(false);
        f.form.link().sendCode(QStringLiteral("C01"));
        QCOMPARE(f.comm.written(), QByteArray("C01\r"));
    }
};

QTEST_MAIN(LinkTest)
#include "tst_link.moc"
