#include "PanelFixture.h"

#include <QAbstractButton>
#include <QRadioButton>
#include <QTest>

using namespace orva;

namespace {

const QString Lost = QStringLiteral("/dev/ttyUSB0 was disconnected");
const QString WriteError = QStringLiteral("Could not write to /dev/ttyUSB0: Input/output error");
const QString Refused = QStringLiteral("rfc2217://127.0.0.1:2000: Connection refused");

QString cannotOpen(int port)
{
    return QStringLiteral("Cannot open COM%1: Device or resource busy").arg(port);
}

const char* optionOf(const QString& caption)
{
    if (caption == QLatin1String("COM1"))
        return "Option1";
    if (caption == QLatin1String("COM2"))
        return "Option2";
    if (caption == QLatin1String("19200"))
        return "Option9";
    if (caption == QLatin1String("9600"))
        return "Option10";
    return nullptr;
}

void click(PanelFixture& f, const char* name)
{
    QAbstractButton* button = f.window.control<QAbstractButton>(name);
    QVERIFY2(button, name);
    button->click();
}

bool frameShown(PanelFixture& f)
{
    return f.window.control("Frame8")->isVisibleTo(&f.window);
}

// Plays a scenario written as steps:
//   load                 start
//   fail N / back N      port N cannot be opened / can be opened again
//   choose CAPTION       "COM", then the option "COM1", "COM2", "19200" or "9600"
//   lose                 the device goes away while open
//   connection fails     an opening that returned true fails after all
//   send CODE            a frame of CODE through the send path
//   writes fail [N]      writes fail, N bytes of each getting through
//   writes ok            writes work again
//   late write failure   a write accepted earlier fails now
// Warnings that wait for the end of a handler come out after each step.
void play(PanelFixture& f, const QStringList& steps)
{
    for (const QString& step : steps) {
        const QStringList word = step.split(QLatin1Char(' '));
        const QString& verb = word.at(0);
        if (verb == QLatin1String("load")) {
            f.window.start();
        } else if (verb == QLatin1String("fail")) {
            f.line.failOpening(QStringLiteral("com") + word.at(1), cannotOpen(word.at(1).toInt()));
        } else if (verb == QLatin1String("back")) {
            f.line.clearOpeningFailure(QStringLiteral("com") + word.at(1));
        } else if (verb == QLatin1String("choose")) {
            const char* option = optionOf(word.at(1));
            QVERIFY2(option, qPrintable(step));
            click(f, "Command33");
            click(f, option);
        } else if (verb == QLatin1String("lose")) {
            f.line.loseDevice(Lost);
        } else if (step == QLatin1String("connection fails")) {
            f.line.failConnection(Refused);
        } else if (verb == QLatin1String("send")) {
            f.replies().sendCode(word.at(1));
        } else if (step.startsWith(QLatin1String("writes fail"))) {
            f.line.setWritesFail(true, WriteError, word.value(2).toInt());
        } else if (step == QLatin1String("writes ok")) {
            f.line.setWritesFail(false);
        } else if (step == QLatin1String("late write failure")) {
            f.line.failAcceptedWrite(WriteError);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step: ") + step));
        }
        f.settle();
    }
}

} // namespace

// Port and speed selection in the settings frame, and what the operator is
// told when the line fails, on the fake line.
class PortSelectionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void portChoice_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QStringList>("log");

        QTest::newRow("COM1 to COM2") << QStringList{"load"} << "COM2" << QStringList{"close", "open com2 19200"};
        QTest::newRow("COM2 back to COM1")
            << QStringList{"load", "choose COM2"} << "COM1" << QStringList{"close", "open com1 19200"};
        QTest::newRow("COM1 chosen again") << QStringList{"load"} << "COM1" << QStringList{"close", "open com1 19200"};
        QTest::newRow("COM2 keeps 9600") << QStringList{"load", "choose 9600"} << "COM2"
                                         << QStringList{"close", "open com2 9600"};
    }

    void portChoice()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, choice);
        QFETCH(QStringList, log);

        PanelFixture f(false);
        play(f, before);
        f.line.clearLog();
        play(f, {QStringLiteral("choose ") + choice});

        QCOMPARE(f.line.log(), log);
        QVERIFY(f.line.isOpen());
        QVERIFY(!frameShown(f));
        QVERIFY(f.warnings.isEmpty());
        QVERIFY(f.window.control<QRadioButton>(optionOf(choice))->isChecked());
        QVERIFY(f.line.written().isEmpty());
    }

    void failedSwitchKeepsTheFrameUntilItsTimer()
    {
        PanelFixture f(false);
        play(f, {"fail 2", "load"});
        click(f, "Command33");
        f.clock.advance(1000);
        f.line.clearLog();
        click(f, "Option2");

        QCOMPARE(f.warnings, QStringList{cannotOpen(2)});
        QCOMPARE(f.line.log(), (QStringList{"close", "open com2 failed"}));
        QVERIFY(!f.line.isOpen());
        QVERIFY(f.window.control<QRadioButton>("Option2")->isChecked());
        QVERIFY(!f.window.control<QRadioButton>("Option1")->isChecked());
        QVERIFY(frameShown(f));

        f.clock.advanceTo(4999);
        QVERIFY(frameShown(f));
        f.clock.advanceTo(5000);
        QVERIFY(!frameShown(f));
        QCOMPARE(f.warnings.size(), 1);
    }

    // A port choice made while the port is closed opens the chosen port; the
    // start-up shows at most one warning for a COM1 that cannot be opened.
    void closedPortRecovery_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("openOn"); // empty: closed
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<bool>("frame");

        QTest::newRow("start-up with COM1 failing")
            << QStringList{"fail 1", "load"} << "" << QStringList{cannotOpen(1)} << false;
        QTest::newRow("COM1 chosen once it is back after start-up")
            << QStringList{"fail 1", "load", "back 1", "choose COM1"} << "com1" << QStringList{cannotOpen(1)} << false;
        QTest::newRow("COM2 chosen after a failed start-up")
            << QStringList{"fail 1", "load", "choose COM2"} << "com2" << QStringList{cannotOpen(1)} << false;
        QTest::newRow("the other port after a failed switch")
            << QStringList{"fail 2", "load", "choose COM2", "choose COM1"} << "com1" << QStringList{cannotOpen(2)}
            << false;
        QTest::newRow("the same port once it is back")
            << QStringList{"fail 2", "load", "choose COM2", "back 2", "choose COM2"} << "com2"
            << QStringList{cannotOpen(2)} << false;
        QTest::newRow("failing again is told again")
            << QStringList{"fail 2", "load", "choose COM2", "fail 1", "choose COM1"} << ""
            << QStringList{cannotOpen(2), cannotOpen(1)} << true;
        QTest::newRow("the port chosen again after the device was lost")
            << QStringList{"load", "lose", "choose COM1"} << "com1" << QStringList{Lost} << false;
        QTest::newRow("a connection failing after the choice, chosen again")
            << QStringList{"load", "connection fails", "choose COM1"} << "com1" << QStringList{Refused} << false;
        QTest::newRow("a connection failing again is told again")
            << QStringList{"load", "connection fails", "choose COM1", "connection fails"} << ""
            << QStringList{Refused, Refused} << false;
        QTest::newRow("the device still missing when chosen again")
            << QStringList{"load", "lose", "fail 1", "choose COM1"} << "" << QStringList{Lost, cannotOpen(1)} << true;
    }

    void closedPortRecovery()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, openOn);
        QFETCH(QStringList, warnings);
        QFETCH(bool, frame);

        PanelFixture f(false);
        play(f, steps);
        QCOMPARE(f.line.address(), openOn);
        QCOMPARE(f.warnings, warnings);
        QCOMPARE(frameShown(f), frame);
    }

    void speedChoice_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("openOn"); // empty: closed

        QTest::newRow("9600 on COM1") << QStringList{"load"} << "9600"
                                      << "com1";
        QTest::newRow("back to 19200") << QStringList{"load", "choose 9600"} << "19200"
                                       << "com1";
        QTest::newRow("9600 on COM2") << QStringList{"load", "choose COM2"} << "9600"
                                      << "com2";
        QTest::newRow("9600 while closed") << QStringList{"fail 1", "load"} << "9600"
                                           << "";
    }

    void speedChoice()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, choice);
        QFETCH(QString, openOn);

        PanelFixture f(false);
        play(f, before);
        const int warnings = f.warnings.size();
        f.line.clearLog();
        play(f, {QStringLiteral("choose ") + choice});

        QCOMPARE(f.line.log(), QStringList{QStringLiteral("speed ") + choice});
        QCOMPARE(speedName(f.engine.ports().speed()), choice);
        QCOMPARE(f.line.address(), openOn);
        QVERIFY(!frameShown(f));
        QCOMPARE(f.warnings.size(), warnings);
    }

    void speedChosenWhileClosedAppliesAtTheNextOpening()
    {
        PanelFixture f(false);
        play(f, {"fail 1", "load", "choose 9600", "back 1"});
        f.line.clearLog();
        play(f, {"choose COM1"});
        QCOMPARE(f.line.log(), (QStringList{"open com1 9600"}));
    }

    void groupsAreIndependent_data()
    {
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<QStringList>("checked");

        QTest::newRow("after start-up") << QStringList{} << QStringList{"COM1", "19200"};
        QTest::newRow("9600 keeps COM1") << QStringList{"choose 9600"} << QStringList{"COM1", "9600"};
        QTest::newRow("COM2 keeps 19200") << QStringList{"choose COM2"} << QStringList{"COM2", "19200"};
        QTest::newRow("COM2 then 9600") << QStringList{"choose COM2", "choose 9600"} << QStringList{"COM2", "9600"};
        QTest::newRow("9600 then COM2 then 19200")
            << QStringList{"choose 9600", "choose COM2", "choose 19200"} << QStringList{"COM2", "19200"};
        QTest::newRow("a failed switch keeps the speed")
            << QStringList{"choose 9600", "fail 2", "choose COM2"} << QStringList{"COM2", "9600"};
    }

    void groupsAreIndependent()
    {
        QFETCH(QStringList, choices);
        QFETCH(QStringList, checked);

        PanelFixture f(false);
        play(f, QStringList{"load"} + choices);
        for (const char* caption : {"COM1", "COM2", "19200", "9600"}) {
            const bool isChecked = f.window.control<QRadioButton>(optionOf(QLatin1String(caption)))->isChecked();
            QVERIFY2(isChecked == checked.contains(QLatin1String(caption)), caption);
        }
    }

    void optionsLeaveTheFrameTimerRunning_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("hiddenByOption");

        QTest::newRow("COM2") << QStringList{"load"} << "Option2" << true;
        QTest::newRow("9600") << QStringList{"load"} << "Option10" << true;
        QTest::newRow("19200 already checked") << QStringList{"load"} << "Option9" << true;
        QTest::newRow("failed COM2") << QStringList{"fail 2", "load"} << "Option2" << false;
    }

    void optionsLeaveTheFrameTimerRunning()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, option);
        QFETCH(bool, hiddenByOption);

        PanelFixture f(false);
        play(f, before);
        click(f, "Command33");
        QVERIFY(frameShown(f));

        f.clock.advance(2000);
        click(f, qPrintable(option));
        QCOMPARE(frameShown(f), !hiddenByOption);

        // "COM" again while the frame's countdown runs: it runs on.
        f.clock.advance(1000);
        click(f, "Command33");
        QVERIFY(frameShown(f));
        f.clock.advanceTo(4999);
        QVERIFY(frameShown(f));
        f.clock.advanceTo(5000);
        QVERIFY(!frameShown(f));
    }

    void lostDeviceIsToldOnceAndTheLinkCarriesOn()
    {
        PanelFixture f;
        f.line.loseDevice(Lost);
        QVERIFY2(f.warnings.isEmpty(), "told only once the notification has been handled");
        f.settle();
        QCOMPARE(f.warnings, QStringList{Lost});
        QVERIFY(!f.line.isOpen());

        // Frames sent meanwhile are shown and time out as usual, told of no
        // more.
        f.replies().sendCode(QStringLiteral("C00"));
        f.settle();
        QVERIFY(f.line.written().isEmpty());
        QCOMPARE(f.transmit(), QStringLiteral(" C 0 0 CR "));
        QVERIFY(f.replies().isAwaitingReply());
        f.clock.advance(500);
        QCOMPARE(f.receive(), ReplyWindow::NoReplyMark);
        QCOMPARE(f.warnings.size(), 1);

        // Choosing the port again opens it, and the link carries on.
        play(f, {"choose COM1"});
        QCOMPARE(f.line.address(), QStringLiteral("com1"));
        QVERIFY(!frameShown(f));
        f.replies().sendCode(QStringLiteral("CR0"));
        QCOMPARE(f.line.written(), QByteArray("CR0\r"));
        f.line.receive("00\r");
        QCOMPARE(f.status(), QStringLiteral(" Power ON"));

        // A new loss of the new opening is told again.
        play(f, {"lose"});
        QCOMPARE(f.warnings, (QStringList{Lost, Lost}));
    }

    void frameThatCannotBeWrittenIsShownAndTimedOut()
    {
        PanelFixture f;
        f.line.setWritesFail(true, WriteError);
        f.replies().sendCode(QStringLiteral("C00"));
        QVERIFY2(f.warnings.isEmpty(), "no box in the middle of a send");
        QCOMPARE(f.transmit(), QStringLiteral(" C 0 0 CR "));
        QVERIFY(f.replies().isReplyTimeoutRunning());
        QVERIFY(f.replies().isClearDelayRunning());
        QVERIFY(f.replies().isAwaitingReply());
        f.settle();
        QCOMPARE(f.warnings, QStringList{WriteError});
        f.clock.advance(500);
        QCOMPARE(f.receive(), ReplyWindow::NoReplyMark);
        f.clock.advance(500);
        QCOMPARE(f.transmit(), QString());
    }

    // Write failures are told once per opening of the port, so that a held
    // button repeating into a failing line raises one box, not one a frame.
    void writeFailures_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QStringList>("warnings");

        QTest::newRow("every frame fails") << QStringList{"writes fail", "send C09", "send C09", "send C09"}
                                           << QByteArray() << QStringList{WriteError};
        QTest::newRow("part of a frame gets out; later frames whole")
            << QStringList{"writes fail 2", "send C00", "writes ok", "send C01", "send C02"}
            << QByteArray("C0C01\rC02\r") << QStringList{WriteError};
        QTest::newRow("a write accepted earlier fails") << QStringList{"send C00", "late write failure",
            "late write failure"} << QByteArray("C00\r") << QStringList{WriteError};
        QTest::newRow("told again after the port was opened again") << QStringList{"writes fail", "send C00",
            "choose COM1", "send C00"} << QByteArray() << QStringList{WriteError, WriteError};
        QTest::newRow("not told again within one opening")
            << QStringList{"writes fail", "send C00", "writes ok", "send C01", "writes fail", "send C02"}
            << QByteArray("C01\r") << QStringList{WriteError};
        QTest::newRow("sending on a closed port is no write failure")
            << QStringList{"fail 2", "choose COM2", "send C00"} << QByteArray() << QStringList{cannotOpen(2)};
        QTest::newRow("sending after a loss is no write failure")
            << QStringList{"lose", "send C00", "send C00"} << QByteArray() << QStringList{Lost};
    }

    void writeFailures()
    {
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, written);
        QFETCH(QStringList, warnings);

        PanelFixture f;
        play(f, steps);
        QCOMPARE(f.line.written(), written);
        QCOMPARE(f.warnings, warnings);
    }
};

QTEST_MAIN(PortSelectionTest)
#include "tst_port_selection.moc"
