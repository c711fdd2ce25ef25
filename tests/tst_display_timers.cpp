#include "PanelFixture.h"
#include "display/QtClock.h"

#include <QTest>

using namespace orva;

namespace {

// Every write to the three display lines, with the moment it happened.
struct LineLog
{
    explicit LineLog(PanelFixture& f)
    {
        QObject::connect(
            &f.lines(), &TrafficLines::changed, &f.lines(), [this, &f](TrafficLines::Line line, const QString& text) {
                static const char* const names[] = {"Transmit", "Receive", "Status"};
                entries.append(QStringLiteral("%1 %2 \"%3\"").arg(f.clock.nowMs()).arg(names[line], text));
            });
    }
    QStringList entries;
};

bool allLinesBlank(PanelFixture& f)
{
    return f.lines().transmit().isEmpty() && f.lines().receive().isEmpty() && f.lines().status().isEmpty();
}

const QString Mark = QStringLiteral(" X X X X");

} // namespace

// The reply timeout (Timer2), the clear delay (Timer4) and the port-settings
// frame timer (Timer3) on the virtual clock. Intervals are written through
// the timers the way the buttons write them.
class DisplayTimersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void noReplyAfterStartup()
    {
        PanelFixture f;
        f.form.link().sendCode(QStringLiteral("C00"));
        f.clock.advanceTo(499);
        QCOMPARE(f.lines().receive(), QString());
        QCOMPARE(f.state().AwaitingReply, quint8(1));
        f.clock.advanceTo(500);
        QCOMPARE(f.lines().receive(), Mark);
        QCOMPARE(f.lines().transmit(), QStringLiteral(" C 0 0 CR "));
        QCOMPARE(f.state().AwaitingReply, quint8(0));
        QVERIFY(!f.timers().Timer2->isEnabled());
        f.clock.advanceTo(999);
        QCOMPARE(f.lines().receive(), Mark);
        f.clock.advanceTo(1000);
        QVERIFY(allLinesBlank(f));
        QVERIFY(!f.timers().Timer4->isEnabled());
        f.clock.advanceTo(10000); // one-shot: nothing more happens
        QVERIFY(allLinesBlank(f));
    }

    void replyInTwoPartsWithinTheTimeoutIsShownAsOne()
    {
        PanelFixture f;
        f.form.link().sendCode(QStringLiteral("CR0"));
        f.clock.advanceTo(100);
        f.comm.receive("0");
        f.clock.advanceTo(300);
        f.comm.receive("0\r");
        QCOMPARE(f.lines().receive(), QStringLiteral(" 0 0 CR "));
        f.clock.advanceTo(500);
        QCOMPARE(f.lines().receive(), QStringLiteral(" 0 0 CR ")); // no mark
        QCOMPARE(f.lines().status(), QStringLiteral(" Power ON"));
        QCOMPARE(f.state().ReplyBuffer, QString());
        f.clock.advanceTo(1000);
        QVERIFY(allLinesBlank(f));
    }

    // The reply timeout has emptied the buffer before the first byte came,
    // so the late reply replaces the mark and is shown on its own.
    void replyStartingAfterTheTimeout()
    {
        PanelFixture f;
        LineLog log(f);
        f.form.link().sendCode(QStringLiteral("CR0"));
        f.clock.advanceTo(600);
        f.comm.receive("80");
        f.clock.advanceTo(650);
        f.comm.receive("\r");
        f.clock.advanceTo(1000);
        QCOMPARE(log.entries,
            (QStringList{
                R"(0 Transmit " C R 0 CR ")",
                R"(500 Receive " X X X X")",
                R"(600 Receive " 8 0 ")",
                R"(600 Status " Stand by")",
                R"(650 Receive " 8 0 CR ")",
                R"(650 Status " Stand by")",
                R"(1000 Transmit "")",
                R"(1000 Receive "")",
                R"(1000 Status "")",
            }));
    }

    // Each pair stays in force for the sends that follow, including those of
    // buttons that set no intervals ("STATUS" here).
    void timingPairInForce_data()
    {
        QTest::addColumn<int>("replyTimeout");
        QTest::addColumn<int>("clearDelay");
        QTest::addColumn<bool>("set");

        QTest::newRow("start-up") << 500 << 1000 << false;
        QTest::newRow("picture mode") << 2000 << 2500 << true;
        QTest::newRow("input source") << 5000 << 5500 << true;
    }
    void timingPairInForce()
    {
        QFETCH(int, replyTimeout);
        QFETCH(int, clearDelay);
        QFETCH(bool, set);
        PanelFixture f;
        if (set) {
            f.timers().Timer2->setInterval(replyTimeout);
            f.timers().Timer4->setInterval(clearDelay);
        }
        for (const QString& code : {QStringLiteral("C11"), QStringLiteral("CR0")}) {
            const std::int64_t sent = f.clock.nowMs();
            f.form.link().sendCode(code);
            f.clock.advanceTo(sent + replyTimeout - 1);
            QVERIFY2(f.lines().receive().isEmpty(), qPrintable(code));
            f.clock.advanceTo(sent + replyTimeout);
            QCOMPARE(f.lines().receive(), Mark);
            f.clock.advanceTo(sent + clearDelay - 1);
            QCOMPARE(f.lines().receive(), Mark);
            f.clock.advanceTo(sent + clearDelay);
            QVERIFY2(allLinesBlank(f), qPrintable(code));
            f.clock.advance(100);
        }
    }

    // A held button's press retunes the pair after its send; its release
    // stops the reply timeout, blanks the transmit and receive lines at once
    // and starts a fresh one-second clear delay.
    void releaseCancelsThePendingReplyTimeout()
    {
        PanelFixture f;
        auto& t = f.timers();
        f.lines().setStatus(QStringLiteral(" Power ON"));
        f.form.link().sendCode(QStringLiteral("C09")); // press
        t.Timer2->setInterval(200);
        t.Timer4->setInterval(245);
        f.clock.advanceTo(100); // release
        t.Timer2->setEnabled(false);
        t.Timer4->setEnabled(true);
        f.lines().setTransmit(QString());
        f.lines().setReceive(QString());
        t.Timer2->setInterval(500);
        t.Timer4->setInterval(1000);
        f.state().ReplyBuffer.clear();

        f.clock.advanceTo(300);
        QCOMPARE(f.lines().receive(), QString()); // no mark for the last frame
        f.comm.receive("01\r");                   // a late reply is shown alone
        QCOMPARE(f.lines().receive(), QStringLiteral(" 0 1 CR "));
        f.clock.advanceTo(1099);
        QCOMPARE(f.lines().receive(), QStringLiteral(" 0 1 CR "));
        QCOMPARE(f.lines().status(), QStringLiteral(" Power ON"));
        f.clock.advanceTo(1100);
        QVERIFY(allLinesBlank(f));

        // The next button that sets nothing runs with 500 and 1000.
        f.form.link().sendCode(QStringLiteral("CR0"));
        f.clock.advanceTo(1600);
        QCOMPARE(f.lines().receive(), Mark);
        f.clock.advanceTo(2099);
        QCOMPARE(f.lines().receive(), Mark);
        f.clock.advanceTo(2100);
        QVERIFY(allLinesBlank(f));
    }

    // When both fall due at once, the reply timeout started first and ticks
    // first: the mark is written and the clear delay blanks it at once.
    void equalIntervalsTickInStartOrder_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("setBeforeSend");

        QTest::newRow("brightness, 25 and 25 after the send") << 25 << false;
        QTest::newRow("arrows after D.Zoom, 5 and 5 before the send") << 5 << true;
    }
    void equalIntervalsTickInStartOrder()
    {
        QFETCH(int, interval);
        QFETCH(bool, setBeforeSend);
        PanelFixture f;
        auto& t = f.timers();
        f.clock.advanceTo(1000);
        if (setBeforeSend) {
            t.Timer2->setInterval(interval);
            t.Timer4->setInterval(interval);
        }
        f.form.link().sendCode(QStringLiteral("C0A"));
        if (!setBeforeSend) {
            t.Timer2->setInterval(interval);
            t.Timer4->setInterval(interval);
        }
        LineLog log(f);
        f.clock.advance(interval);
        const QString at = QString::number(1000 + interval);
        QCOMPARE(log.entries,
            (QStringList{
                at + R"( Receive " X X X X")",
                at + R"( Transmit "")",
                at + R"( Receive "")",
                at + R"( Status "")",
            }));
        QVERIFY(!t.Timer2->isEnabled());
        QVERIFY(!t.Timer4->isEnabled());
    }

    void comFrameHidesAfterFiveSeconds()
    {
        PanelFixture f;
        QWidget* frame = f.form.control("Frame8");
        f.form.ports().Command33_Click();
        QVERIFY(frame->isVisibleTo(&f.form));
        f.clock.advanceTo(4999);
        QVERIFY(frame->isVisibleTo(&f.form));
        f.clock.advanceTo(5000);
        QVERIFY(!frame->isVisibleTo(&f.form));
        QVERIFY(!f.timers().Timer3->isEnabled());
        QCOMPARE(f.timers().Timer3->interval(), 5000);
    }

    // The data toggle stops and restarts Timer3 (as "Command34" does), so the
    // frame stays for five seconds counted from the toggle.
    void dataToggleRestartsTheFrameTimer()
    {
        PanelFixture f;
        QWidget* frame = f.form.control("Frame8");
        f.form.ports().Command33_Click();
        f.clock.advanceTo(3000);
        f.timers().Timer3->setEnabled(false);
        f.timers().Timer3->setEnabled(true);
        f.clock.advanceTo(7999);
        QVERIFY(frame->isVisibleTo(&f.form));
        f.clock.advanceTo(8000);
        QVERIFY(!frame->isVisibleTo(&f.form));
    }

    // A speed choice hides the frame but leaves Timer3 running; its tick
    // hides the hidden frame again and stops.
    void optionLeavesTheFrameTimerRunning()
    {
        PanelFixture f;
        QWidget* frame = f.form.control("Frame8");
        f.form.ports().Command33_Click();
        f.clock.advanceTo(1000);
        f.form.ports().Option10_Click();
        QVERIFY(!frame->isVisibleTo(&f.form));
        QVERIFY(f.timers().Timer3->isEnabled());
        f.clock.advanceTo(5000);
        QVERIFY(!frame->isVisibleTo(&f.form));
        QVERIFY(!f.timers().Timer3->isEnabled());
    }

    // On the event loop's timers, too, the countdown started first ticks
    // first when two end together.
    void qtClockTicksInStartOrder_data()
    {
        QTest::addColumn<bool>("firstStartsFirst");
        QTest::newRow("A started first") << true;
        QTest::newRow("B started first") << false;
    }
    void qtClockTicksInStartOrder()
    {
        QFETCH(bool, firstStartsFirst);
        QtClock clock;
        auto a = clock.createTimer(QStringLiteral("A"), 30);
        auto b = clock.createTimer(QStringLiteral("B"), 30);
        QStringList ticks;
        for (IntervalTimer* timer : {a.get(), b.get()})
            timer->setHandler([timer, &ticks] {
                ticks.append(timer->name());
                timer->setEnabled(false);
            });
        if (firstStartsFirst) {
            a->setEnabled(true);
            b->setEnabled(true);
        } else {
            b->setEnabled(true);
            a->setEnabled(true);
        }
        QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), 2, 10000);
        QCOMPARE(ticks, firstStartsFirst ? QStringList({"A", "B"}) : QStringList({"B", "A"}));
    }
};

QTEST_MAIN(DisplayTimersTest)
#include "tst_display_timers.moc"
