#include "hub/CalendarEvent.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace orva::hub;
using namespace Qt::StringLiterals;

// Calendar events as schedules use them: the next elapses across the
// daylight-saving changes of Europe and the US, and the column of what is
// refused. The expected times are systemd-analyze's own.
class TestCalendarEvent : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void nextTimes_data();
    void nextTimes();
    void oracleAgrees_data() { nextTimes_data(); }
    void oracleAgrees();
    void refused_data();
    void refused();
};

// Pasted from systemd 252, once per row:
//   TZ=ZONE systemd-analyze calendar --iterations=3 --base-time="AFTER" EXPRESSION
// (its "(in UTC)" lines); oracleAgrees runs it again, so that the table cannot drift.
void TestCalendarEvent::nextTimes_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("weekdays at eight") << u"Mon..Fri 08:00"_s << u"Europe/Berlin"_s << u"2026-03-27T06:30:00Z"_s
                                       << QStringList{u"2026-03-27T07:00:00Z"_s, u"2026-03-30T06:00:00Z"_s,
                                              u"2026-03-31T06:00:00Z"_s};
    QTest::newRow("weekend list") << u"Sat,Sun *-*-* 10:00"_s << u"America/New_York"_s << u"2026-03-06T12:00:00Z"_s
                                  << QStringList{u"2026-03-07T15:00:00Z"_s, u"2026-03-08T14:00:00Z"_s,
                                         u"2026-03-14T14:00:00Z"_s};
    QTest::newRow("every quarter hour") << u"*:0/15"_s << u"UTC"_s << u"2026-06-01T10:07:30Z"_s
                                        << QStringList{u"2026-06-01T10:15:00Z"_s, u"2026-06-01T10:30:00Z"_s,
                                               u"2026-06-01T10:45:00Z"_s};
    QTest::newRow("every two hours by day")
        << u"8..18/2:00"_s << u"Europe/Berlin"_s << u"2026-03-29T15:00:00Z"_s
        << QStringList{u"2026-03-29T16:00:00Z"_s, u"2026-03-30T06:00:00Z"_s, u"2026-03-30T08:00:00Z"_s};
    QTest::newRow("seconds written out") << u"*-*-* 12:00:30"_s << u"UTC"_s << u"2026-06-01T12:00:30Z"_s
                                         << QStringList{u"2026-06-02T12:00:30Z"_s, u"2026-06-03T12:00:30Z"_s,
                                                u"2026-06-04T12:00:30Z"_s};
    QTest::newRow("spring gap skips a day Berlin")
        << u"*-*-* 02:30"_s << u"Europe/Berlin"_s << u"2026-03-28T12:00:00Z"_s
        << QStringList{u"2026-03-30T00:30:00Z"_s, u"2026-03-31T00:30:00Z"_s, u"2026-04-01T00:30:00Z"_s};
    QTest::newRow("hourly across the spring gap Berlin")
        << u"hourly"_s << u"Europe/Berlin"_s << u"2026-03-29T00:30:00Z"_s
        << QStringList{u"2026-03-29T01:00:00Z"_s, u"2026-03-29T02:00:00Z"_s, u"2026-03-29T03:00:00Z"_s};
    QTest::newRow("steps into the spring gap Berlin")
        << u"*:0/20"_s << u"Europe/Berlin"_s << u"2026-03-29T00:50:00Z"_s
        << QStringList{u"2026-03-29T01:00:00Z"_s, u"2026-03-29T01:20:00Z"_s, u"2026-03-29T01:40:00Z"_s};
    QTest::newRow("repeated hour runs once Berlin")
        << u"*:30"_s << u"Europe/Berlin"_s << u"2026-10-25T00:10:00Z"_s
        << QStringList{u"2026-10-25T00:30:00Z"_s, u"2026-10-25T02:30:00Z"_s, u"2026-10-25T03:30:00Z"_s};
    QTest::newRow("daily in the repeated hour Berlin")
        << u"*-*-* 02:30"_s << u"Europe/Berlin"_s << u"2026-10-24T12:00:00Z"_s
        << QStringList{u"2026-10-25T00:30:00Z"_s, u"2026-10-26T01:30:00Z"_s, u"2026-10-27T01:30:00Z"_s};
    QTest::newRow("from inside the second pass Berlin")
        << u"*:30"_s << u"Europe/Berlin"_s << u"2026-10-25T01:10:00Z"_s
        << QStringList{u"2026-10-25T01:30:00Z"_s, u"2026-10-25T02:30:00Z"_s, u"2026-10-25T03:30:00Z"_s};
    QTest::newRow("spring gap skips a day New York")
        << u"*-*-* 02:30"_s << u"America/New_York"_s << u"2026-03-07T12:00:00Z"_s
        << QStringList{u"2026-03-09T06:30:00Z"_s, u"2026-03-10T06:30:00Z"_s, u"2026-03-11T06:30:00Z"_s};
    QTest::newRow("seconds across the gap New York")
        << u"*:59:40/10"_s << u"America/New_York"_s << u"2026-03-08T06:59:00Z"_s
        << QStringList{u"2026-03-08T06:59:40Z"_s, u"2026-03-08T06:59:50Z"_s, u"2026-03-08T07:59:40Z"_s};
    QTest::newRow("daily in the repeated hour New York")
        << u"*-*-* 01:30"_s << u"America/New_York"_s << u"2026-10-31T12:00:00Z"_s
        << QStringList{u"2026-11-01T05:30:00Z"_s, u"2026-11-02T06:30:00Z"_s, u"2026-11-03T06:30:00Z"_s};
    QTest::newRow("half-hourly across fall New York")
        << u"*:0/30"_s << u"America/New_York"_s << u"2026-11-01T05:10:00Z"_s
        << QStringList{u"2026-11-01T05:30:00Z"_s, u"2026-11-01T07:00:00Z"_s, u"2026-11-01T07:30:00Z"_s};
    QTest::newRow("weekly over the spring change")
        << u"weekly"_s << u"Europe/Berlin"_s << u"2026-03-25T12:00:00Z"_s
        << QStringList{u"2026-03-29T22:00:00Z"_s, u"2026-04-05T22:00:00Z"_s, u"2026-04-12T22:00:00Z"_s};
    QTest::newRow("monthly") << u"monthly"_s << u"America/New_York"_s << u"2026-01-15T00:00:00Z"_s
                             << QStringList{
                                    u"2026-02-01T05:00:00Z"_s, u"2026-03-01T05:00:00Z"_s, u"2026-04-01T04:00:00Z"_s};
    QTest::newRow("leap day") << u"*-02-29 06:00"_s << u"UTC"_s << u"2026-01-01T00:00:00Z"_s
                              << QStringList{
                                     u"2028-02-29T06:00:00Z"_s, u"2032-02-29T06:00:00Z"_s, u"2036-02-29T06:00:00Z"_s};
    QTest::newRow("own zone wins") << u"*-*-* 02:30 Europe/Berlin"_s << u"America/New_York"_s
                                   << u"2026-03-28T12:00:00Z"_s
                                   << QStringList{u"2026-03-30T00:30:00Z"_s, u"2026-03-31T00:30:00Z"_s,
                                          u"2026-04-01T00:30:00Z"_s};
    QTest::newRow("first Monday of the month")
        << u"Mon *-*-1..7 12:00"_s << u"Europe/Berlin"_s << u"2026-03-01T00:00:00Z"_s
        << QStringList{u"2026-03-02T11:00:00Z"_s, u"2026-04-06T10:00:00Z"_s, u"2026-05-04T10:00:00Z"_s};
    QTest::newRow("quarterly") << u"quarterly"_s << u"America/New_York"_s << u"2026-02-10T00:00:00Z"_s
                               << QStringList{
                                      u"2026-04-01T04:00:00Z"_s, u"2026-07-01T04:00:00Z"_s, u"2026-10-01T04:00:00Z"_s};
    QTest::newRow("year list and range") << u"2026,2028..2030-11-01 01:30"_s << u"America/New_York"_s
                                         << u"2026-06-01T00:00:00Z"_s
                                         << QStringList{u"2026-11-01T05:30:00Z"_s, u"2028-11-01T05:30:00Z"_s,
                                                u"2029-11-01T05:30:00Z"_s};
}

void TestCalendarEvent::nextTimes()
{
    QFETCH(QString, expression);
    QFETCH(QString, zone);
    QFETCH(QString, after);
    QFETCH(QStringList, expected);

    const auto parsed = CalendarEvent::parse(expression);
    QVERIFY(std::holds_alternative<CalendarEvent>(parsed));
    QDateTime moment = QDateTime::fromString(after, Qt::ISODate);
    QStringList times;
    for (int i = 0; i < 3; ++i) {
        const auto next = std::get<CalendarEvent>(parsed).nextAfter(moment, QTimeZone(zone.toUtf8()));
        QVERIFY(next);
        moment = *next;
        times << moment.toUTC().toString(Qt::ISODate);
    }
    QCOMPARE(times, expected);
}

void TestCalendarEvent::oracleAgrees()
{
    QFETCH(QString, expression);
    QFETCH(QString, zone);
    QFETCH(QString, after);
    QFETCH(QStringList, expected);

    // Child processes on the machine's time: only in the realtime run that asks for it.
    if (!qEnvironmentVariableIsSet("ORVA_CALENDAR_ORACLE"))
        QSKIP("the live oracle runs as test_calendar_event_oracle");
    const QString analyze = QStandardPaths::findExecutable(u"systemd-analyze"_s);
    if (analyze.isEmpty())
        QSKIP("systemd-analyze is not installed");
    QProcess oracle;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TZ"_s, zone);
    oracle.setProcessEnvironment(environment);
    const QString base = QDateTime::fromString(after, Qt::ISODate).toString(u"yyyy-MM-dd HH:mm:ss 'UTC'"_s);
    oracle.start(analyze, {u"calendar"_s, u"--iterations=3"_s, u"--base-time="_s + base, expression});
    QVERIFY(oracle.waitForFinished(30000));
    QCOMPARE(oracle.exitCode(), 0);
    // Every elapse is printed in UTC, on its own line or on the "(in UTC)" line after it.
    static const QRegularExpression inUtc(
        uR"(: \w+ (\d{4}-\d\d-\d\d) (\d\d:\d\d:\d\d) UTC$)"_s, QRegularExpression::MultilineOption);
    QStringList times;
    for (auto match = inUtc.globalMatch(QString::fromUtf8(oracle.readAllStandardOutput())); match.hasNext();) {
        const auto found = match.next();
        times << found.captured(1) + u'T' + found.captured(2) + u'Z';
    }
    QCOMPARE(times, expected);
}

void TestCalendarEvent::refused_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("reason"); // a part of it

    QTest::newRow("empty") << u"  "_s << 1 << u"empty"_s;
    QTest::newRow("weekdays backwards") << u"Fri..Mon 10:00"_s << 6 << u"Monday to Sunday"_s;
    QTest::newRow("not a weekday") << u"Funday 10:00"_s << 1 << u"not a weekday"_s;
    QTest::newRow("hour 25") << u"Mon..Fri 25:00"_s << 10 << u"25 is out of range 0..23"_s;
    QTest::newRow("month 13") << u"*-13-01"_s << 3 << u"out of range 1..12"_s;
    QTest::newRow("second 60") << u"*-*-* 8:00:60"_s << 12 << u"out of range 0..59"_s;
    QTest::newRow("range backwards") << u"10..8:00"_s << 3 << u"backwards"_s;
    QTest::newRow("star step") << u"*:*/15"_s << 4 << u"needs a start"_s;
    QTest::newRow("step zero") << u"10/0:00"_s << 4 << u"step of 1 or more"_s;
    QTest::newRow("last days") << u"*-*~1"_s << 4 << u"'~'"_s;
    QTest::newRow("fraction of a second") << u"12:00:30.5"_s << 9 << u"fractions"_s;
    QTest::newRow("unknown zone") << u"12:00 Mars/Olympus"_s << 7 << u"not a known time zone"_s;
    QTest::newRow("date after time") << u"12:00 2026-01-01"_s << 7 << u"nothing but a time zone"_s;
    QTest::newRow("four date parts") << u"1-2-3-4"_s << 1 << u"YEAR-MONTH-DAY"_s;
    QTest::newRow("shorthand and a time") << u"daily 12:00"_s << 7 << u"nothing but a time zone"_s;
    QTest::newRow("empty list item") << u"*-*-1,,3"_s << 7 << u"missing"_s;
}

void TestCalendarEvent::refused()
{
    QFETCH(QString, expression);
    QFETCH(int, column);
    QFETCH(QString, reason);

    const auto parsed = CalendarEvent::parse(expression);
    QVERIFY(std::holds_alternative<CalendarEvent::ParseError>(parsed));
    const auto& error = std::get<CalendarEvent::ParseError>(parsed);
    QVERIFY2(error.reason.contains(reason), qPrintable(error.reason));
    QCOMPARE(error.column, column);
}

QTEST_GUILESS_MAIN(TestCalendarEvent)
#include "tst_calendar_event.moc"
