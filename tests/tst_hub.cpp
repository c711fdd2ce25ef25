#include "FakeSerialLine.h"
#include "PollRound.h"
#include "VirtualClock.h"
#include "hub/Hub.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/Projector.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

using namespace orva;
using namespace orva::hub;

namespace {

// Projectors by name ("a", "b", ...): each on its own line, polled every
// 5 s unless a row says otherwise.
QByteArray projectors(const QByteArray& top, const QList<QByteArray>& each)
{
    QByteArray text = top;
    for (const QByteArray& projector : each) {
        const QByteArray name = projector.left(1);
        text += "[[projector]]\nname = \"" + name + "\"\nline = \"/dev/tty" + name + "\"\n" + projector.mid(1) + '\n';
    }
    return text;
}

HubConfig configOf(const QByteArray& text)
{
    const ConfigResult read = parseHubConfig(text, QStringLiteral("hub.toml"), 0100600);
    if (!read.config)
        qFatal("%s", qPrintable(read.errors.join(u'\n')));
    return *read.config;
}

} // namespace

// A reload of the hub on fake lines and the virtual clock: what is kept,
// what is made again. Before the reload every projector has answered its
// first poll round, and projector a has a client's request on the line and
// one waiting behind it.
class HubTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reload_data();
    void reload();
};

void HubTest::reload_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("kept");   // projectors still the same, with their values and clients
    QTest::addColumn<QString>("opened"); // lines the reload made, in order
    QTest::addColumn<QString>("counts"); // added, removed, changed

    const QByteArray top = "poll-interval-ms = 5000\n";
    const auto row
        = [&top](const char* name, const QList<QByteArray>& before, const QList<QByteArray>& after, const char* kept,
              const char* opened, const char* counts, const QByteArray& newTop = {}, const QByteArray& oldTop = {}) {
              QTest::newRow(name) << projectors(oldTop.isEmpty() ? top : oldTop, before)
                                  << projectors(newTop.isEmpty() ? top : newTop, after) << QString::fromLatin1(kept)
                                  << QString::fromLatin1(opened) << QString::fromLatin1(counts);
          };
    row("the same file", {"a", "b"}, {"a", "b"}, "a b", "", "0 0 0");
    row("one added", {"a"}, {"a", "b"}, "a", "b", "1 0 0");
    row("the one with a client removed", {"a", "b"}, {"b"}, "b", "", "0 1 0");
    row("a line changed", {"a", "b"}, {"a", "bspeed = 9600"}, "a", "b", "0 0 1");
    row("the poll interval changed", {"a", "b"}, {"a", "b"}, "", "a b", "0 0 2", "poll-interval-ms = 6000\n");
    row("the reply timeout changed", {"a"}, {"a"}, "", "a", "0 0 1", top + "reply-timeout-ms = 900\n");
    row("a door's settings alone", {"a"}, {"ashare-allow = [\"10.1.2.0/24\"]"}, "a", "", "0 0 1");
    row("its own address, no doors", {"a"}, {"alisten = [\"127.0.0.2\"]"}, "a", "", "0 0 1");
    row("added, removed and changed at once", {"a", "b", "c"}, {"d", "a", "bspeed = 9600"}, "a", "d b", "1 1 1");
    // DIR: a directory of the test's own. A power on after the reload is
    // audited in the file the new configuration names.
    row("another audit file: the next line goes there", {"a"}, {"a"}, "a", "", "0 0 0",
        top + "audit-log = \"DIR/new.jsonl\"\n", top + "audit-log = \"DIR/old.jsonl\"\n");
}

void HubTest::reload()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    before.replace("DIR", dir.path().toUtf8());
    after.replace("DIR", dir.path().toUtf8());

    VirtualClock clock;
    const HubLog log;
    QList<QPointer<FakeSerialLine>> lines;
    QStringList opened;
    const auto makeLine = [&lines, &opened](const ProjectorConfig& config) {
        auto line = std::make_unique<FakeSerialLine>();
        lines.append(line.get());
        opened.append(config.name);
        return line;
    };
    Hub hub(configOf(before), makeLine, clock, log);
    hub.start();
    clock.advance(1);
    for (const QPointer<FakeSerialLine>& line : lines)
        answerPollRound(*line, clock);

    // A client of projector a: one request on the line, one waiting.
    Projector* a = hub.projector(QStringLiteral("a"));
    QVERIFY(a);
    const QPointer<FakeSerialLine> aLine = lines.first();
    QStringList answers;
    const Projector::Requester client = Projector::requestersOf(Projector::Door::Share) | 1;
    for (const char* code : {"CR3", "CR0"}) {
        a->submit(client, QStringLiteral("share test"), ExchangeRequest::ofCode(QString::fromLatin1(code), 500),
            [&answers](const ExchangeResult& result) { answers.append(result.reply.trimmed()); });
    }
    std::map<QString, QPointer<Projector>> beforeReload;
    for (const char* name : {"a", "b", "c", "d"})
        beforeReload[QString::fromLatin1(name)] = hub.projector(QString::fromLatin1(name));
    opened.clear();

    const Hub::ReloadCounts reloaded = hub.reconfigure(configOf(after));
    QTEST(QStringLiteral("%1 %2 %3").arg(reloaded.added).arg(reloaded.removed).arg(reloaded.changed), "counts");
    QTEST(opened.join(u' '), "opened");

    QFETCH(QString, kept);
    QStringList same;
    for (const auto& [name, projector] : beforeReload) {
        if (projector && hub.projector(name) == projector) {
            same.append(name);
            // Its values stay: read by the first poll round, fresh still.
            QVERIFY2(projector->freshValue(StatusQuery::LampHours), qPrintable(name));
        }
    }
    QCOMPARE(same.join(u' '), kept);
    // Every projector served now has a line that is open; the lines of
    // those that went are closed and gone.
    const QStringList served = kept.split(u' ', Qt::SkipEmptyParts) + opened;
    for (const QString& name : served)
        QVERIFY2(hub.projector(name) && hub.projector(name)->isLineOpen(), qPrintable(name));
    QCOMPARE(
        std::count_if(lines.begin(), lines.end(), [](const QPointer<FakeSerialLine>& line) { return !line.isNull(); }),
        served.size());

    // The client's two requests are answered on a line that stayed, and
    // dropped with it on a line that went.
    if (aLine) {
        aLine->receive("01234\r");
        clock.advance(1);
        aLine->receive("80\r");
        clock.advance(1);
    }
    const QStringList expected = kept.contains(u'a') ? QStringList{"01234", "80"} : QStringList();
    QCOMPARE(answers, expected);
    if (after.contains("audit-log") && aLine) {
        a->submit(client, QStringLiteral("share test"), ExchangeRequest::ofCode(QStringLiteral("C00"), 500), {});
        clock.advance(1);
        aLine->receive("\x06");
        clock.advance(1);
        QFile old(dir.filePath(QStringLiteral("old.jsonl")));
        QFile now(dir.filePath(QStringLiteral("new.jsonl")));
        QVERIFY(old.open(QIODevice::ReadOnly) && now.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray());
        QVERIFY2(now.readAll().contains("\"code\":\"C00\""), qPrintable(now.fileName()));
    }

    // The same file once more: nothing left to change.
    opened.clear();
    const Hub::ReloadCounts again = hub.reconfigure(configOf(after));
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(again.added).arg(again.removed).arg(again.changed), "0 0 0");
    QCOMPARE(opened, QStringList());
}

QTEST_GUILESS_MAIN(HubTest)
#include "tst_hub.moc"
