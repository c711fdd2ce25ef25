#include "PanelFixture.h"
#include "engine/timing/QtClock.h"

#include <QPushButton>
#include <QTest>

using namespace orva;

namespace {

// Every write to the three display lines, with the moment it happened.
struct LineLog
{
    explicit LineLog(PanelFixture& f)
    {
        QObject::connect(
            &f.replies(), &ReplyWindow::lineChanged, &f.replies(), [this, &f](TrafficLine line, const QString& text) {
                static const char* const names[] = {"Transmit", "Receive", "Status"};
                entries.append(QStringLiteral("%1 %2 \"%3\"").arg(f.clock.nowMs()).arg(names[int(line)], text));
            });
    }
    QStringList entries;
};

bool allLinesBlank(PanelFixture& f)
{
    return f.transmit().isEmpty() && f.receive().isEmpty() && f.status().isEmpty();
}

const QString Mark = QStringLiteral(" X X X X");

} // namespace

// The reply timeout and the clear delay on the virtual clock.
class DisplayTimersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void noReplyAfterStartup()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("C00"));
        f.clock.advanceTo(499);
        QCOMPARE(f.receive(), QString());
        QVERIFY(f.replies().isAwaitingReply());
        f.clock.advanceTo(500);
        QCOMPARE(f.receive(), Mark);
        QCOMPARE(f.transmit(), QStringLiteral(" C 0 0 CR "));
        QVERIFY(!f.replies().isAwaitingReply());
        QVERIFY(!f.replies().isReplyTimeoutRunning());
        f.clock.advanceTo(999);
        QCOMPARE(f.receive(), Mark);
        f.clock.advanceTo(1000);
        QVERIFY(allLinesBlank(f));
        QVERIFY(!f.replies().isClearDelayRunning());
        f.clock.advanceTo(10000); // one-shot: nothing more happens
        QVERIFY(allLinesBlank(f));
    }

    void replyInTwoPartsWithinTheTimeoutIsShownAsOne()
    {
        PanelFixture f;
        f.replies().sendCode(QStringLiteral("CR0"));
        f.clock.advanceTo(100);
        f.line.receive("0");
        f.clock.advanceTo(300);
        f.line.receive("0\r");
        QCOMPARE(f.receive(), QStringLiteral(" 0 0 CR "));
        f.clock.advanceTo(500);
        QCOMPARE(f.receive(), QStringLiteral(" 0 0 CR ")); // no mark
        QCOMPARE(f.status(), QStringLiteral(" Power ON"));
        QCOMPARE(f.replies().reply(), QString());
        f.clock.advanceTo(1000);
        QVERIFY(allLinesBlank(f));
    }

    // The reply timeout has emptied the buffer before the first byte came,
    // so the late reply replaces the mark and is shown on its own.
    void replyStartingAfterTheTimeout()
    {
        PanelFixture f;
        LineLog log(f);
        f.replies().sendCode(QStringLiteral("CR0"));
        f.clock.advanceTo(600);
        f.line.receive("80");
        f.clock.advanceTo(650);
        f.line.receive("\r");
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

    // When both fall due at once, the reply timeout started first and ticks
    // first: the mark is written and the clear delay blanks it at once.
    void equalIntervalsTickInStartOrder_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QStringList>("after"); // what else ticks at the same moment

        QTest::newRow("brightness, 25 and 25 after the send") << "Command15" << 25 << QStringList{};
        QTest::newRow("arrow after D.Zoom, 5 and 5 before the send, 5 ms repeat")
            << "Command5" << 5 << QStringList{R"(Transmit " C 3 C CR ")"};
    }
    void equalIntervalsTickInStartOrder()
    {
        QFETCH(QString, held);
        QFETCH(int, interval);
        QFETCH(QStringList, after);
        PanelFixture f;
        auto* zoom = f.window.control<QPushButton>("Command48");
        QTest::mousePress(zoom, Qt::LeftButton);
        QTest::mouseRelease(zoom, Qt::LeftButton);
        f.clock.advanceTo(1000);
        QTest::mousePress(f.window.findChild<QPushButton*>(held), Qt::LeftButton);
        LineLog log(f);
        f.clock.advance(interval);
        const QString at = QString::number(1000 + interval) + u' ';
        QStringList expected{R"(Receive " X X X X")", R"(Transmit "")", R"(Receive "")", R"(Status "")"};
        expected += after;
        for (QString& entry : expected)
            entry.prepend(at);
        QCOMPARE(log.entries, expected);
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
