#include "VirtualClock.h"
#include "hub/GuessGuard.h"
#include "hub/HubLog.h"
#include "hub/RefusalLog.h"

#include <QTest>

using namespace orva;
using namespace orva::hub;

// orva-hub's log on the virtual clock: how a line shows a peer's text, how
// refusals are aggregated per peer and reason, and how a door's guard
// holds back an address that guesses its secret.
class HubLogTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void shown_data();
    void shown();
    void refusals_data();
    void refusals();
    void guard_data();
    void guard();
};

void HubLogTest::shown_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("C0 and DEL") << QStringLiteral("a\r\n\x1b[2J\x7f") << QByteArray("a\\x0d\\x0a\\x1b[2J\\x7f");
    QTest::newRow("C1: the 8-bit CSI") << QString::fromLatin1("\x9b"
                                                              "2J \x85")
                                       << QByteArray("\\x9b2J \\x85");
    QTest::newRow("letters beyond ASCII kept")
        << QString::fromLatin1("\xa0\xe9") + QChar(0x20ac) << QByteArray("\xc2\xa0\xc3\xa9\xe2\x82\xac");
}

void HubLogTest::shown()
{
    QFETCH(QString, text);
    QTEST(HubLog::shown(text), "line");
}

// Steps: "[N ]PEER REASON" PEER is refused N times (once without N) for
// REASON, "+MS" time passes. Lines are what the log writes, subject first.
void HubLogTest::refusals_data()
{
    QTest::addColumn<int>("maxKeys");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("a flood: the first in full, then a count a window")
        << 8 << QStringList{"1000 s1 ascii", "+9999", "+1", "500 s1 ascii", "+10000", "+10000"}
        << QStringList{"a101: s1: refused: ascii", "a101: s1: refused 999 more frames in 10 s: ascii",
               "a101: s1: refused 500 more frames in 10 s: ascii"};
    QTest::newRow("a quiet window: the next refusal in full again")
        << 8 << QStringList{"s1 ascii", "+10000", "+10000", "s1 ascii"}
        << QStringList{"a101: s1: refused: ascii", "a101: s1: refused: ascii"};
    QTest::newRow("each peer and reason apart")
        << 8 << QStringList{"3 s1 ascii", "2 s2 ascii", "s1 long", "+10000"}
        << QStringList{"a101: s1: refused: ascii", "a101: s2: refused: ascii", "a101: s1: refused: long",
               "a101: s1: refused 2 more frames in 10 s: ascii", "a101: s2: refused 1 more frames in 10 s: ascii"};
    QTest::newRow("peers beyond the bound counted together")
        << 2 << QStringList{"s1 x", "s2 x", "3 s3 x", "s4 x", "s1 x", "+10000"}
        << QStringList{"a101: s1: refused: x", "a101: s2: refused: x", "a101: s1: refused 1 more frames in 10 s: x",
               "refused 4 more requests in 10 s from peers beyond the 2 the log follows one by one"};
    QTest::newRow("a quiet peer makes room")
        << 1 << QStringList{"s1 x", "+20000", "s2 x", "s2 x", "+10000"}
        << QStringList{"a101: s1: refused: x", "a101: s2: refused: x", "a101: s2: refused 1 more frames in 10 s: x"};
}

void HubLogTest::refusals()
{
    QFETCH(int, maxKeys);
    QFETCH(QStringList, steps);

    VirtualClock clock;
    QStringList lines;
    RefusalLog log(
        clock,
        [&lines](const QString& subject, const QString& text) {
            lines.append(subject.isEmpty() ? text : subject + QStringLiteral(": ") + text);
        },
        maxKeys);
    for (const QString& step : steps) {
        if (step.startsWith(u'+')) {
            clock.advance(step.mid(1).toInt());
            continue;
        }
        QStringList words = step.split(u' ');
        const int times = words.size() == 3 ? words.takeFirst().toInt() : 1;
        for (int i = 0; i < times; ++i) {
            log.refuse({QStringLiteral("a101"), words.at(0), QStringLiteral("frames"), words.at(1),
                QStringLiteral("%1: refused: %2").arg(words.at(0), words.at(1))});
        }
    }
    QTEST(lines, "lines");
}

// Steps: "[N ]fail ADDRESS" a wrong secret from it (N times), "ok ADDRESS"
// the right one, "spread N" one wrong secret from each of N other
// addresses, "+MS" time passes, "? ADDRESS" the penalty left is noted.
void HubLogTest::guard_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<qint64>>("left");

    QTest::newRow("five wrong within a minute: 10 s") << QStringList{"4 fail a", "? a", "fail a", "? a", "+9999", "? a",
        "? b", "+1", "? a"} << QList<qint64>{0, 10000, 1, 0, 0};
    QTest::newRow("the right secret forgets") << QStringList{"4 fail a", "ok a", "fail a", "? a"} << QList<qint64>{0};
    QTest::newRow("failures a minute old forgotten")
        << QStringList{"4 fail a", "+60000", "fail a", "? a"} << QList<qint64>{0};
    QTest::newRow("after a penalty, counted afresh")
        << QStringList{"5 fail a", "+10000", "fail a", "? a", "4 fail a", "? a"} << QList<qint64>{0, 10000};
    QTest::newRow("a full table forgets the first to fail")
        << QStringList{"4 fail a", "+1", "spread 1024", "fail a", "? a"} << QList<qint64>{0};
}

void HubLogTest::guard()
{
    QFETCH(QStringList, steps);

    VirtualClock clock;
    const HubLog log;
    GuessGuard guard(QStringLiteral("pjlink"), QStringLiteral("password"), clock, log);
    QList<qint64> left;
    for (const QString& step : steps) {
        QStringList words = step.split(u' ');
        const int times = words.size() == 3 ? words.takeFirst().toInt() : 1;
        if (step.startsWith(u'+'))
            clock.advance(step.mid(1).toInt());
        else if (words.at(0) == QLatin1String("?"))
            left.append(guard.penaltyLeftMs(words.at(1)));
        else if (words.at(0) == QLatin1String("ok"))
            guard.succeeded(words.at(1));
        else if (words.at(0) == QLatin1String("spread"))
            for (int i = 0; i < words.at(1).toInt(); ++i)
                guard.failed(QStringLiteral("x%1").arg(i));
        else
            for (int i = 0; i < times; ++i)
                guard.failed(words.at(1));
    }
    QTEST(left, "left");
}

QTEST_GUILESS_MAIN(HubLogTest)
#include "tst_hub_log.moc"
