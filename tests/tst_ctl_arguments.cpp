#include "FakeSerialLine.h"
#include "VirtualClock.h"
#include "ctl/Arguments.h"
#include "ctl/Report.h"
#include "ctl/Session.h"

#include <QTest>

using namespace orva;
using namespace orva::ctl;

class CtlArgumentsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The command line, valid forms and every kind of usage error. A usage
    // row has an empty title, a row answered with the help or the version
    // "--help" or "--version"; "ports" is what is addressed, joined by "|".
    void parses_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("ports");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<bool>("slow");

        auto row = [](const char* name, const char* line, const char* title, const char* code,
                       const char* ports = "/dev/ttyS0", int timeout = 1000, bool slow = false) {
            QTest::newRow(name) << QString::fromLatin1(line) << QString::fromLatin1(title) << QString::fromLatin1(code)
                                << QString::fromLatin1(ports) << timeout << slow;
        };
        row("power on, default port", "power on", "power on", "C00");
        row("fan mode code has blanks", "fan l2", "fan l2", "CF FANMODE L2");
        row("picture board", "picture board", "picture board", "C18");
        row("query from a button", "lamp-hours", "lamp-hours", "CR3");
        row("query no button sends", "pressure", "pressure", "CR PRESSURE");
        row("mute query", "mute?", "mute?", "CRA");
        row("several ports in order", "--port /dev/a --port=/dev/b status", "status", "CR0", "/dev/a|/dev/b");
        row("network line form", "--port tcp://host:4001 model", "model", "CR9", "tcp://host:4001");
        row("options after the action", "status --timeout 250 --speed=9600", "status", "CR0", "/dev/ttyS0", 250, true);
        row("send quoted code", "send|CR PRESSURE", "send", "CR PRESSURE");
        row("send unquoted words", "send CR PRESSURE", "send", "CR PRESSURE");
        row("send after --", "send -- --odd", "send", "--odd");
        row("list", "list --json", "list", "");
        row("send a code beginning with a dash", "send -5", "send", "-5");
        row("-h after the action", "power -h", "--help", "");
        row("-v after the action", "status -v", "--version", "");

        row("usage: nothing", "", "", "");
        row("usage: unknown action", "reboot", "", "");
        row("usage: unknown option", "--verbose status", "", "");
        row("usage: argument in capitals", "power ON", "", "");
        row("usage: missing argument", "input", "", "");
        row("usage: argument to a query", "status now", "", "");
        row("usage: extra argument", "power on off", "", "");
        row("usage: send without code", "send", "", "");
        row("usage: code with a carriage return", "send|CR0\rC00", "", "");
        row("usage: code beyond ASCII",
            "send|C\xe9"
            "0",
            "", "");
        row("usage: same line twice", "--port /dev/a --port=/dev/a status", "", "");
        row("usage: timeout with a trailing blank", "--timeout|10 |status", "", "");
        row("usage: speed", "--speed 38400 status", "", "");
        row("usage: zero timeout", "--timeout 0 status", "", "");
        row("usage: timeout not a number", "--timeout 1s status", "", "");
        row("usage: port without value", "status --port", "", "");
        row("usage: empty port", "--port= status", "", "");
        row("usage: network line without a port", "--port rfc2217://host status", "", "");
        row("usage: value to a switch", "--json=yes status", "", "");
    }
    void parses()
    {
        QFETCH(QString, line);
        QFETCH(QString, title);
        // "|" separates words when a word has blanks of its own.
        QStringList arguments = line.split(line.contains(u'|') ? u'|' : u' ', Qt::SkipEmptyParts);
        arguments.prepend(QStringLiteral("orva-ctl"));
        const Request request = parseArguments(arguments);
        if (title.isEmpty()) {
            QCOMPARE(request.mode, Request::Mode::Usage);
            QVERIFY(!request.message.isEmpty());
            return;
        }
        if (title.startsWith(u'-')) {
            QCOMPARE(request.mode, title == QLatin1String("--help") ? Request::Mode::Help : Request::Mode::Version);
            return;
        }
        QCOMPARE(request.mode, Request::Mode::Run);
        QCOMPARE(ctl::title(*request.action), title);
        QTEST(request.code, "code");
        QTEST(request.ports.join(u'|'), "ports");
        QTEST(request.timeoutMs, "timeout");
        QTEST(request.speed == LineSpeed::Baud9600, "slow");
    }

    // One port's exchange on a fake line: the reply arrives in the pieces
    // given ("" for none) and the verdict, plain text and exit status follow.
    void judges_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<int>("exit");

        auto row = [](const char* name, const char* action, const QByteArrayList& pieces, bool ok, const char* plain,
                       int exit) {
            QTest::newRow(name) << QString::fromLatin1(action) << pieces << ok << QString::fromLatin1(plain) << exit;
        };
        row("operation ACK", "power off", {"\x06"}, true, "ACK", 0);
        row("operation noise then ACK", "power off", {"\x07\xfe", "\x06"}, true, "? ? ACK", 0);
        row("operation NAK", "power off", {"\x15"}, false, "", 1);
        row("operation error reply", "power off", {"?\r"}, false, "", 1);
        row("operation answered with data", "power off", {"00\r"}, false, "", 1);
        row("operation no reply", "power off", {}, false, "", 1);
        row("status split reply", "status", {"8", "0\r"}, true, "Stand by", 0);
        row("status without leading blank", "status", {"24\r"}, true, "Cooling down  PWR Management", 0);
        row("status unknown key", "status", {"99\r"}, false, "", 1);
        row("status incomplete at timeout", "status", {"80"}, false, "", 1);
        row("status error reply", "status", {"?\r"}, false, "", 1);
        row("lamp hours drop leading zeros", "lamp-hours", {"01234\r"}, true, "1234", 0);
        row("lamp hours not digits", "lamp-hours", {"12a4\r"}, false, "", 1);
        row("temperatures", "temperatures", {" 24.0, 25.5, 26.0\r"}, true, "24.0 25.5 26.0", 0);
        row("temperatures two fields", "temperatures", {" 24.0, 25.5\r"}, false, "", 1);
        row("model", "model", {"TK600\r"}, true, "TK600", 0);
        row("model after line noise", "model", {"\x07\xfeTK600\r"}, false, "", 1);
        row("model holding a NUL", "model",
            {QByteArray("TK\0"
                        "600\r",
                7)},
            false, "", 1);
        row("model as a terminal title sequence", "model", {"\x1b]0;pwned\x07\r"}, false, "", 1);
        row("model longer than a name", "model", {QByteArray(40, 'A') + '\r'}, false, "", 1);
        row("status flooded", "status", {QByteArray(30000, 'a')}, false, "", 1);
        row("pressure", "pressure", {"853\r"}, true, "1013 hPa", 0);
        row("pressure out of range", "pressure", {"9999\r"}, false, "", 1);
        row("send any reply", "send", {"8", "0\r"}, true, "8 0 CR", 0);
        row("status acknowledged", "status", {"\x06"}, false, "", 1);
        row("send refused", "send", {"\x15"}, false, "", 1);
        row("send error reply", "send", {"?\r"}, false, "", 1);
    }
    void judges()
    {
        QFETCH(QString, action);
        QFETCH(QByteArrayList, pieces);
        QStringList arguments{QStringLiteral("orva-ctl"), QStringLiteral("--timeout"), QStringLiteral("300")};
        arguments += action.split(u' ');
        if (action == QLatin1String("send"))
            arguments.append(QStringLiteral("CR0"));
        const Request request = parseArguments(arguments);
        QCOMPARE(request.mode, Request::Mode::Run);

        VirtualClock clock;
        auto owned = std::make_unique<FakeSerialLine>();
        FakeSerialLine& line = *owned;
        Session session(QStringLiteral("/dev/fake"), std::move(owned), clock);
        QVERIFY(session.open(request.speed));
        int done = 0;
        session.send(request.code, request.timeoutMs, [&done] { ++done; });
        QCOMPARE(line.written(), request.code.toLatin1() + '\r');
        for (const QByteArray& piece : pieces) {
            clock.advance(10);
            line.receive(piece);
        }
        clock.advance(request.timeoutMs);
        QCOMPARE(done, 1);

        const Outcome outcome = evaluate(*request.action, session.exchange());
        QTEST(outcome.ok, "ok");
        QTEST(outcome.plain, "plain");
        QTEST(exitStatus({outcome}), "exit");
        QCOMPARE(outcome.error.isEmpty(), outcome.ok);
        // What reaches a terminal is printable and short, however the reply was.
        const QString shown = plainLine(session.exchange(), outcome, false);
        QVERIFY2(std::none_of(shown.begin(), shown.end(), [](QChar c) { return c < u' ' || c == u'\x7f'; }),
            qPrintable(shown));
        QVERIFY(shown.size() < 4 * MaxShownReply);
        QVERIFY(jsonLine(*request.action, request.code, session.exchange(), outcome).size() < 8 * MaxShownReply);
    }

    // A port that cannot be opened outweighs one that failed to answer.
    void openingFailure()
    {
        VirtualClock clock;
        auto line = std::make_unique<FakeSerialLine>();
        line->failOpening(QStringLiteral("/dev/gone"), QStringLiteral("No such file or directory"));
        Session session(QStringLiteral("/dev/gone"), std::move(line), clock);
        QVERIFY(!session.open(LineSpeed::Baud19200));
        const Action& status = *findAction(QStringLiteral("status"), QString());
        const Outcome failed = evaluate(status, session.exchange());
        QVERIFY(failed.openFailed);
        QVERIFY(plainLine(session.exchange(), failed, false).contains(QLatin1String("No such file or directory")));
        Exchange silent;
        silent.timeoutMs = 100;
        QCOMPARE(exitStatus({evaluate(status, silent), failed}), 3);
    }
};

QTEST_GUILESS_MAIN(CtlArgumentsTest)
#include "tst_ctl_arguments.moc"
