#include "FakeSerialLine.h"
#include "ShownBytes.h"
#include "VirtualClock.h"
#include "hub/GuessGuard.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/PjlinkSession.h"
#include "hub/Projector.h"
#include "hub/ShareSession.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <map>
#include <memory>

using namespace orva;
using namespace orva::hub;

namespace {

QString shown(const QString& text)
{
    return shownBytes(text);
}

QByteArray unescaped(QString text)
{
    return text.replace(QLatin1String("<CR>"), QLatin1String("\r")).toLatin1();
}

QString powerText(const Projector& projector)
{
    const ReplyValue& value = projector.cached(StatusQuery::PowerState).value;
    if (const auto* power = std::get_if<PowerState>(&value))
        return QString::number(int(*power));
    return QStringLiteral("-");
}

// A share client that reads until told to stop, and then holds what is
// written to it: past Unread bytes its door would close it.
struct ShareClient
{
    static constexpr int Unread = 64;
    std::unique_ptr<ShareSession> session;
    QString received;
    QString closed;
    bool reading = true;
    int unread = 0;
    bool writtenAfterClose = false;
};

// The audit lines of a file, each as "DOOR PEER WHO CODE ACTION OUTCOME
// ERROR_KIND MS" ("-" for none); a run of equal lines as "Nx LINE".
QStringList auditLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray& bytes : file.readAll().split('\n')) {
        if (bytes.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        QStringList fields;
        for (const char* key : {"door", "peer", "who", "code", "action", "outcome", "error_kind"})
            fields.append(
                o.value(QLatin1String(key)).isNull() ? QStringLiteral("-") : o.value(QLatin1String(key)).toString());
        fields.append(QString::number(o.value(QLatin1String("ms")).toInteger()));
        lines.append(fields.join(u' '));
    }
    QStringList runs;
    for (qsizetype i = 0; i < lines.size();) {
        qsizetype n = 1;
        while (i + n < lines.size() && lines.at(i + n) == lines.at(i))
            ++n;
        runs.append(n == 1 ? lines.at(i) : QStringLiteral("%1x %2").arg(n).arg(lines.at(i)));
        i += n;
    }
    return runs;
}

} // namespace

// One projector on a fake line and the virtual clock, with the requesters
// the hub gives it: share clients A and B, a PJLink controller P and the
// poller. Steps: "A> TEXT" client A sends TEXT ("<CR>" for a carriage
// return, "xN*TEXT" for N copies), "A stops reading", "P> LINE" the
// controller sends LINE and a carriage return, "< CHARS" the projector
// sends, "+MS" time passes, "poll" the poller starts (every 5 s), "A closes"
// client A goes away, "rotate" the audit file is moved aside and opened
// again. The projector's line "down" fails to open until "up";
// "lost" loses the device; "tries" notes the time and how many openings
// were tried so far. What each client received, why it was closed, the
// frames written, the cached power state, the tries and the audit lines
// (those of the file moved aside, "rotated", then those of the new one)
// are compared.
class ProjectorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scenario_data();
    void scenario();
};

void ProjectorTest::scenario_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<QStringList>("received"); // "A: ...", "B: ...", "P: ..."
    QTest::addColumn<QStringList>("closed");   // "A: why"
    QTest::addColumn<QString>("power");        // the cached power state, "-" when none
    QTest::addColumn<QStringList>("tries");    // "MS: N" at each "tries"
    QTest::addColumn<QStringList>("audit");    // as auditLines() shows them

    QTest::newRow("late reply goes to its asker, never to the next")
        << QStringList{"A> CR9<CR>", "B> CR0<CR>", "+600", "< TK600\r", "+1", "< 80\r"} << "CR9 CR0"
        << QStringList{"A: TK600<CR>", "B: 80<CR>", "P:"} << QStringList{} << "1" << QStringList{} << QStringList{};
    QTest::newRow("stall, then a share query and a PJLink query")
        << QStringList{"A> CR7<CR>", "P> %1POWR ?", "+700", "< 00\r", "+1", "< 80\r"} << "CR7 CR0"
        << QStringList{"A: 00<CR>", "B: ", "P: %1POWR=0"} << QStringList{} << "1" << QStringList{} << QStringList{};
    QTest::newRow("poller, PJLink and share on a stalling projector")
        << QStringList{"poll", "A> CR7<CR>", "P> %1POWR ?", "+600", "< 80\r", "+1", "< 00\r", "+1", "< 80\r"}
        << "CR0 CR7 CR0" << QStringList{"A: 00<CR>", "B: ", "P: %1POWR=0"} << QStringList{} << "1" << QStringList{}
        << QStringList{};
    QTest::newRow("line down, a client that does not read its NAKs, then one segment")
        << QStringList{"down", "A stops reading", "A> x100*\xc2\x80<CR>",
               "A> CR0<CR>" + QString(300, u'X') + "<CR>\xc2\x80<CR>CR1<CR>"}
        << "" << QStringList{"A: ", "B: ", "P:"} << QStringList{"A: closed: it does not read its replies"} << "-"
        << QStringList{} << QStringList{"65x share A share \xc2\x80 - refused not-ascii 0"};
    QTest::newRow("line noise for a client that stopped reading")
        << QStringList{"A> CR0<CR>", "A stops reading", "+2", "< 8", "+600", "< " + QString(100, u'z'), "+700",
               "< " + QString(100, u'z')}
        << "CR0" << QStringList{"A: ", "B: ", "P:"} << QStringList{"A: closed: it does not read its replies"} << "-"
        << QStringList{} << QStringList{};
    QTest::newRow("33 frames from one client: the last refused")
        << QStringList{"A> x33*C00<CR>", "B> C01<CR>", "+1", "< \x06"} << "C00 C00"
        << QStringList{"A: <NAK><ACK>", "B: ", "P:"} << QStringList{} << "-" << QStringList{}
        << QStringList{"share A share C00 power-on refused queue-full 0", "share A share C00 power-on ok - 3"};
    QTest::newRow("a line that fails is tried after 1 s, then 2, 4, ... up to 30 s")
        << QStringList{"down", "+998", "tries", "+1", "tries", "+1999", "tries", "+1", "tries", "+27999", "tries", "+1",
               "tries", "+29999", "tries", "+1", "tries"}
        << "" << QStringList{"A: ", "B: ", "P:"} << QStringList{} << "-"
        << QStringList{"999: 1", "1000: 2", "2999: 2", "3000: 3", "30999: 5", "31000: 6", "60999: 6", "61000: 7"}
        << QStringList{};
    QTest::newRow("an answered poll starts the back-off again at 1 s")
        << QStringList{"down", "poll", "+1000", "up", "+1999", "< 80\r", "lost", "+999", "tries", "+1", "tries"}
        << "CR0 CR1 CR0" << QStringList{"A: ", "B: ", "P:"} << QStringList{} << "1" << QStringList{"4000: 3", "4001: 4"}
        << QStringList{};
    QTest::newRow("cooling down: the power is polled every second until standby")
        << QStringList{"poll", "< 20\r", "+2100", "< 20\r", "+1000", "< 80\r", "+1500"} << "CR0 CR1 CR0 CR0"
        << QStringList{"A: ", "B: ", "P:"} << QStringList{} << "1" << QStringList{} << QStringList{};
    QTest::newRow("an acknowledged power on: the values it changes read at once, not a poll later")
        << QStringList{"poll", "+2100", "A> C00<CR>", "< \x06", "< 00\r"} << "CR0 C00 CR0 CR6"
        << QStringList{"A: <ACK>", "B: ", "P:"} << QStringList{} << "0" << QStringList{}
        << QStringList{"share A share C00 power-on ok - 1"};
    QTest::newRow("two power ons back to back: each value read back once, after both")
        << QStringList{"poll", "+2100", "A> C00<CR>C00<CR>", "< \x06", "< \x06", "< 00\r", "< 25.0,26.0,27.0\r",
               "< 00\r", "< 01\r", "+600"}
        << "CR0 C00 C00 CR0 CR6 CRA CR7" << QStringList{"A: <ACK><ACK>", "B: ", "P:"} << QStringList{} << "0"
        << QStringList{} << QStringList{"share A share C00 power-on ok - 1", "share A share C00 power-on ok - 0"};
    QTest::newRow("an input the projector refused: nothing read back")
        << QStringList{"poll", "+2100", "A> C05<CR>", "< \x15", "+100"} << "CR0 C05"
        << QStringList{"A: <NAK>", "B: ", "P:"} << QStringList{} << "-" << QStringList{}
        << QStringList{"share A share C05 input-pc1 nak refused 1"};
    QTest::newRow("characters after a reopening are no reply to a frame that never went out")
        << QStringList{"A> CR0<CR>", "lost", "B> CR1<CR>", "+1000", "< 80\r"} << "CR0"
        << QStringList{"A: ", "B: ", "P:"} << QStringList{} << "-" << QStringList{} << QStringList{};
    QTest::newRow("a client that goes takes its waiting frames with it")
        << QStringList{"A> C00<CR>C01<CR>C02<CR>", "B> CR0<CR>", "A closes", "+2100", "< 80\r"} << "C00 CR0"
        << QStringList{"A: ", "B: 80<CR>", "P:"} << QStringList{"A: gone"} << "1" << QStringList{} << QStringList{};
    QTest::newRow("audit: share power on, a NAK, no answer, a PJLink power on; queries unaudited")
        << QStringList{"A> C00<CR>", "< \x06", "B> C01<CR>", "+3", "< \x15", "A> CR0<CR>", "< 80\r", "A> C0A<CR>",
               "+2100", "P> %1POWR 1", "+2", "< \x06"}
        << "C00 C01 CR0 C0A C00" << QStringList{"A: <ACK>80<CR>", "B: <NAK>", "P: %1POWR=OK"} << QStringList{} << "1"
        << QStringList{}
        << QStringList{"share A share C00 power-on ok - 1", "share B share C01 power-off nak refused 4",
               "share A share C0A - no-answer no-answer 500", "pjlink P pjlink C00 power-on ok - 3"};
    QTest::newRow("audit: the file moved aside and opened again")
        << QStringList{"A> C00<CR>", "< \x06", "rotate", "A> C01<CR>", "< \x06"} << "C00 C01"
        << QStringList{"A: <ACK><ACK>", "B: ", "P:"} << QStringList{} << "-" << QStringList{}
        << QStringList{"share A share C00 power-on ok - 1", "rotated", "share A share C01 power-off ok - 1"};
}

void ProjectorTest::scenario()
{
    QFETCH(QStringList, steps);

    VirtualClock clock;
    const HubLog log;
    ProjectorConfig config;
    config.name = QStringLiteral("a101");
    config.line = QStringLiteral("/dev/projector");
    auto owned = std::make_unique<FakeSerialLine>();
    FakeSerialLine& line = *owned;
    if (steps.contains(QLatin1String("down")))
        line.failOpening(config.line, QStringLiteral("No such file or directory"));
    Projector projector(config, steps.contains(QLatin1String("poll")) ? 5000 : 0, 500, std::move(owned), clock, log);
    QTemporaryDir dir;
    const QString auditPath = dir.filePath(QStringLiteral("audit.jsonl"));
    AuditLog audit(log, [&clock] { return 1'800'000'000'000 + clock.nowMs(); });
    audit.setFile(auditPath);
    projector.setAudit(&audit);
    projector.start();

    std::map<QString, ShareClient> clients;
    for (const QString& name : {QStringLiteral("A"), QStringLiteral("B")}) {
        ShareClient& client = clients[name];
        client.session = std::make_unique<ShareSession>(
            projector, log, Projector::requestersOf(Projector::Door::Share) | quint64(name.at(0).unicode()),
            QStringLiteral("share ") + name,
            [&client](const QByteArray& bytes) {
                client.writtenAfterClose |= !client.closed.isEmpty();
                if (client.reading) {
                    client.received += QString::fromLatin1(bytes);
                    return true;
                }
                client.unread += int(bytes.size());
                return client.unread <= ShareClient::Unread;
            },
            [&client](const QString& why, bool) { client.closed = why; });
    }
    QStringList pjlink;
    GuessGuard guard(QStringLiteral("pjlink"), QStringLiteral("password"), clock, log);
    PjlinkSession controller(
        projector, clock, log, guard, Projector::requestersOf(Projector::Door::Pjlink) | 1, QStringLiteral("pjlink P"),
        [&pjlink](const QByteArray& bytes) {
            pjlink.append(shown(QString::fromLatin1(bytes)).remove(QLatin1String("<CR>")));
        },
        [](const QString&, LogLevel) {});
    clock.advance(1);

    QStringList tries;
    for (const QString& step : steps) {
        if (step.startsWith(u'+')) {
            clock.advance(step.mid(1).toInt());
        } else if (step.startsWith(QLatin1String("< "))) {
            line.receive(step.mid(2).toLatin1());
            clock.advance(1);
        } else if (step == QLatin1String("tries")) {
            const auto opens = std::count_if(line.log().begin(), line.log().end(),
                [](const QString& entry) { return entry.startsWith(QLatin1String("open ")); });
            tries.append(QStringLiteral("%1: %2").arg(clock.nowMs()).arg(opens));
        } else if (step == QLatin1String("rotate")) {
            QVERIFY(QFile::rename(auditPath, auditPath + QStringLiteral(".1")));
            audit.reopen();
        } else if (step == QLatin1String("up")) {
            line.clearOpeningFailure(config.line);
        } else if (step == QLatin1String("lost")) {
            line.loseDevice(QStringLiteral("Input/output error"));
        } else if (step.endsWith(QLatin1String(" closes"))) {
            clients[step.left(1)].session->close(QStringLiteral("gone"));
        } else if (step.endsWith(QLatin1String(" stops reading"))) {
            clients[step.left(1)].reading = false;
        } else if (step.startsWith(QLatin1String("P> "))) {
            controller.receive(step.mid(3).toLatin1() + '\r');
            clock.advance(1);
        } else if (step.mid(1, 2) == QLatin1String("> ")) {
            QString text = step.mid(3);
            int copies = 1;
            if (text.startsWith(u'x') && text.contains(u'*')) {
                copies = text.mid(1, text.indexOf(u'*') - 1).toInt();
                text = text.mid(text.indexOf(u'*') + 1);
            }
            clients[step.left(1)].session->receive(unescaped(text).repeated(copies));
            clock.advance(1);
        }
        QCoreApplication::processEvents();
    }
    clock.advance(1);

    QStringList frames;
    for (const FakeSerialLine::Write& w : line.writes())
        frames.append(QString::fromLatin1(w.bytes).remove(u'\r'));
    QTEST(frames.join(u' '), "frames");
    QStringList received;
    QStringList closed;
    for (const auto& [name, client] : clients) {
        received.append(name + QStringLiteral(": ") + shown(client.received));
        QVERIFY2(!client.writtenAfterClose, qPrintable(name + QStringLiteral(" written to after it was closed")));
        if (!client.closed.isEmpty())
            closed.append(name + QStringLiteral(": ") + client.closed);
    }
    received.append((QStringLiteral("P: ") + pjlink.join(u' ')).trimmed());
    QTEST(received, "received");
    QTEST(closed, "closed");
    QTEST(powerText(projector), "power");
    QTEST(tries, "tries");
    QStringList audited = auditLines(auditPath + QStringLiteral(".1"));
    if (QFile::exists(auditPath + QStringLiteral(".1")))
        audited.append(QStringLiteral("rotated"));
    audited += auditLines(auditPath);
    QTEST(audited, "audit");
}

QTEST_GUILESS_MAIN(ProjectorTest)
#include "tst_projector.moc"
