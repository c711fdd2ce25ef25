// Mouse events go through the window as the platform delivers them, so the
// button that took the press keeps the mouse until the release.
#define QTEST_QPA_MOUSE_HANDLING

#include "PanelFixture.h"

#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace orva;

namespace {

struct HoldFixture : PanelFixture
{
    HoldFixture() { window.show(); }

    QPushButton* button(const QString& name) { return window.findChild<QPushButton*>(name); }
    void press(const QString& name, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        QTest::mousePress(button(name), b, m);
    }
    void release(const QString& name, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        QTest::mouseRelease(button(name), b, m);
    }
    void tap(const QString& name)
    {
        press(name);
        release(name);
    }
    QList<std::int64_t> sendTimes() const
    {
        QList<std::int64_t> times;
        for (const auto& w : line.writes())
            times.append(w.at);
        return times;
    }
};

QList<std::int64_t> every(std::int64_t start, int period, int count)
{
    QList<std::int64_t> times;
    for (int i = 0; i < count; ++i)
        times.append(start + std::int64_t(i) * period);
    return times;
}

} // namespace

class HoldRepeatTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A hold of four and a half periods: the press and four repeats, each
    // with the same frame, and the display timing in force while held.
    void hold_data()
    {
        QTest::addColumn<QStringList>("before"); // "tap:" press and release, "click:" a click
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("reply");
        QTest::addColumn<int>("clear");

        const QStringList none;
        // clang-format off
        QTest::newRow("VOL +")        << none << "Command1"  << "+" << QByteArray("C09\r") << 250 << 200 << 245;
        QTest::newRow("VOL -")        << none << "Command2"  << "-" << QByteArray("C0A\r") << 250 << 200 << 245;
        QTest::newRow("Brightness +") << none << "Command15" << "+" << QByteArray("C20\r") << 50  << 25  << 25;
        QTest::newRow("Brightness -") << none << "Command35" << "-" << QByteArray("C21\r") << 50  << 25  << 25;
        QTest::newRow("D.Zoom +")     << none << "Command48" << "+" << QByteArray("C30\r") << 250 << 200 << 245;
        QTest::newRow("D.Zoom -")     << none << "Command49" << "-" << QByteArray("C31\r") << 250 << 200 << 245;
        QTest::newRow("Keystone +")   << none << "Command50" << "+" << QByteArray("C8E\r") << 250 << 200 << 245;
        QTest::newRow("Keystone -")   << none << "Command51" << "-" << QByteArray("C8F\r") << 250 << 200 << 245;
        QTest::newRow("SELECT")       << none << "Command6"  << "SELECT" << QByteArray("C3F\r") << 500 << 200 << 245;
        QTest::newRow("up at start-up")    << none << "Command5" << "↑" << QByteArray("C3C\r") << 200 << 500 << 1000;
        QTest::newRow("down at start-up")  << none << "Command7" << "↓" << QByteArray("C3D\r") << 200 << 500 << 1000;
        QTest::newRow("left at start-up")  << none << "Command9" << "←" << QByteArray("C3B\r") << 200 << 500 << 1000;
        QTest::newRow("right at start-up") << none << "Command8" << "→" << QByteArray("C3A\r") << 200 << 500 << 1000;
        QTest::newRow("right after MENU ON")
            << QStringList{"click:Command23"} << "Command8" << "→" << QByteArray("C3A\r") << 200 << 150 << 190;
        QTest::newRow("up after A-IMAGE")
            << QStringList{"click:Command13"} << "Command5" << "↑" << QByteArray("C3C\r") << 200 << 150 << 190;
        QTest::newRow("down after D.Zoom -")
            << QStringList{"tap:Command49"} << "Command7" << "↓" << QByteArray("C3D\r") << 5 << 5 << 5;
        QTest::newRow("left after D.Zoom + then VOL +")
            << QStringList{"tap:Command48", "tap:Command1"} << "Command9" << "←" << QByteArray("C3B\r") << 250 << 5 << 5;
        QTest::newRow("right after D.Zoom + then MENU ON")
            << QStringList{"tap:Command48", "click:Command23"} << "Command8" << "→" << QByteArray("C3A\r") << 200 << 150 << 190;
        QTest::newRow("up after MENU ON then Brightness +")
            << QStringList{"click:Command23", "tap:Command15"} << "Command5" << "↑" << QByteArray("C3C\r") << 50 << 150 << 190;
        QTest::newRow("down after SELECT")
            << QStringList{"tap:Command6"} << "Command7" << "↓" << QByteArray("C3D\r") << 500 << 500 << 1000;
        // clang-format on
    }
    void hold()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, control);
        QFETCH(QString, caption);
        QFETCH(QByteArray, frame);
        QFETCH(int, period);
        QFETCH(int, reply);
        QFETCH(int, clear);

        HoldFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QCOMPARE(f.button(control)->text(), caption);
        for (const QString& step : before) {
            const QString name = step.section(QLatin1Char(':'), 1);
            if (step.startsWith(QLatin1String("tap:")))
                f.tap(name);
            else
                f.button(name)->click();
        }
        f.clock.advance(10000);
        f.line.clearWritten();

        const std::int64_t start = f.clock.nowMs();
        f.press(control);
        QVERIFY(f.button(control)->isDown());
        QCOMPARE(f.engine.commands().repeatPeriod(), period);
        QCOMPARE(f.replies().timing().replyTimeout, reply);
        QCOMPARE(f.replies().timing().clearDelay, clear);
        f.clock.advance(4 * period + period / 2);
        f.release(control);
        QVERIFY(!f.button(control)->isDown());
        f.clock.advance(5000);

        QCOMPARE(f.sendTimes(), every(start, period, 5));
        for (const auto& w : f.line.writes())
            QCOMPARE(w.bytes, frame);
        QVERIFY(!f.engine.commands().isRepeating());
        QCOMPARE(f.replies().timing().replyTimeout, 500);
        QCOMPARE(f.replies().timing().clearDelay, 1000);
    }

    void quickClickSendsOneFrame_data()
    {
        QTest::addColumn<int>("heldFor");
        QTest::newRow("instant") << 0;
        QTest::newRow("just under one period") << 249;
    }
    void quickClickSendsOneFrame()
    {
        QFETCH(int, heldFor);
        HoldFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.press(QStringLiteral("Command1"));
        f.clock.advance(heldFor);
        f.release(QStringLiteral("Command1"));
        f.clock.advance(5000);
        QCOMPARE(f.line.written(), QByteArray("C09\r"));
    }

    void volumeCycleMarksAndClearsBeforeEachRepeat()
    {
        HoldFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.press(QStringLiteral("Command1"));
        QCOMPARE(f.transmit(), QStringLiteral(" C 0 9 CR "));
        f.clock.advance(199);
        QCOMPARE(f.receive(), QString());
        f.clock.advance(1); // 200: no reply
        QCOMPARE(f.receive(), ReplyWindow::NoReplyMark);
        f.clock.advance(45); // 245: lines cleared
        QCOMPARE(f.transmit(), QString());
        QCOMPARE(f.receive(), QString());
        f.clock.advance(5); // 250: sent again
        QCOMPARE(f.transmit(), QStringLiteral(" C 0 9 CR "));
        QCOMPARE(f.line.writes().size(), 2);
        f.release(QStringLiteral("Command1"));
    }

    // Any mouse button holds, with any modifier; the release ends the hold
    // wherever the pointer is by then.
    void anyMouseButtonHolds_data()
    {
        QTest::addColumn<Qt::MouseButton>("mouseButton");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers{};
        QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers{};
        QTest::newRow("middle") << Qt::MiddleButton << Qt::KeyboardModifiers{};
        QTest::newRow("left with Shift") << Qt::LeftButton << Qt::KeyboardModifiers{Qt::ShiftModifier};
        QTest::newRow("right with Ctrl") << Qt::RightButton << Qt::KeyboardModifiers{Qt::ControlModifier};
        QTest::newRow("middle with Shift+Alt")
            << Qt::MiddleButton << Qt::KeyboardModifiers{Qt::ShiftModifier | Qt::AltModifier};
    }
    void anyMouseButtonHolds()
    {
        QFETCH(Qt::MouseButton, mouseButton);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        HoldFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QPushButton* plus = f.button(QStringLiteral("Command1"));
        QTest::mousePress(plus, mouseButton, modifiers);
        QVERIFY(plus->isDown());
        f.clock.advance(1100);
        // Released over the window's corner, far from the button.
        QTest::mouseRelease(&f.window, mouseButton, modifiers, QPoint(2, 2));
        QVERIFY(!plus->isDown());
        f.clock.advance(5000);
        QCOMPARE(f.sendTimes(), every(0, 250, 5));
        QCOMPARE(f.line.written(), QByteArray("C09\rC09\rC09\rC09\rC09\r"));
        QVERIFY(!f.engine.commands().isRepeating());
    }

    void keyboardAndClicksSendNothing()
    {
        HoldFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const char* held[] = {"Command1", "Command2", "Command15", "Command35", "Command48", "Command49", "Command50",
            "Command51", "Command6", "Command5", "Command7", "Command9", "Command8"};
        for (const char* name : held) {
            QPushButton* b = f.button(QString::fromLatin1(name));
            b->setFocus();
            QTest::keyClick(b, Qt::Key_Space);
            QTest::keyPress(b, Qt::Key_Space);
            f.clock.advance(600);
            QTest::keyRelease(b, Qt::Key_Space);
            QTest::keyClick(b, Qt::Key_Return);
            QTest::keyPress(b, Qt::Key_Enter, Qt::KeypadModifier);
            f.clock.advance(600);
            QTest::keyRelease(b, Qt::Key_Enter, Qt::KeypadModifier);
            b->click();
            f.clock.advance(600);
            QVERIFY2(f.line.written().isEmpty(), name);
            QVERIFY2(!f.engine.commands().isRepeating(), name);
        }
    }

    void doubleClickIsTwoPresses()
    {
        HoldFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QTest::mouseDClick(f.button(QStringLiteral("Command1")), Qt::RightButton);
        f.clock.advance(5000);
        QCOMPARE(f.line.written(), QByteArray("C09\rC09\r"));
        QVERIFY(!f.engine.commands().isRepeating());
        QVERIFY(!f.button(QStringLiteral("Command1"))->isDown());
    }

    void releaseBlanksTransmitAndReceiveButNotStatus()
    {
        HoldFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.button(QStringLiteral("Command44"))->click(); // STATUS
        f.line.receive("00\r");
        QCOMPARE(f.status(), QStringLiteral(" Power ON"));
        f.press(QStringLiteral("Command1"));
        f.line.receive("0");
        QVERIFY(!f.receive().isEmpty());
        f.clock.advance(100);
        const std::int64_t released = f.clock.nowMs();
        f.release(QStringLiteral("Command1"));
        QCOMPARE(f.transmit(), QString());
        QCOMPARE(f.receive(), QString());
        QCOMPARE(f.status(), QStringLiteral(" Power ON"));
        QCOMPARE(f.replies().reply(), QString());
        f.clock.advanceTo(released + 999);
        QCOMPARE(f.status(), QStringLiteral(" Power ON"));
        f.clock.advanceTo(released + 1000);
        QCOMPARE(f.status(), QString());
    }

    void releaseDropsThePendingReplyTimeout()
    {
        HoldFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QStringList received;
        connect(&f.replies(), &ReplyWindow::lineChanged, this, [&](TrafficLine line, const QString& text) {
            if (line == TrafficLine::Receive)
                received.append(text);
        });
        f.press(QStringLiteral("Command6")); // SELECT
        f.clock.advance(100);
        f.release(QStringLiteral("Command6"));
        f.clock.advance(500);
        f.line.receive("ab"); // a late reply, shown alone
        QCOMPARE(f.receive(), QStringLiteral(" a b "));
        f.clock.advance(499);
        QCOMPARE(f.receive(), QStringLiteral(" a b "));
        f.clock.advance(1); // 1000 ms after the release
        QCOMPARE(f.receive(), QString());
        f.clock.advance(5000);
        QVERIFY2(!received.contains(ReplyWindow::NoReplyMark), qPrintable(received.join(QLatin1Char('|'))));
        QCOMPARE(f.line.written(), QByteArray("C3F\r"));
    }

    void modalWindowEndsTheHold()
    {
        HoldFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.press(QStringLiteral("Command1"));
        QDialog box(&f.window);
        box.setWindowModality(Qt::ApplicationModal);
        box.show(); // the release would never reach the panel
        QVERIFY(!f.engine.commands().isRepeating());
        QVERIFY(!f.button(QStringLiteral("Command1"))->isDown());
        f.clock.advance(2000);
        QCOMPARE(f.line.written(), QByteArray("C09\r"));
        box.hide();
    }
};

QTEST_MAIN(HoldRepeatTest)
#include "tst_hold_repeat.moc"
