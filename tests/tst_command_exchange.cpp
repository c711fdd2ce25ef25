#include "FakeSerialLine.h"
#include "ShownBytes.h"
#include "VirtualClock.h"
#include "engine/CommandExchange.h"

#include <QTest>

#include <map>
#include <numeric>

using namespace orva;

namespace {

QString shown(const QString& text)
{
    return shownBytes(text);
}

QString valueText(const ReplyValue& value)
{
    if (const auto* power = std::get_if<PowerState>(&value))
        return QStringLiteral(" power %1").arg(int(*power));
    if (const auto* lamp = std::get_if<LampHours>(&value))
        return QStringLiteral(" hours %1").arg(lamp->hours);
    if (const auto* t = std::get_if<Temperatures>(&value))
        return QStringLiteral(" celsius %1 %2 %3").arg(t->celsius[0]).arg(t->celsius[1]).arg(t->celsius[2]);
    if (const auto* model = std::get_if<ModelName>(&value))
        return QStringLiteral(" model ") + model->text;
    return value.index() == 0 ? QString() : QStringLiteral(" other");
}

constexpr const char* OutcomeNames[]
    = {"acknowledged", "refused", "replied", "error-reply", "timed-out", "line-failed", "queue-full"};

} // namespace

// Requests of several owners on one fake line. A step is "A CODE TIMEOUT"
// (owner A asks), "+MS" (time passes), "<CHARS" (characters arrive), "lost"
// or "write-failed" (the line fails). Each result is "OWNER OUTCOME REPLY"
// with the decoded value or the error kind; late characters are counted by
// the owner of the request they are given to. The queue holds two.
class CommandExchangeTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scenario_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("results");
        QTest::addColumn<QString>("written"); // frames with the time they went out
        QTest::addColumn<QString>("late");

        QTest::newRow("two owners interleaved") << QStringList{"A CR0 500", "B C00 500", "+1", "<80\r", "A CR6 500",
            "+5", "<\x06", "+5", "<24.0, 25.5,26\r"}
                                                << QStringList{"A replied 80<CR> power 1", "B acknowledged <ACK>",
                                                       "A replied 24.0, 25.5,26<CR> celsius 24 25.5 26"}
                                                << "CR0<CR>@0 C00<CR>@2 CR6<CR>@7"
                                                << "";
        QTest::newRow("reply in pieces") << QStringList{"A CR3 500", "+1", "<01", "+10", "<23", "+10", "<4\r"}
                                         << QStringList{"A replied 01234<CR> hours 1234"} << "CR3<CR>@0"
                                         << "";
        QTest::newRow("late reply after a timeout is not the next one's")
            << QStringList{"A CR0 100", "B CR9 500", "+1", "<0", "+100", "+20", "<0\r", "+80", "<TK600\r"}
            << QStringList{"A timed-out 0", "B replied TK600<CR> model TK600"} << "CR0<CR>@0 CR9<CR>@122"
            << "A:2";
        QTest::newRow("stalled projector: the next frame waits for the late reply")
            << QStringList{"A CR7 500", "B CR0 500", "+500", "+200", "<00\r", "+1", "<80\r"}
            << QStringList{"A timed-out ", "B replied 80<CR> power 1"} << "CR7<CR>@0 CR0<CR>@701"
            << "A:3";
        QTest::newRow("late reply just inside the late-reply time")
            << QStringList{"A CR9 100", "B CR0 500", "+100", "+1499", "<TK600\r", "+2", "<80\r"}
            << QStringList{"A timed-out ", "B replied 80<CR> power 1"} << "CR9<CR>@0 CR0<CR>@1600"
            << "A:6";
        QTest::newRow("silent projector: the next frame after the late-reply time")
            << QStringList{"A CR0 100", "+50", "B CR0 500", "+1549", "+1", "<80\r"}
            << QStringList{"A timed-out ", "B replied 80<CR> power 1"} << "CR0<CR>@0 CR0<CR>@1600"
            << "";
        QTest::newRow("babbling projector: the next frame after four late-reply times, late characters bounded")
            << QStringList{"A CR0 100", "B CR0 100", "+100", "+1000", "<" + QString(600, u'x'), "+1000",
                   "<" + QString(600, u'x'), "+1000", "<x", "+1000", "<x", "+1000", "<x", "+999", "<x", "+1", "<80\r"}
            << QStringList{"A timed-out ", "B replied 80<CR> power 1"} << "CR0<CR>@0 CR0<CR>@6100"
            << "A:1024";
        QTest::newRow("characters after the end are late, never the next one's")
            << QStringList{"A C00 500", "B C01 500", "+1", "<\x06\x06", "+1", "<\x06"}
            << QStringList{"A acknowledged <ACK>", "B acknowledged <ACK>"} << "C00<CR>@0 C01<CR>@2"
            << "A:1";
        QTest::newRow("NAK, error reply, reply that reads as nothing")
            << QStringList{"A C00 500", "B CR0 500", "+1", "C CR0 500", "<\x15", "+1", "<?\r", "+1", "<99\r"}
            << QStringList{"A refused <NAK>", "B error-reply ?<CR>", "C replied 99<CR>"}
            << "C00<CR>@0 CR0<CR>@2 CR0<CR>@3"
            << "";
        QTest::newRow("line lost mid-request fails the queue too")
            << QStringList{"A CR0 500", "+1", "B C00 500", "C C01 500", "<8", "lost"}
            << QStringList{"A line-failed 8 lost", "B line-failed  lost", "C line-failed  lost"} << "CR0<CR>@0"
            << "";
        QTest::newRow("accepted write fails")
            << QStringList{"A C00 500", "+1", "write-failed", "B C01 500", "+1", "<\x06"}
            << QStringList{"A line-failed  write-failed", "B acknowledged <ACK>"} << "C00<CR>@0 C01<CR>@1"
            << "";
        QTest::newRow("full queue refused at once")
            << QStringList{"A C00 500", "B C01 500", "C C02 500", "D C10 500", "+1", "<\x06", "+1", "<\x06", "+1",
                   "<\x06"}
            << QStringList{"D queue-full ", "A acknowledged <ACK>", "B acknowledged <ACK>", "C acknowledged <ACK>"}
            << "C00<CR>@0 C01<CR>@2 C02<CR>@3"
            << "";
    }
    void scenario()
    {
        QFETCH(QStringList, steps);
        VirtualClock clock;
        FakeSerialLine line;
        line.setTimeSource([&clock] { return clock.nowMs(); });
        QVERIFY(line.open(*LineAddress::parse(QStringLiteral("/dev/projector")), LineSpeed::Baud19200));
        CommandExchange exchange(line, clock, 2);

        std::map<quint64, QString> owners; // of every request that went in
        QStringList results;
        std::map<QString, qint64> late;
        connect(&exchange, &CommandExchange::lateReply, this,
            [&](quint64 id, const QString& characters) { late[owners[id]] += characters.size(); });
        for (const QString& step : steps) {
            if (step.startsWith(u'+')) {
                clock.advance(step.mid(1).toInt());
            } else if (step.startsWith(u'<')) {
                line.receive(step.mid(1).toLatin1());
            } else if (step == QLatin1String("lost")) {
                line.loseDevice(QStringLiteral("gone"));
            } else if (step == QLatin1String("write-failed")) {
                line.failAcceptedWrite(QStringLiteral("Input/output error"));
            } else {
                const QStringList words = step.split(u' ');
                const QString& owner = words[0];
                const quint64 id = exchange.submit(ExchangeRequest::ofCode(words[1], words[2].toInt()),
                    [&results, &owners, owner](const ExchangeResult& r) {
                        QVERIFY(r.id == 0 || owners[r.id] == owner); // its own result, none other
                        results.append(owner + u' ' + QLatin1String(OutcomeNames[int(r.outcome)]) + u' '
                            + shown(r.reply) + valueText(r.value)
                            + (r.error ? u' ' + lineErrorKindName(r.error->kind) : QString()));
                    });
                owners[id] = owner;
            }
        }
        QTEST(results, "results");
        QStringList written;
        for (const FakeSerialLine::Write& w : line.writes())
            written.append(shown(QString::fromLatin1(w.bytes)) + u'@' + QString::number(w.at));
        QTEST(written.join(u' '), "written");
        QStringList lateText;
        for (const auto& [owner, count] : late)
            lateText.append(owner + u':' + QString::number(count));
        QTEST(lateText.join(u' '), "late");
        QCOMPARE(exchange.lateCharacters() - exchange.lateCharactersDropped(),
            std::accumulate(
                late.begin(), late.end(), qint64(0), [](qint64 sum, const auto& entry) { return sum + entry.second; }));
    }
};

QTEST_GUILESS_MAIN(CommandExchangeTest)
#include "tst_command_exchange.moc"
