#include "FakeSerialLine.h"
#include "VirtualClock.h"
#include "engine/CommandExchange.h"
#include "engine/protocol/ReplyRules.h"
#include "engine/protocol/ValueNames.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/Projector.h"
#include "hub/Scheduler.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace orva;
using namespace orva::hub;

namespace {

// Top keys (timezone) come first in the text, before the projectors.
HubConfig configOf(const QByteArray& text)
{
    const QByteArray projectors = "[[projector]]\nname = \"a\"\nline = \"/dev/ttya\"\n"
                                  "[[projector]]\nname = \"b\"\nline = \"/dev/ttyb\"\n";
    const qsizetype firstTable = text.indexOf("[[");
    const ConfigResult read = parseHubConfig(
        text.left(firstTable) + projectors + text.mid(firstTable), QStringLiteral("hub.toml"), 0100600);
    if (!read.config)
        qFatal("%s", qPrintable(read.errors.join(u'\n')));
    return *read.config;
}

QByteArray schedule(const char* at, const char* more = "")
{
    return QByteArray("[[schedule]]\nname = \"off\"\naction = \"power-off\"\ntargets = [\"all\"]\nat = \"") + at
        + "\"\n" + more;
}

} // namespace

// Schedules run on two projectors with fake lines, the hub's clock virtual
// and the wall clock following it, one minute at a time; each minute that
// sent frames is noted with the projectors that got them.
class SchedulerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void runs_data();
    void runs();
};

void SchedulerTest::runs_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("start");     // the wall clock at the start, UTC
    QTest::addColumn<int>("minutes");       // how long the hub runs
    QTest::addColumn<int>("changeAfter");   // minutes; -1: nothing changes
    QTest::addColumn<QByteArray>("reload"); // the configuration then; empty: none
    QTest::addColumn<int>("jump");          // minutes the wall clock jumps then
    QTest::addColumn<QString>("runs");      // the minutes that sent frames, UTC

    const QByteArray berlin = "timezone = \"Europe/Berlin\"\n";
    const int day = 24 * 60;
    QTest::newRow("weekdays at 22:00, Friday to Tuesday")
        << berlin + schedule("Mon..Fri 22:00") << "2026-12-04T12:00:00Z" << 4 * day << -1 << QByteArray() << 0
        << "2026-12-04T21:00:00Z a b, 2026-12-07T21:00:00Z a b";
    QTest::newRow("disabled") << berlin + schedule("Mon..Fri 22:00", "enabled = false\n") << "2026-12-04T12:00:00Z"
                              << 4 * day << -1 << QByteArray() << 0 << "";
    QTest::newRow("02:30 on the day Berlin skips it")
        << berlin + schedule("*-*-* 02:30") << "2026-03-28T12:00:00Z" << 2 * day << -1 << QByteArray() << 0
        << "2026-03-30T00:30:00Z a b";
    QTest::newRow("02:30 on the day Berlin repeats it runs once")
        << berlin + schedule("*-*-* 02:30") << "2026-10-24T12:00:00Z" << day << -1 << QByteArray() << 0
        << "2026-10-25T00:30:00Z a b";
    // New York's times as systemd-analyze calendar gives them.
    const QByteArray newYork = "timezone = \"America/New_York\"\n";
    QTest::newRow("02:30 on the day New York skips it")
        << newYork + schedule("*-*-* 02:30") << "2026-03-07T12:00:00Z" << 2 * day << -1 << QByteArray() << 0
        << "2026-03-09T06:30:00Z a b";
    QTest::newRow("01:30 on the day New York repeats it runs once, at the first")
        << newYork + schedule("*-*-* 01:30") << "2026-10-31T12:00:00Z" << 2 * day << -1 << QByteArray() << 0
        << "2026-11-01T05:30:00Z a b, 2026-11-02T06:30:00Z a b";
    QTest::newRow("a reload moves the time") << berlin + schedule("*-*-* 20:00") << "2026-12-07T12:00:00Z" << day << 60
                                             << berlin + schedule("*-*-* 15:00") << 0 << "2026-12-07T14:00:00Z a b";
    QTest::newRow("every 15 minutes in UTC")
        << schedule("*:0/15 UTC") << "2026-12-07T12:05:00Z" << 35 << -1 << QByteArray() << 0
        << "2026-12-07T12:15:00Z a b, 2026-12-07T12:30:00Z a b";
    QTest::newRow("the wall clock set back after a run, then a reload, runs nothing twice")
        << berlin + schedule("*-*-* 22:00") << "2026-12-07T20:00:00Z" << 120 << 90 << berlin + schedule("*-*-* 22:00")
        << -60 << "2026-12-07T21:00:00Z a b";
    QTest::newRow("the wall clock jumping past a run skips it")
        << berlin + schedule("*-*-* 22:00") << "2026-12-07T20:00:00Z" << 120 << 30 << QByteArray() << 120 << "";
}

void SchedulerTest::runs()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, start);
    QFETCH(int, minutes);
    QFETCH(int, changeAfter);
    QFETCH(QByteArray, reload);
    QFETCH(int, jump);

    VirtualClock clock;
    const HubLog log;
    std::map<QString, std::unique_ptr<Projector>> projectors;
    std::map<QString, FakeSerialLine*> lines;
    const HubConfig first = configOf(config);
    for (const ProjectorConfig& projectorConfig : first.projectors) {
        auto line = std::make_unique<FakeSerialLine>();
        lines[projectorConfig.name] = line.get();
        auto projector = std::make_unique<Projector>(projectorConfig, 0, 500, std::move(line), clock, log);
        projector->start();
        projectors[projectorConfig.name] = std::move(projector);
    }
    std::int64_t wallOffset = QDateTime::fromString(start, Qt::ISODate).toMSecsSinceEpoch();
    const auto wallNow = [&clock, &wallOffset] { return wallOffset + clock.nowMs(); };
    Scheduler scheduler(clock, wallNow, log, [&projectors](const QString& name) {
        const auto it = projectors.find(name);
        return it == projectors.end() ? nullptr : it->second.get();
    });
    scheduler.setConfig(first);
    scheduler.start();

    const QString code = ExchangeRequest::of(*commandOfHttpAction(u"power-off")).code;
    QStringList runs;
    for (int minute = 1; minute <= minutes; ++minute) {
        if (minute == changeAfter) {
            wallOffset += std::int64_t(jump) * 60'000;
            if (!reload.isEmpty())
                scheduler.setConfig(configOf(reload));
        }
        clock.advance(60'000);
        QStringList sentTo;
        for (const auto& [name, line] : lines) {
            if (line->written().isEmpty())
                continue;
            QCOMPARE(QString::fromLatin1(line->written()).trimmed(), code);
            sentTo.append(name);
            line->clearWritten();
            line->receive(QByteArray(1, char(Ack.unicode())));
        }
        QCoreApplication::processEvents();
        // Runs are due on whole minutes; the minute this one went out in.
        if (!sentTo.isEmpty())
            runs.append(QDateTime::fromMSecsSinceEpoch(wallNow() / 60'000 * 60'000, Qt::UTC).toString(Qt::ISODate)
                + u' ' + sentTo.join(u' '));
    }
    clock.advance(1);
    QCoreApplication::processEvents();
    QTEST(runs.join(QLatin1String(", ")), "runs");

    // The last run as the HTTP door shows it, and the runs counted.
    const QJsonObject shown = scheduler.json().value(QStringLiteral("schedules")).toArray().first().toObject();
    const QJsonArray results
        = shown.value(QStringLiteral("last")).toObject().value(QStringLiteral("results")).toArray();
    QCOMPARE(results.size(), runs.isEmpty() ? 0 : 2);
    for (const auto& result : results)
        QVERIFY2(result.toObject().value(QStringLiteral("ok")).toBool(),
            QJsonDocument(result.toObject()).toJson().constData());
    QVERIFY2(scheduler.metrics().contains(
                 "orva_schedule_runs_total{schedule=\"off\",outcome=\"ok\"} " + QByteArray::number(runs.size()) + '\n'),
        scheduler.metrics().constData());
}

QTEST_GUILESS_MAIN(SchedulerTest)
#include "tst_scheduler.moc"
