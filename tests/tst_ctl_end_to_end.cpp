#include "SimulatorProcess.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <csignal>

#include <memory>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orva;

namespace {

// The limit of every wait: far beyond what any run needs.
constexpr int Patience = 30000;

struct Run
{
    int exit = -1;
    QString out;
    QString err;
    qint64 wallMs = 0;
};

// The built orva-ctl, run as a script would run it: no display, no Qt
// platform chosen; as the user "nobody" when asNobody is set, a member of
// group only; its standard output to the file given, or closed for "-";
// through another program (a shell) when one is given.
// The test's event loop runs meanwhile, for servers of its own.
Run ctl(const QStringList& arguments, bool asNobody = false, gid_t group = 0, const QString& output = {},
    const QString& program = QStringLiteral(ORVA_CTL))
{
    QProcess process;
    const bool closed = output == QLatin1String("-");
    process.setChildProcessModifier([asNobody, group, closed] {
        const gid_t groups[] = {group};
        if (asNobody && (::setgroups(group ? 1 : 0, groups) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        if (closed)
            ::close(STDOUT_FILENO);
    });
    if (!output.isEmpty() && !closed)
        process.setStandardOutputFile(output);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    QElapsedTimer wall;
    wall.start();
    process.start(program, arguments);
    Run run;
    if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, Patience)
        || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.wallMs = wall.elapsed();
    run.exit = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Whether a program holds the device in exclusive use (TIOCEXCL).
bool heldExclusively(const QString& device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    int exclusive = 0;
    const bool held = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    ::close(fd);
    return held;
}

QJsonObject jsonOf(const QString& line)
{
    return QJsonDocument::fromJson(line.trimmed().toUtf8()).object();
}

} // namespace

class CtlEndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(sim.start(), qPrintable(sim.error())); }

    // Each query against the simulated projector in standby: the plain
    // output, and the status text exactly as the panel decodes the reply.
    void queries_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("plain");
        QTest::newRow("status") << "status"
                                << "Stand by";
        QTest::newRow("input?") << "input?"
                                << "Computer 1";
        QTest::newRow("lamp-hours") << "lamp-hours"
                                    << "1234";
        QTest::newRow("orientation") << "orientation"
                                     << "Normally";
        QTest::newRow("temperatures") << "temperatures"
                                      << "24.0 25.5 26.0";
        QTest::newRow("lamp-mode") << "lamp-mode"
                                   << "LAMP OFF";
        QTest::newRow("mute? in standby") << "mute?"
                                          << "Stand by";
        QTest::newRow("model") << "model"
                               << "TK600";
        QTest::newRow("pressure") << "pressure"
                                  << "1013 hPa";
        QTest::newRow("send as the receive line") << "send CR0"
                                                  << "8 0 CR";
    }
    void queries()
    {
        QFETCH(QString, action);
        const QStringList words = action.split(u' ');
        const Run run = ctl(QStringList{QStringLiteral("--port"), sim.device()} + words);
        QCOMPARE(run.exit, 0);
        QFETCH(QString, plain);
        QCOMPARE(run.out, plain + u'\n');

        const Run json = ctl(QStringList{QStringLiteral("--json"), QStringLiteral("--port"), sim.device()} + words);
        QCOMPARE(json.exit, 0);
        const QJsonObject o = jsonOf(json.out);
        QCOMPARE(o.value(QLatin1String("ok")).toBool(), true);
        QCOMPARE(o.value(QLatin1String("port")).toString(), sim.device());
        const QString reply = o.value(QLatin1String("reply")).toString();
        const QString sent = o.value(QLatin1String("sent")).toString();
        QCOMPARE(o.value(QLatin1String("text")).toString(),
            decodeStatus(sent, QString(), renderTraffic(reply)).value_or(StatusLine()).text);
        QVERIFY(o.value(QLatin1String("ms")).toDouble() > 0);
    }

    void valuesInJson()
    {
        const Run run
            = ctl({QStringLiteral("--json"), QStringLiteral("--port"), sim.device(), QStringLiteral("temperatures")});
        QCOMPARE(jsonOf(run.out).value(QLatin1String("value")).toArray(), (QJsonArray{24.0, 25.5, 26.0}));
        const Run hpa
            = ctl({QStringLiteral("--json"), QStringLiteral("--port"), sim.device(), QStringLiteral("pressure")});
        QCOMPARE(jsonOf(hpa.out).value(QLatin1String("value")).toInt(), 1013);
    }

    void powerOnThenCountDown()
    {
        SimulatorProcess own({QStringLiteral("--warmup"), QStringLiteral("60000")});
        QVERIFY2(own.start(), qPrintable(own.error()));
        const Run on = ctl({QStringLiteral("--port"), own.device(), QStringLiteral("power"), QStringLiteral("on")});
        QCOMPARE(on.exit, 0);
        QCOMPARE(on.out, QStringLiteral("ACK\n"));
        const Run status = ctl({QStringLiteral("--port"), own.device(), QStringLiteral("status")});
        QCOMPARE(status.out, QStringLiteral("Count down\n"));
    }

    // A projector that never answers: exit 1 once the timeout has passed.
    void silentProjector()
    {
        SimulatorProcess silent({QStringLiteral("--silent")});
        QVERIFY2(silent.start(), qPrintable(silent.error()));
        const int timeout = 400;
        const Run run = ctl({QStringLiteral("--json"), QStringLiteral("--timeout"), QString::number(timeout),
            QStringLiteral("--port"), silent.device(), QStringLiteral("status")});
        QCOMPARE(run.exit, 1);
        const double waited = jsonOf(run.out).value(QLatin1String("ms")).toDouble();
        QVERIFY2(waited >= timeout && waited <= timeout + 200, qPrintable(QString::number(waited)));
        QVERIFY(run.wallMs < timeout + Patience / 2);
        QVERIFY(run.err.contains(QLatin1String("no reply within 400 ms")));
    }

    // A port that cannot be opened: exit 3 with the system's description,
    // and its kind in the JSON.
    void unopenable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("errorKind");
        QTest::newRow("missing device") << "missing"
                                        << "No such file or directory"
                                        << "no-such-device";
        QTest::newRow("held by another program") << "held"
                                                 << "is in use by another program"
                                                 << "in-use";
        QTest::newRow("network port nobody listens on") << "refused"
                                                        << "Connection refused"
                                                        << "connection-refused";
        QTest::newRow("host that does not resolve") << "unresolvable"
                                                    << "orva-no-such-host.invalid"
                                                    << "host-not-found";
    }
    void unopenable()
    {
        QFETCH(QString, kind);
        QString device = QStringLiteral("/dev/orva-no-such-device");
        int holder = -1;
        if (kind == QLatin1String("refused")) {
            QTcpServer unused; // a free port on the loopback, then nobody on it
            QVERIFY(unused.listen(QHostAddress::LocalHost));
            device = QStringLiteral("rfc2217://127.0.0.1:%1").arg(unused.serverPort());
        }
        if (kind == QLatin1String("unresolvable"))
            device = QStringLiteral("tcp://orva-no-such-host.invalid:2000");
        if (kind == QLatin1String("held")) {
            device = sim.device();
            holder = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
        }
        const Run run = ctl({QStringLiteral("--json"), QStringLiteral("--port"), device, QStringLiteral("status")});
        if (holder >= 0)
            ::close(holder);
        QCOMPARE(run.exit, 3);
        QFETCH(QString, description);
        QVERIFY2(run.err.contains(description), qPrintable(run.err));
        QCOMPARE(run.err.count(device), 1);
        QCOMPARE(jsonOf(run.out).value(QLatin1String("sent")).toString(), QString()); // nothing went out
        QTEST(jsonOf(run.out).value(QLatin1String("error_kind")).toString(), "errorKind");
    }

    // As an unprivileged operator: a member of the group that owns the
    // device (dialout, as udev sets up serial devices) gets in; anybody else
    // is told why not.
    void unprivilegedUser_data()
    {
        QTest::addColumn<bool>("member");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QJsonValue>("errorKind");
        QTest::newRow("in the dialout group") << true << 0 << "Stand by" << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("not in it") << false << 3 << "Permission denied"
                                   << QJsonValue(QStringLiteral("permission-denied"));
    }
    void unprivilegedUser()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to become an unprivileged user");
        const group* dialout = ::getgrnam("dialout");
        QVERIFY(dialout);
        QFETCH(bool, member);
        SimulatorProcess own;
        QVERIFY2(own.start(), qPrintable(own.error()));
        const QByteArray device = QFile::encodeName(own.device());
        QVERIFY(::chown(device.constData(), 0, dialout->gr_gid) == 0 && ::chmod(device.constData(), 0660) == 0);
        const Run run
            = ctl({QStringLiteral("--json"), QStringLiteral("--port"), own.device(), QStringLiteral("status")}, true,
                member ? dialout->gr_gid : 0);
        QTEST(run.exit, "exit");
        QFETCH(QString, said);
        QVERIFY2((run.exit == 0 ? run.out : run.err).contains(said), qPrintable(run.out + run.err));
        QTEST(jsonOf(run.out).value(QLatin1String("error_kind")), "errorKind");
    }

    // Hostile lines and odd input. "out" is a part of standard output (all
    // of it when it ends a line), "err" a part of standard error.
    void hostile_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("model on a noisy line") << "noise" << QStringList{"model"} << 1 << ""
                                               << "unexpected reply";
        QTest::newRow("server refusing Com Port Control")
            << "refuser" << QStringList{"--json", "status"} << 0
            << R"("value":"Stand by","verdict":"ok","warning":"rfc2217://)"
            << "warning: the server refused";
        QTest::newRow("code beyond ASCII") << "" << QStringList{"send", "C\u00e90"} << 2 << ""
                                           << "printable ASCII";
        QTest::newRow("device named in bytes that are not UTF-8") << "odd name" << QStringList{} << 0 << "Stand by\n"
                                                                  << "";
    }
    void hostile()
    {
        QFETCH(QString, peer);
        QFETCH(QStringList, arguments);
        SimulatorProcess noisy({QStringLiteral("--noise")});
        QString port = sim.device();
        if (peer == QLatin1String("noise")) {
            QVERIFY2(noisy.start(), qPrintable(noisy.error()));
            port = noisy.device();
        }
        // A Telnet server that refuses the Com Port Control option and
        // answers each frame 50 ms later.
        QTcpServer refuser;
        if (peer == QLatin1String("refuser")) {
            QVERIFY(refuser.listen(QHostAddress::LocalHost));
            port = QStringLiteral("rfc2217://127.0.0.1:%1").arg(refuser.serverPort());
            connect(&refuser, &QTcpServer::newConnection, &refuser, [&refuser] {
                QTcpSocket* socket = refuser.nextPendingConnection();
                socket->write(QByteArray::fromHex("fffe2cfffc2c")); // IAC DONT 44, IAC WONT 44
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    if (socket->readAll().contains('\r'))
                        QTimer::singleShot(50, socket, [socket] { socket->write("80\r"); });
                });
            });
        }
        // The shell hands the name's bytes over as they are; Qt would make
        // UTF-8 of them.
        const QTemporaryDir dir;
        const QByteArray odd = QFile::encodeName(dir.path()) + "/orva-\xe9";
        QVERIFY(::symlink(QFile::encodeName(sim.device()).constData(), odd.constData()) == 0);
        const Run run = peer == QLatin1String("odd name")
            ? ctl({QStringLiteral("-c"), QStringLiteral(R"sh(exec "$0" --port "$(printf "$1")" status)sh"),
                      QStringLiteral(ORVA_CTL), dir.path() + QStringLiteral("/orva-\\351")},
                false, 0, {}, QStringLiteral("/bin/sh"))
            : ctl(QStringList{QStringLiteral("--port"), port} + arguments);
        QTEST(run.exit, "exit");
        QFETCH(QString, out);
        QVERIFY2(out.endsWith(u'\n') || out.isEmpty() ? run.out == out : run.out.contains(out), qPrintable(run.out));
        QFETCH(QString, err);
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
    }

    // Output that cannot be written is a failure, whatever was asked.
    void lostOutput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("said");
        const QString full = QStringLiteral("/dev/full");
        const QString noSpace = QStringLiteral("write error: No space left on device");
        QTest::newRow("JSON report to a full disk") << QStringList{"--json", "status"} << full << noSpace;
        QTest::newRow("plain report to a full disk") << QStringList{"status"} << full << noSpace;
        QTest::newRow("list to a full disk") << QStringList{"list"} << full << noSpace;
        QTest::newRow("help to a full disk") << QStringList{"--help"} << full << noSpace;
        QTest::newRow("version to a full disk") << QStringList{"--version"} << full << noSpace;
        QTest::newRow("closed output") << QStringList{"status"} << "-"
                                       << "write error: Bad file descriptor";
    }
    void lostOutput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, output);
        const Run run = ctl(QStringList{QStringLiteral("--port"), sim.device()} + arguments, false, 0, output);
        QCOMPARE(run.exit, 1);
        QFETCH(QString, said);
        QCOMPARE(run.err, QStringLiteral("orva-ctl: ") + said + u'\n');
    }

    // Ended by a signal, the panel and orva-ctl close their lines on the way
    // out: the device is free for the next program at once.
    void stopSignals_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<int>("exit");
        for (const auto& [name, number] : {std::pair{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}}) {
            QTest::addRow("panel, %s", name) << QStringLiteral(ORVA_PANEL) << number << 0;
            QTest::addRow("orva-ctl, %s", name) << QStringLiteral(ORVA_CTL) << number << 128 + number;
        }
    }
    void stopSignals()
    {
        QFETCH(QString, program);
        QFETCH(int, signalNumber);
        SimulatorProcess silent({QStringLiteral("--silent")}); // orva-ctl waits for ever
        QVERIFY2(silent.start(), qPrintable(silent.error()));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        const bool panel = program == QLatin1String(ORVA_PANEL);
        process.start(program,
            panel ? QStringList{QStringLiteral("--com1"), silent.device()}
                  : QStringList{QStringLiteral("--timeout"), QString::number(Patience), QStringLiteral("--port"),
                      silent.device(), QStringLiteral("status")});
        QVERIFY(process.waitForStarted(Patience));
        QVERIFY(QTest::qWaitFor([&] { return heldExclusively(silent.device()); }, Patience));
        ::kill(pid_t(process.processId()), signalNumber);
        QVERIFY(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, Patience));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QTEST(process.exitCode(), "exit");
        if (!panel)
            QVERIFY(process.readAllStandardError().contains("stopped by SIG"));
        QVERIFY(!heldExclusively(silent.device()));
        const Run next = ctl({QStringLiteral("--timeout"), QStringLiteral("100"), QStringLiteral("--port"),
            silent.device(), QStringLiteral("status")});
        QCOMPARE(next.exit, 1); // opened, and no reply: the simulator is silent
    }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown action") << QStringList{QStringLiteral("reboot")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--baud"), QStringLiteral("status")};
        QTest::newRow("missing argument") << QStringList{QStringLiteral("power")};
    }
    void badUsage()
    {
        QFETCH(QStringList, arguments);
        const Run run = ctl(arguments);
        QCOMPARE(run.exit, 2);
        QVERIFY(run.err.contains(QLatin1String("Usage: orva-ctl")));
    }

    // Sixteen projectors at once: each answers,
    // one line each, in the order given.
    void sixteenProjectors()
    {
        std::vector<std::unique_ptr<SimulatorProcess>> room;
        QStringList arguments;
        QStringList expected;
        for (int i = 0; i < 16; ++i) {
            room.push_back(std::make_unique<SimulatorProcess>());
            QVERIFY2(room.back()->start(), qPrintable(room.back()->error()));
            arguments << QStringLiteral("--port") << room.back()->device();
            expected << room.back()->device() + QStringLiteral(": TK600");
        }
        const Run run = ctl(arguments << QStringLiteral("model"));
        QCOMPARE(run.exit, 0);
        QCOMPARE(run.out.split(u'\n', Qt::SkipEmptyParts), expected);
    }

    // No widgets and no GUI library among the program's libraries.
    void linksNoGui()
    {
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"), {QStringLiteral(ORVA_CTL)});
        if (!ldd.waitForFinished(Patience) || ldd.exitCode() != 0)
            QSKIP("ldd is not available");
        const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
        QVERIFY(libraries.contains(QLatin1String("libQt6Core")));
        QVERIFY(!libraries.contains(QLatin1String("libQt6Gui")));
        QVERIFY(!libraries.contains(QLatin1String("libQt6Widgets")));
    }

private:
    SimulatorProcess sim;
};

QTEST_GUILESS_MAIN(CtlEndToEndTest)
#include "tst_ctl_end_to_end.moc"
