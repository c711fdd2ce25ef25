#include "FakeSerialLine.h"
#include "PollRound.h"
#include "ShownBytes.h"
#include "VirtualClock.h"
#include "hub/GuessGuard.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/PjlinkCodec.h"
#include "hub/PjlinkSession.h"
#include "hub/Projector.h"

#include <QRegularExpression>
#include <QTest>

using namespace orva;
using namespace orva::hub;

namespace {

// As a controller's answers read: without the carriage return.
QString shown(const QString& text)
{
    return shownBytes(text).remove(QLatin1String("<CR>"));
}

} // namespace

// A PJLink controller's connection to a projector on a fake line, on the
// virtual clock. Steps: "> LINE" the controller sends LINE and a carriage
// return, fed as the door reads a socket: no more than the session has
// room for ("{digest}" stands for the right digest of the greeting's
// random and the password "secret", "{wrong}" for another), ">> BYTES"
// without the carriage return, "< CHARS" the projector
// sends, "+MS" time passes, "lost" the line goes away, "poll" the poller's
// round is answered (standby, PC1, no mute, 1234 hours, lamp off, three
// temperatures, TK600), "new" the controller connects again from the same
// address, "reload TOML" a reload gives the projector's table these keys
// besides its name and line. Answers are what the controller receives, each greeting's
// random shown as RANDOM; closed is why the last connection closed.
class PjlinkSessionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scenario_data();
    void scenario();
};

void PjlinkSessionTest::scenario_data()
{
    QTest::addColumn<QString>("password"); // "-": none
    QTest::addColumn<int>("pollMs");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("frames"); // what went out on the line after the poll round
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("closed"); // why, or empty

    const QString none = QStringLiteral("-");
    QTest::newRow("power on") << none << 0 << QStringList{"> %1POWR 1", "< \x06"} << "C00"
                              << QStringList{"PJLINK 0", "%1POWR=OK"} << "";
    QTest::newRow("both mutes, one by one") << none << 0 << QStringList{"> %1avmt 31", "< \x06", "< \x06"} << "C0D C0B"
                                            << QStringList{"PJLINK 0", "%1AVMT=OK"} << "";
    QTest::newRow("second of two refused") << none << 0 << QStringList{"> %1AVMT 30", "< \x06", "< \x15"} << "C0E C0C"
                                           << QStringList{"PJLINK 0", "%1AVMT=ERR3"} << "";
    QTest::newRow("standby, warming") << none << 0 << QStringList{"> %1POWR ?", "< 80\r", "> %1POWR ?", "< 40\r"}
                                      << "CR0 CR0" << QStringList{"PJLINK 0", "%1POWR=0", "%1POWR=3"} << "";
    QTest::newRow("lamp hours and lit") << none << 0 << QStringList{"> %1LAMP ?", "< 01234\r", "< 11\r"} << "CR3 CR7"
                                        << QStringList{"PJLINK 0", "%1LAMP=1234 1"} << "";
    QTest::newRow("mute state in standby")
        << none << 0 << QStringList{"> %1AVMT ?", "< FF\r"} << "CRA" << QStringList{"PJLINK 0", "%1AVMT=ERR3"} << "";
    QTest::newRow("error reply") << none << 0 << QStringList{"> %1INPT 12", "< ?\r"} << "C06"
                                 << QStringList{"PJLINK 0", "%1INPT=ERR3"} << "";
    QTest::newRow("no reply") << none << 0 << QStringList{"> %1POWR ?", "+500"} << "CR0"
                              << QStringList{"PJLINK 0", "%1POWR=ERR4"} << "";
    QTest::newRow("garbage reply") << none << 0 << QStringList{"> %1INF2 ?", "< \r"} << "CR9"
                                   << QStringList{"PJLINK 0", "%1INF2=ERR4"} << "";
    QTest::newRow("states PJLink has no word for, lamp off, model")
        << none << 0
        << QStringList{"> %1POWR ?", "< 10\r", "> %1INPT ?", "< 4\r", "> %1LAMP ?", "< 7\r", "< 20\r", "> %1INF2 ?",
               "< TK600\r"}
        << "CR0 CR1 CR3 CR7 CR9" << QStringList{"PJLINK 0", "%1POWR=ERR4", "%1INPT=ERR3", "%1LAMP=7 0", "%1INF2=TK600"}
        << "";
    QTest::newRow("power states by their phase")
        << none << 0 << QStringList{"> %1POWR ?", "< 28\r", "> %1POWR ?", "< 81\r", "> %1POWR ?", "< 88\r"}
        << "CR0 CR0 CR0" << QStringList{"PJLINK 0", "%1POWR=2", "%1POWR=0", "%1POWR=1"} << "";
    QTest::newRow("error status") << none << 0 << QStringList{"> %1ERST ?", "< 28\r", "> %1ERST ?", "< 81\r"}
                                  << "CR0 CR0" << QStringList{"PJLINK 0", "%1ERST=002000", "%1ERST=020000"} << "";
    QTest::newRow("answered by the hub") << none << 0
                                         << QStringList{"> %1NAME ?", "> %1INF1 ?", "> %1CLSS ?", "> %1INST ?"} << ""
                                         << QStringList{"PJLINK 0", "%1NAME=a101", "%1INF1=ORVA", "%1CLSS=2",
                                                "%1INST=11 12 21"}
                                         << "";
    QTest::newRow("undefined, out of range")
        << none << 0 << QStringList{"> %1SVOL 1", "> %1INPT 31", "> %1LAMP 1", "> %1POWR"} << ""
        << QStringList{"PJLINK 0", "%1SVOL=ERR1", "%1INPT=ERR2", "%1LAMP=ERR2", "%1POWR=ERR1"} << "";
    QTest::newRow("two requests in one chunk, answered in turn")
        << none << 0 << QStringList{"> %1POWR ?\r%1INPT ?", "< 00\r", "< 2\r"} << "CR0 CR1"
        << QStringList{"PJLINK 0", "%1POWR=1", "%1INPT=12"} << "";
    QTest::newRow("not PJLink") << none << 0 << QStringList{"> POWR 1"} << "" << QStringList{"PJLINK 0"}
                                << "closed: not a PJLink request";
    QTest::newRow("too long") << none << 0 << QStringList{"> %1INFO " + QString(200, u'X')} << ""
                              << QStringList{"PJLINK 0"} << "closed: a request longer than 136 bytes";
    QTest::newRow("idle") << none << 0 << QStringList{"+4997", "> %1CLSS ?", "+29996", "+2"} << ""
                          << QStringList{"PJLINK 0", "%1CLSS=2"} << "closed after 30 s without a request";
    QTest::newRow("no first request") << none << 0 << QStringList{"+4999", "+1"} << "" << QStringList{"PJLINK 0"}
                                      << "closed after 5 s without a request";
    QTest::newRow("a byte now and then is no request")
        << none << 0 << QStringList{"> %1CLSS ?", "+20000", ">> %", "+9996", "+2"} << ""
        << QStringList{"PJLINK 0", "%1CLSS=2"} << "closed after 30 s without a request";
    QTest::newRow("CR LF") << none << 0 << QStringList{"> %1CLSS ?\r\n%1NAME ?\r\n%1INST ?"} << ""
                           << QStringList{"PJLINK 0", "%1CLSS=2", "%1NAME=a101", "%1INST=11 12 21"} << "";
    QTest::newRow("class 3 request") << none << 0 << QStringList{"> %3POWR ?", "> %1CLSS ?"} << ""
                                     << QStringList{"PJLINK 0", "%3POWR=ERR1", "%1CLSS=2"} << "";
    QTest::newRow("class 2, answered by the hub, nothing configured")
        << none << 0
        << QStringList{"> %2CLSS ?", "> %2INST ?", "> %2SNUM ?", "> %2SVER ?", "> %2RLMP ?", "> %2RFIL ?",
               "> %2INNM ?11", "> %2INNM ?22", "> %2INNM ?32", "> %2NAME ?", "> %2INF1 ?"}
        << ""
        << QStringList{"PJLINK 0", "%2CLSS=2", "%2INST=11 12 13 21 22 23 31 32",
               "%2SNUM=", "%2SVER=", "%2RLMP=", "%2RFIL=", "%2INNM=PC1 RGB", "%2INNM=S-Video",
               "%2INNM=PC2 DVI(AV HDCP)", "%2NAME=a101", "%2INF1=ORVA"}
        << "";
    QTest::newRow("class 2, from the configuration")
        << none << 0
        << QStringList{QStringLiteral(
                           "reload serial-number = \"SN 0042\"\nsoftware-version = \"2.10\"\nlamp-model = \"LMP-7\"\n"
                           "filter-model = \"FLT-9\"\ninput-names = { \"22\" = \"Document camera\" }"),
               "> %2SNUM ?", "> %2SVER ?", "> %2RLMP ?", "> %2RFIL ?", "> %2INNM ?22", "> %2INNM ?21"}
        << ""
        << QStringList{"PJLINK 0", "%2SNUM=SN 0042", "%2SVER=2.10", "%2RLMP=LMP-7", "%2RFIL=FLT-9",
               "%2INNM=Document camera", "%2INNM=Video"}
        << "";
    QTest::newRow("class 2 input: the input, then its source; read back by the source picked")
        << none << 0
        << QStringList{"> %2INPT 23", "< \x06", "< \x06", "> %2INPT ?", "< 1\r", "> %2INPT 12", "< \x06", "< \x06",
               "> %2INPT ?", "< 2\r", "> %2INPT ?", "< 3\r"}
        << "C05 C54 CR1 C06 CF INPUT2 ANALOG CR1 CR1"
        << QStringList{"PJLINK 0", "%2INPT=OK", "%2INPT=23", "%2INPT=OK", "%2INPT=12", "%2INPT=21"} << "";
    QTest::newRow("class 1 input keeps the source class 2 picked")
        << none << 0
        << QStringList{"> %2INPT 31", "< \x06", "< \x06", "> %1INPT 12", "< \x06", "> %1INPT ?", "< 2\r", "> %2INPT ?",
               "< 2\r"}
        << "C06 C5B C06 CR1 CR1" << QStringList{"PJLINK 0", "%2INPT=OK", "%1INPT=OK", "%1INPT=12", "%2INPT=31"} << "";
    QTest::newRow("a source refused is not taken as picked")
        << none << 0 << QStringList{"> %2INPT 22", "< \x06", "< \x15", "> %2INPT ?", "< 3\r"} << "C07 C34 CR1"
        << QStringList{"PJLINK 0", "%2INPT=ERR3", "%2INPT=21"} << "";
    QTest::newRow("freeze, known from what the hub sent")
        << none << 0
        << QStringList{"> %2FREZ ?", "> %2FREZ 1", "< \x06", "> %2FREZ ?", "> %2FREZ 0", "< \x06", "> %2FREZ ?",
               "> %2FREZ 1", "< \x15", "> %2FREZ ?"}
        << "C43 C44 C43"
        << QStringList{"PJLINK 0", "%2FREZ=ERR1", "%2FREZ=OK", "%2FREZ=1", "%2FREZ=OK", "%2FREZ=0", "%2FREZ=ERR3",
               "%2FREZ=0"}
        << "";
    QTest::newRow("volume one step") << none << 0
                                     << QStringList{"> %2SVOL 1", "< \x06", "> %2SVOL 0", "< \x06", "> %2SVOL ?"}
                                     << "C09 C0A" << QStringList{"PJLINK 0", "%2SVOL=OK", "%2SVOL=OK", "%2SVOL=ERR2"}
                                     << "";
    QTest::newRow("input resolution: none, unknown, standby")
        << none << 0 << QStringList{"> %2IRES ?", "< 80\r", "> %2IRES ?", "< 00\r", "> %2IRES ?", "< FF\r"}
        << "CRA CRA CRA" << QStringList{"PJLINK 0", "%2IRES=-", "%2IRES=*", "%2IRES=ERR3"} << "";
    QTest::newRow("class 2 from the projector")
        << none << 0
        << QStringList{"> %2POWR 1", "< \x06", "> %2POWR ?", "< 28\r", "> %2ERST ?", "< 28\r", "> %2AVMT 31", "< \x06",
               "< \x06", "> %2AVMT ?", "< 80\r", "> %2LAMP ?", "< 01234\r", "< 11\r", "> %2INF2 ?", "< TK600\r"}
        << "C00 CR0 CR0 C0D C0B CRA CR3 CR7 CR9"
        << QStringList{"PJLINK 0", "%2POWR=OK", "%2POWR=2", "%2ERST=002000", "%2AVMT=OK", "%2AVMT=30", "%2LAMP=1234 1",
               "%2INF2=TK600"}
        << "";
    QTest::newRow("class 2: undefined, out of range")
        << none << 0
        << QStringList{"> %2RRES ?", "> %2FILT ?", "> %2MVOL 1", "> %2MVOL ?", "> %2XXXX ?", "> %2INNM ?99",
               "> %2INNM 11", "> %2INPT 33", "> %2FREZ 2", "> %2SNUM 1"}
        << ""
        << QStringList{"PJLINK 0", "%2RRES=ERR1", "%2FILT=ERR1", "%2MVOL=ERR1", "%2MVOL=ERR1", "%2XXXX=ERR1",
               "%2INNM=ERR2", "%2INNM=ERR2", "%2INPT=ERR2", "%2FREZ=ERR2", "%2SNUM=ERR2"}
        << "";
    QTest::newRow("class 2 bodies and codes are not class 1's")
        << none << 0 << QStringList{"> %1SNUM ?", "> %1INNM ?11", "> %1FREZ 1", "> %1INPT 13", "> %1INST ?"} << ""
        << QStringList{"PJLINK 0", "%1SNUM=ERR1", "%1INNM=ERR1", "%1FREZ=ERR1", "%1INPT=ERR2", "%1INST=11 12 21"} << "";
    QStringList pipelined{"PJLINK 0"};
    for (int i = 0; i < 80; ++i)
        pipelined.append(QStringLiteral("%1CLSS=2"));
    QTest::newRow("80 requests in one write")
        << none << 0 << QStringList{"> " + QStringList(80, QStringLiteral("%1CLSS ?")).join(u'\r')} << "" << pipelined
        << "";
    QTest::newRow("authenticated") << "secret" << 0 << QStringList{"> {digest}%1POWR ?", "< 00\r", "> %1CLSS ?"}
                                   << "CR0" << QStringList{"PJLINK 1 RANDOM", "%1POWR=1", "%1CLSS=2"} << "";
    QTest::newRow("wrong digest") << "secret" << 0 << QStringList{"> {wrong}%1POWR 1"} << ""
                                  << QStringList{"PJLINK 1 RANDOM", "PJLINK ERRA"} << "authentication failed; closed";
    QTest::newRow("no digest") << "secret" << 0 << QStringList{"> %1POWR 1"} << ""
                               << QStringList{"PJLINK 1 RANDOM", "PJLINK ERRA"} << "authentication failed; closed";
    QTest::newRow("malformed after the right digest")
        << "secret" << 0 << QStringList{"> {digest}%1POWR", "> %1CLSS ?"} << ""
        << QStringList{"PJLINK 1 RANDOM", "%1POWR=ERR1", "%1CLSS=2"} << "";
    const QStringList fourWrong{
        "> {wrong}%1POWR 1", "new", "> {wrong}%1POWR 1", "new", "> {wrong}%1POWR 1", "new", "> {wrong}%1POWR 1", "new"};
    const QStringList fourRefused{"PJLINK 1 RANDOM", "PJLINK ERRA", "PJLINK 1 RANDOM", "PJLINK ERRA", "PJLINK 1 RANDOM",
        "PJLINK ERRA", "PJLINK 1 RANDOM", "PJLINK ERRA"};
    QTest::newRow("four wrong digests, then the right one")
        << "secret" << 0 << fourWrong + QStringList{"> {digest}%1CLSS ?"} << ""
        << fourRefused + QStringList{"PJLINK 1 RANDOM", "%1CLSS=2"} << "";
    QTest::newRow("five wrong digests: the right one is refused for 10 s, uncompared") << "secret" << 0
                                                                                       << fourWrong
            + QStringList{"> {wrong}%1POWR 1", "+9990", "new", "> {digest}%1CLSS ?", "+10", "new", "> {digest}%1CLSS ?"}
                                                                                       << ""
                                                                                       << fourRefused
            + QStringList{"PJLINK 1 RANDOM", "PJLINK ERRA", "PJLINK 1 RANDOM", "PJLINK ERRA", "PJLINK 1 RANDOM",
                "%1CLSS=2"} << "";
    QTest::newRow("wrong digests spread over more than a minute")
        << "secret" << 0 << fourWrong + QStringList{"+60000", "new", "> {wrong}%1POWR 1", "new", "> {digest}%1CLSS ?"}
        << ""
        << fourRefused + QStringList{"PJLINK 1 RANDOM", "PJLINK 1 RANDOM", "PJLINK ERRA", "PJLINK 1 RANDOM", "%1CLSS=2"}
        << "";
    QTest::newRow("from the poller's values") << none << 5000 << QStringList{"poll", "+4000", "> %1POWR ?"} << ""
                                              << QStringList{"PJLINK 0", "%1POWR=0"} << "";
    QTest::newRow("a set makes the value it changes stale")
        << none << 5000 << QStringList{"poll", "> %1INPT 12", "< \x06", "> %1INPT ?", "< 2\r", "< 00\r", "< 2\r"}
        << "C06 CR1 CRA CR1" << QStringList{"PJLINK 0", "%1INPT=OK", "%1INPT=12"} << "";
    QTest::newRow("line down") << none << 0 << QStringList{"lost", "> %1POWR ?", "> %1POWR 1", "> %1NAME ?"} << ""
                               << QStringList{"PJLINK 0", "%1POWR=ERR4", "%1POWR=ERR4", "%1NAME=a101"} << "";
}

void PjlinkSessionTest::scenario()
{
    QFETCH(QString, password);
    QFETCH(int, pollMs);
    QFETCH(QStringList, steps);

    VirtualClock clock;
    const HubLog log;
    ProjectorConfig config;
    config.name = QStringLiteral("a101");
    config.line = QStringLiteral("/dev/null");
    if (password != QLatin1String("-"))
        config.pjlinkPassword = password;
    auto owned = std::make_unique<FakeSerialLine>();
    FakeSerialLine& line = *owned;
    Projector projector(config, pollMs, 500, std::move(owned), clock, log);
    projector.start();
    clock.advance(1);

    GuessGuard guard(QStringLiteral("pjlink"), QStringLiteral("password"), clock, log);
    QStringList answers;
    QString closed;
    QByteArrayList randoms;
    std::unique_ptr<PjlinkSession> session;
    // As the door reads the socket: no more than the session has room for.
    QByteArray unread;
    const auto feed = [&session, &unread] {
        while (session && session->room() > 0 && !unread.isEmpty()) {
            const QByteArray bytes = unread.first(std::min(session->room(), unread.size()));
            unread.remove(0, bytes.size());
            session->receive(bytes);
        }
    };
    const auto connect = [&] {
        session.reset();
        unread.clear();
        closed.clear();
        session = std::make_unique<PjlinkSession>(
            projector, clock, log, guard, 1, QStringLiteral("pjlink 192.0.2.7:4000"),
            [&answers](const QByteArray& bytes) { answers.append(QString::fromLatin1(bytes)); },
            [&closed](const QString& why, LogLevel) { closed = why; });
        const QByteArray greeting = session->greeting();
        answers.append(QString::fromLatin1(greeting));
        randoms.append(greeting.startsWith("PJLINK 1 ") ? greeting.mid(9, 8) : QByteArray());
        session->setReadyForMore(feed);
    };
    connect();

    for (const QString& step : steps) {
        const QByteArray random = randoms.last();
        if (step.startsWith(u'+')) {
            clock.advance(step.mid(1).toInt());
        } else if (step.startsWith(QLatin1String("< "))) {
            line.receive(step.mid(2).toLatin1());
            clock.advance(1);
            QCoreApplication::processEvents(); // a request waiting behind the answered one
            clock.advance(1);
        } else if (step.startsWith(QLatin1String(">> "))) {
            unread += step.mid(3).toLatin1(); // bytes without a carriage return
            feed();
            clock.advance(1);
        } else if (step.startsWith(QLatin1String("> "))) {
            QByteArray request = step.mid(2).toLatin1();
            request.replace("{digest}", pjlinkDigest(random, "secret"));
            request.replace("{wrong}", pjlinkDigest(random, "secreT"));
            unread += request + '\r';
            feed();
            clock.advance(1);
            QCoreApplication::processEvents(); // the next request of a chunk is taken from the event loop
            clock.advance(1);
        } else if (step.startsWith(QLatin1String("reload "))) {
            // The projector's table as the hub reads it on a reload.
            const QByteArray text = "[[projector]]\nname = \"a101\"\nline = \"/dev/null\"\n" + step.mid(7).toUtf8();
            const ConfigResult read = parseHubConfig(text, QStringLiteral("hub.toml"), 0100640);
            QVERIFY2(read.config, qPrintable(read.errors.join(u'\n')));
            projector.setDoorSettings(read.config->projectors.first());
        } else if (step == QLatin1String("lost")) {
            line.loseDevice(QStringLiteral("gone"));
        } else if (step == QLatin1String("poll")) {
            answerPollRound(line, clock);
        } else if (step == QLatin1String("new")) {
            connect();
        }
    }
    QStringList frames;
    for (const FakeSerialLine::Write& w : line.writes())
        frames.append(shown(QString::fromLatin1(w.bytes)));
    QTEST(frames.join(u' '), "frames");
    for (QString& answer : answers) {
        answer = shown(answer);
        for (const QByteArray& random : randoms) {
            if (!random.isEmpty())
                answer.replace(QString::fromLatin1(random), QStringLiteral("RANDOM"));
        }
    }
    QTEST(answers, "answers");
    QTEST(closed, "closed");
}

QTEST_GUILESS_MAIN(PjlinkSessionTest)
#include "tst_pjlink_session.moc"
