#include "PanelFixture.h"
#include "engine/protocol/TrafficText.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace orva;

namespace {

struct CommandLineFixture : PanelFixture
{
    QLineEdit* text1() { return window.control<QLineEdit>("Text1"); }
    // Types text key by key, as the keyboard would deliver it.
    void type(const QString& text)
    {
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, text1(), Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
    void send() { QTest::mouseClick(window.control<QPushButton>("Command95"), Qt::LeftButton); }
    void cls() { QTest::mouseClick(window.control<QPushButton>("Command96"), Qt::LeftButton); }
    void end() { QTest::mouseClick(window.control<QPushButton>("Command16"), Qt::LeftButton); }
};

// Runs the application's event loop until the window has ended the program
// through close; returns exec()'s status. A guard stops a loop that would
// otherwise never end, reporting 99.
int runUntilQuit(const std::function<void()>& action)
{
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(60000);
    return QApplication::exec();
}

} // namespace

// The free command line ("SEND", "CLS") and the way out ("END", closing).
class FreeCommandTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sendTakesTheTextAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("code") << QStringLiteral("C00") << QByteArray("C00\r");
        QTest::newRow("empty") << QString() << QByteArray("\r");
        QTest::newRow("blanks kept") << QStringLiteral(" CR0 ") << QByteArray(" CR0 \r");
        QTest::newRow("case kept") << QStringLiteral("cr0") << QByteArray("cr0\r");
        QTest::newRow("code with blanks") << QStringLiteral("CR PRESSURE") << QByteArray("CR PRESSURE\r");
        QTest::newRow("beyond ASCII") << QStringLiteral("C\u00e90") << QByteArray("C?0\r");
    }
    void sendTakesTheTextAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, frame);
        CommandLineFixture f;
        f.type(typed);
        QCOMPARE(f.text1()->text(), typed);
        f.send();
        QCOMPARE(f.line.written(), frame);
        QCOMPARE(f.transmit(), renderTraffic(QString::fromLatin1(frame))); // what went out, "?" included
        QCOMPARE(f.text1()->text(), typed);
        // The picture-mode timing, in force for this very frame.
        QCOMPARE(f.replies().timing().replyTimeout, 2000);
        QCOMPARE(f.replies().timing().clearDelay, 2500);
        f.clock.advance(1999);
        QCOMPARE(f.receive(), QString());
        f.clock.advance(1);
        QCOMPARE(f.receive(), ReplyWindow::NoReplyMark);
        f.clock.advance(500);
        QCOMPARE(f.transmit(), QString());
    }

    void typedCodeMatchesItsButton()
    {
        CommandLineFixture f;
        QTest::mouseClick(f.window.control<QPushButton>("Command17"), Qt::LeftButton); // POWER ON
        const QByteArray byButton = f.line.written();
        QCOMPARE(f.replies().timing().replyTimeout, 500);
        f.line.clearWritten();
        f.type(QStringLiteral("C00"));
        f.send();
        QCOMPARE(f.line.written(), byButton);
        QCOMPARE(f.replies().timing().replyTimeout, 2000);
        QCOMPARE(f.replies().timing().clearDelay, 2500);
    }

    void typedStatusReadIsDecodedOnlyWhenExact_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("status");
        QTest::newRow("exact") << QStringLiteral("CR0") << QStringLiteral(" Power ON");
        QTest::newRow("lower case") << QStringLiteral("cr0") << QString();
        QTest::newRow("trailing blank") << QStringLiteral("CR0 ") << QString();
    }
    void typedStatusReadIsDecodedOnlyWhenExact()
    {
        QFETCH(QString, typed);
        QFETCH(QString, status);
        CommandLineFixture f;
        f.type(typed);
        f.send();
        f.line.receive("00\r");
        QCOMPARE(f.receive(), QStringLiteral(" 0 0 CR "));
        QCOMPARE(f.status(), status);
    }

    void sendTwiceSendsTwice()
    {
        CommandLineFixture f;
        f.type(QStringLiteral("C1E"));
        f.send();
        f.send();
        QCOMPARE(f.line.written(), QByteArray("C1E\rC1E\r"));
        QCOMPARE(f.text1()->text(), QStringLiteral("C1E"));
    }

    void clsThenSendSendsACarriageReturn()
    {
        CommandLineFixture f;
        f.type(QStringLiteral("C00"));
        f.cls();
        QCOMPARE(f.text1()->text(), QString());
        f.send();
        QCOMPARE(f.line.written(), QByteArray("\r"));
    }

    void clsTouchesOnlyTheCommandLine()
    {
        CommandLineFixture f;
        f.type(QStringLiteral("CR0"));
        f.send();
        f.line.receive("00\r");
        f.type(QStringLiteral("more"));
        f.cls();
        QCOMPARE(f.text1()->text(), QString());
        QCOMPARE(f.transmit(), QStringLiteral(" C R 0 CR "));
        QCOMPARE(f.receive(), QStringLiteral(" 0 0 CR "));
        QCOMPARE(f.status(), QStringLiteral(" Power ON"));
        QCOMPARE(f.replies().lastFrame(), QStringLiteral("CR0\r"));
        QCOMPARE(f.line.writes().size(), 1);
        // The lines clear at the clear delay of the last send, not before.
        f.clock.advance(2499);
        QCOMPARE(f.status(), QStringLiteral(" Power ON"));
        f.clock.advance(1);
        QCOMPARE(f.status(), QString());
    }

    void enterInTheCommandLineSendsNothing_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void enterInTheCommandLineSendsNothing()
    {
        QFETCH(int, key);
        CommandLineFixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.text1()->setFocus();
        f.type(QStringLiteral("C00"));
        QTest::keyClick(f.text1(), Qt::Key(key));
        f.clock.advance(5000);
        QVERIFY(f.line.written().isEmpty());
        QCOMPARE(f.text1()->text(), QStringLiteral("C00"));
        QVERIFY(!f.replies().isReplyTimeoutRunning());
    }

    void endWhileAReplyIsDue()
    {
        CommandLineFixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QTest::mouseClick(f.window.control<QPushButton>("Command44"), Qt::LeftButton); // STATUS
        f.line.clearLog();
        QStringList changes;
        connect(&f.replies(), &ReplyWindow::lineChanged, this,
            [&](TrafficLine, const QString& text) { changes.append(text); });

        f.end();
        QVERIFY(!f.line.isOpen());
        QVERIFY(!f.line.log().isEmpty());
        QVERIFY(f.line.log().first() == QLatin1String("close"));
        QVERIFY(!f.line.log().contains(QStringLiteral("open com1 19200")));
        QVERIFY(!f.window.isVisible());
        // The reply arrives too late: the window is gone and shows nothing,
        // and no timer of it ticks any more.
        f.line.receive("00\r");
        f.clock.advance(10000);
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QLatin1Char('|'))));
        QCOMPARE(f.line.written(), QByteArray("CR0\r"));
    }

    void endOnAClosedPortStillEnds()
    {
        CommandLineFixture f;
        f.window.show();
        f.line.close();
        f.end();
        QVERIFY(!f.line.isOpen());
        QVERIFY(!f.window.isVisible());
        QVERIFY(f.line.written().isEmpty());
    }

    void endQuitsTheApplicationWithStatusZero()
    {
        CommandLineFixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QTest::mouseClick(f.window.control<QPushButton>("Command44"), Qt::LeftButton);
        const int status = runUntilQuit([&] { f.end(); });
        QCOMPARE(status, 0);
        QVERIFY(!f.line.isOpen());
        QCOMPARE(f.line.written(), QByteArray("CR0\r"));
    }

    void closingTheWindowQuitsLikeEnd()
    {
        CommandLineFixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const int status = runUntilQuit([&] { f.window.close(); });
        QCOMPARE(status, 0);
        QVERIFY(!f.line.isOpen());
        QVERIFY(f.line.written().isEmpty());
    }
};

QTEST_MAIN(FreeCommandTest)
#include "tst_free_command.moc"
