#include "VirtualClock.h"

#include <QTest>

using namespace orva;

// The timer model every handler relies on, on the virtual clock.
class VirtualClockTest : public QObject
{
    Q_OBJECT

    struct Recorder
    {
        VirtualClock& clock;
        QStringList ticks;
        void bind(IntervalTimer& timer)
        {
            timer.setHandler(
                [this, &timer] { ticks.append(QStringLiteral("%1@%2").arg(timer.name()).arg(clock.nowMs())); });
        }
    };

private Q_SLOTS:
    void stoppedTimerNeverTicks()
    {
        VirtualClock clock;
        auto timer = clock.createTimer(QStringLiteral("T"), 100);
        Recorder rec{clock, {}};
        rec.bind(*timer);
        clock.advance(1000);
        QVERIFY(rec.ticks.isEmpty());
        QCOMPARE(clock.nowMs(), 1000);
    }

    void enabledTimerTicksEveryInterval()
    {
        VirtualClock clock;
        auto timer = clock.createTimer(QStringLiteral("T"), 250);
        Recorder rec{clock, {}};
        rec.bind(*timer);
        timer->setEnabled(true);
        clock.advance(1000);
        QCOMPARE(rec.ticks, (QStringList{"T@250", "T@500", "T@750", "T@1000"}));
    }

    void disablingStopsWithoutTick()
    {
        VirtualClock clock;
        auto timer = clock.createTimer(QStringLiteral("T"), 100);
        Recorder rec{clock, {}};
        rec.bind(*timer);
        timer->setEnabled(true);
        clock.advance(99);
        timer->setEnabled(false);
        clock.advance(500);
        QVERIFY(rec.ticks.isEmpty());
    }

    void intervalWriteOnRunningTimerRestartsFromTheWrite()
    {
        VirtualClock clock;
        auto timer = clock.createTimer(QStringLiteral("T"), 500);
        Recorder rec{clock, {}};
        rec.bind(*timer);
        timer->setEnabled(true);
        clock.advance(300);
        timer->setInterval(200);
        clock.advance(1000);
        QCOMPARE(rec.ticks.first(), QStringLiteral("T@500"));
        QCOMPARE(rec.ticks.at(1), QStringLiteral("T@700"));
    }

    void intervalWriteOnStoppedTimerOnlyStores()
    {
        VirtualClock clock;
        auto timer = clock.createTimer(QStringLiteral("T"), 500);
        Recorder rec{clock, {}};
        rec.bind(*timer);
        timer->setInterval(100);
        clock.advance(1000);
        QVERIFY(rec.ticks.isEmpty());
        QCOMPARE(timer->interval(), 100);
        timer->setEnabled(true);
        clock.advance(100);
        QCOMPARE(rec.ticks, QStringList{"T@1100"});
    }

    void enablingRunningTimerLetsCountdownRunOn()
    {
        VirtualClock clock;
        auto timer = clock.createTimer(QStringLiteral("T"), 500);
        Recorder rec{clock, {}};
        rec.bind(*timer);
        timer->setEnabled(true);
        clock.advance(400);
        timer->setEnabled(true);
        clock.advance(100);
        QCOMPARE(rec.ticks, QStringList{"T@500"});
    }

    // Two countdowns ending at the same moment tick in the order they were
    // started, whichever timer was made first.
    void tiesGoToTheCountdownStartedFirst()
    {
        VirtualClock clock;
        auto first = clock.createTimer(QStringLiteral("A"), 25);
        auto second = clock.createTimer(QStringLiteral("B"), 25);
        Recorder rec{clock, {}};
        rec.bind(*first);
        rec.bind(*second);
        second->setEnabled(true);
        first->setEnabled(true);
        clock.advance(25);
        QCOMPARE(rec.ticks, (QStringList{"B@25", "A@25"}));
    }

    // A handler that stops another timer due at the same moment prevents
    // its tick; ticks never run inside another handler.
    void tickHandlersRunOneAtATime()
    {
        VirtualClock clock;
        auto a = clock.createTimer(QStringLiteral("A"), 10);
        auto b = clock.createTimer(QStringLiteral("B"), 10);
        int depth = 0;
        int maxDepth = 0;
        int bTicks = 0;
        a->setHandler([&] {
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            b->setEnabled(false);
            a->setEnabled(false);
            --depth;
        });
        b->setHandler([&] { ++bTicks; });
        a->setEnabled(true);
        b->setEnabled(true);
        clock.advance(100);
        QCOMPARE(bTicks, 0);
        QCOMPARE(maxDepth, 1);
    }
};

QTEST_APPLESS_MAIN(VirtualClockTest)
#include "tst_virtual_clock.moc"
