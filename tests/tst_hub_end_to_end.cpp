#include "FreePort.h"
#include "SimulatorProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>

#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>

#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace orva;

namespace {

// The limit of every wait: far beyond what any run needs.
constexpr int Patience = 60000;

// orva-hub as a child process on a configuration of the test's own.
class HubProcess
{
public:
    ~HubProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(Patience);
        }
    }

    // Starts the hub and waits until it says it serves.
    bool start(const QString& config, const QStringList& extra = {})
    {
        QFile file(m_dir.filePath(QStringLiteral("hub.toml")));
        if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
            return false;
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setReadChannel(QProcess::StandardError); // where the hub logs
        m_process.start(QStringLiteral(ORVA_HUB), QStringList{QStringLiteral("--config"), file.fileName()} + extra);
        QElapsedTimer waited;
        waited.start();
        while (!m_log.contains("serving") && waited.elapsed() < Patience) {
            if (!m_process.waitForReadyRead(1000) && m_process.state() == QProcess::NotRunning)
                return false;
            m_log += m_process.readAllStandardError();
        }
        return m_log.contains("serving");
    }
    // Writes the configuration anew and sends SIGHUP; true once the hub
    // has said how the reload went.
    bool reload(const QString& config)
    {
        QFile file(m_dir.filePath(QStringLiteral("hub.toml")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config.toUtf8()) < 0)
            return false;
        file.close();
        const qsizetype told = log().count(QLatin1String("reloaded"));
        ::kill(pid_t(m_process.processId()), SIGHUP);
        QElapsedTimer waited;
        waited.start();
        while (log().count(QLatin1String("reloaded")) == told && waited.elapsed() < Patience) {
            if (!m_process.waitForReadyRead(1000) && m_process.state() == QProcess::NotRunning)
                return false;
        }
        return log().count(QLatin1String("reloaded")) > told;
    }
    void setEnvironment(const QProcessEnvironment& environment) { m_process.setProcessEnvironment(environment); }
    // The hub's resident memory, in KiB (VmRSS of /proc/PID/status).
    qint64 residentKiB() const
    {
        QFile file(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
        return -1;
    }
    // What the hub logged so far.
    QString log()
    {
        m_log += m_process.readAllStandardError();
        return QString::fromUtf8(m_log);
    }
    // Stops it with SIGTERM; its exit status.
    int stop()
    {
        m_process.terminate();
        m_process.waitForFinished(Patience);
        m_log += m_process.readAllStandardError();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_log;
};

// The npm PJLink client through the driver script: one line per step.
QStringList pjlink(quint16 port, const QString& password, const QStringList& steps)
{
    QProcess node;
    node.start(QStringLiteral("node"),
        QStringList{QStringLiteral(PJLINK_DRIVER), QStringLiteral("127.0.0.1"), QString::number(port), password}
            + steps);
    if (!node.waitForFinished(Patience))
        return {QStringLiteral("node did not finish")};
    return QString::fromUtf8(node.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

QString projectorTable(
    const QString& name, const QString& line, quint16 share, quint16 pjlinkPort, const QString& password = QString())
{
    QString table = QStringLiteral("[[projector]]\nname = \"%1\"\nline = \"%2\"\nshare-port = %3\npjlink-port = %4\n")
                        .arg(name, line)
                        .arg(share)
                        .arg(pjlinkPort);
    if (!password.isEmpty())
        table += QStringLiteral("pjlink-password = \"%1\"\n").arg(password);
    return table;
}

const QString Token = QStringLiteral("e2e-token-0123456789");

// A connection to a door that stays open between questions: the PJLink
// greeting or nothing read first, then one line back for each line sent.
class Conversation
{
public:
    bool open(const QString& address, quint16 port, bool greeted)
    {
        m_socket.connectToHost(QHostAddress(address), port);
        return m_socket.waitForConnected(Patience) && (!greeted || !readLine().isEmpty());
    }
    QByteArray ask(const QByteArray& line)
    {
        m_socket.write(line + '\r');
        return readLine();
    }

private:
    QByteArray readLine()
    {
        while (!m_buffer.contains('\r') && m_socket.waitForReadyRead(Patience))
            m_buffer += m_socket.readAll();
        const qsizetype end = m_buffer.indexOf('\r');
        QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end < 0 ? m_buffer.size() : end + 1);
        return line;
    }
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

// systemd's notification socket, as the test stands in for it.
class NotifySocket
{
public:
    explicit NotifySocket(const QString& path)
        : m_fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(
            address.sun_path, name.constData(), std::min(sizeof address.sun_path - 1, std::size_t(name.size())));
        m_bound = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(m_fd); }
    bool isBound() const { return m_bound; }
    // Every message so far, one a line, its own lines joined by ",".
    QString messages()
    {
        char buffer[512];
        ssize_t size = 0;
        while ((size = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0)
            m_messages += QString::fromUtf8(buffer, size).replace(u'\n', u',') + u'\n';
        return m_messages;
    }

private:
    int m_fd;
    bool m_bound = false;
    QString m_messages;
};

// The top of a configuration with an HTTP door on the port, behind Token,
// polling every second.
QString httpDoor(quint16 port)
{
    return QStringLiteral("poll-interval-ms = 1000\nhttp-port = %1\nhttp-token = \"%2\"\n").arg(port).arg(Token);
}

// One HTTP exchange, on a connection of its own: the status line and the
// body ("" when the server did not answer).
std::pair<QByteArray, QByteArray> http(quint16 port, const QByteArray& method, const QByteArray& target,
    const QByteArray& headers = QByteArray(), const QByteArray& body = QByteArray())
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(Patience))
        return {};
    socket.write(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
        + "\r\nConnection: close\r\n" + headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
        + body);
    QByteArray response;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(Patience))
        response += socket.readAll();
    response += socket.readAll();
    const qsizetype headEnd = response.indexOf("\r\n\r\n");
    return {response.left(response.indexOf("\r\n")), headEnd < 0 ? QByteArray() : response.mid(headEnd + 4)};
}

QByteArray postAction(quint16 port, const QString& projector, const QString& action)
{
    return http(port, "POST", "/api/projectors/" + projector.toLatin1() + "/actions/" + action.toLatin1(),
        "Authorization: Bearer " + Token.toLatin1() + "\r\n")
        .first;
}

// A real server the test starts on loopback (nginx, Prometheus), stopped
// when it goes.
class ServerProcess
{
public:
    ~ServerProcess()
    {
        m_process.terminate();
        m_process.waitForFinished(Patience);
    }
    // Starts the program and waits until it answers HTTP on the port.
    bool start(const QString& program, const QStringList& arguments, quint16 port, const QByteArray& probe)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program, arguments);
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < Patience && m_process.state() != QProcess::NotRunning) {
            if (http(port, "GET", probe).first.startsWith("HTTP/1.1 200"))
                return true;
            m_process.waitForFinished(200);
        }
        return false;
    }
    QString output() { return QString::fromUtf8(m_process.readAll()); }

private:
    QProcess m_process;
};

QString writeFile(const QTemporaryDir& dir, const QString& name, const QString& text)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
    return file.fileName();
}

} // namespace

// orva-hub against simulated projectors, with a real PJLink controller
// (the npm client), orva-ctl and a raw client on the share door.
class HubEndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void controllers_data();
    void controllers();
    void pjlinkUdp_data();
    void pjlinkUdp();
    void sharing();
    void reconnects();
    void slowProjector_data();
    void slowProjector();
    void noisyLine();
    void halfClosed_data();
    void halfClosed();
    void webPanel_data();
    void webPanel();
    void monitoring();
    void reloads_data();
    void reloads();
};

void HubEndToEndTest::controllers_data()
{
    QTest::addColumn<QString>("password");       // in the configuration
    QTest::addColumn<QString>("clientPassword"); // "-": none
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("power on, input, mute, lamp")
        << QString() << "-"
        << QStringList{"power", "power-on", "wait-on", "input-rgb2", "input", "mute-video", "mute", "unmute", "lamps",
               "errors"}
        << QStringList{"power: 0", "power-on: ok", "wait-on: 3>1", "input-rgb2: ok",
               "input: {\"source\":1,\"channel\":2,\"code\":\"12\",\"name\":\"RGB - 2\"}", "mute-video: ok",
               "mute: {\"audio\":false,\"video\":true}", "unmute: ok", "lamps: [{\"hours\":1234,\"on\":true}]",
               "errors: null"};
    QTest::newRow("right password") << "s3cret"
                                    << "s3cret" << QStringList{"name", "manufacturer", "model", "class"}
                                    << QStringList{"name: a101", "manufacturer: ORVA", "model: TK600", "class: 2"};
    QTest::newRow("wrong password") << "s3cret"
                                    << "secret" << QStringList{"name"}
                                    << QStringList{"name: error: Authorization failed"};
}

void HubEndToEndTest::controllers()
{
    QFETCH(QString, password);
    QFETCH(QString, clientPassword);
    QFETCH(QStringList, steps);

    SimulatorProcess sim({QStringLiteral("--warmup"), QStringLiteral("1500")});
    QVERIFY2(sim.start(), qPrintable(sim.error()));
    const quint16 door = freePort();
    HubProcess hub;
    QVERIFY2(hub.start(projectorTable(QStringLiteral("a101"), sim.device(), 0, door, password)), qPrintable(hub.log()));
    QTEST(pjlink(door, clientPassword, steps), "lines");
    QCOMPARE(hub.stop(), 0);
}

void HubEndToEndTest::pjlinkUdp_data()
{
    // Steps: "search" from 127.0.0.1 (and "search-other" from 127.0.0.4) to
    // 127.0.0.2, "> LINE" a PJLink request to a101's door, "reload closed"
    // (or "open") a reload closes (or opens) a102's door, "wait DATAGRAM"
    // until 127.0.0.1 has had it as often as it was waited for. Received: what 127.0.0.1 got, "FROM DATAGRAM".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("received");
    // a101 notifies no address of the configuration, only the controller its door served.
    const QStringList announced{"127.0.0.3 %2LKUP=02:00:00:00:01:02"};
    QTest::newRow("a search answered once per projector, from its own address; again at once: not")
        << QStringList{"wait 127.0.0.3 %2LKUP=02:00:00:00:01:02", "search", "search", "search-other"}
        << announced + QStringList{"127.0.0.2 %2ACKN=02:00:00:00:01:01", "127.0.0.3 %2ACKN=02:00:00:00:01:02"};
    QTest::newRow("a door a reload opens announces itself") << QStringList{"wait 127.0.0.3 %2LKUP=02:00:00:00:01:02",
        "reload closed", "reload open",
        "wait 127.0.0.3 %2LKUP=02:00:00:00:01:02"} << announced + QStringList{"127.0.0.3 %2LKUP=02:00:00:00:01:02"};
    QTest::newRow("power on, the count-down, a temperature warning, an input")
        << QStringList{"> %1POWR 1", "wait 127.0.0.2 %2ERST=001000", "> %2INPT 21", "wait 127.0.0.2 %2INPT=21"}
        << announced
            + QStringList{"127.0.0.2 %2POWR=3", "127.0.0.2 %2POWR=1", "127.0.0.2 %2ERST=001000", "127.0.0.2 %2INPT=21"};
}

// Two projectors on addresses of their own, a PJLink controller on
// 127.0.0.1 listening on the hub's UDP port (as it shares it), one
// notified by configuration.
void HubEndToEndTest::pjlinkUdp()
{
    QFETCH(QStringList, steps);
    SimulatorProcess first({QStringLiteral("--warmup"), QStringLiteral("1500"), QStringLiteral("--overheat-after"),
        QStringLiteral("1500")});
    SimulatorProcess second;
    QVERIFY2(first.start() && second.start(), qPrintable(first.error() + second.error()));
    const quint16 port = freePort();
    const quint16 door = freePort();
    QUdpSocket controller;
    QUdpSocket other;
    QStringList received;
    QStringList otherReceived;
    for (const auto& listener :
        {std::tuple{&controller, "127.0.0.1", &received}, std::tuple{&other, "127.0.0.4", &otherReceived}}) {
        QUdpSocket* socket = std::get<0>(listener);
        QStringList* into = std::get<2>(listener);
        QVERIFY(socket->bind(QHostAddress(QLatin1String(std::get<1>(listener))), port, QUdpSocket::ShareAddress));
        connect(socket, &QUdpSocket::readyRead, socket, [socket, into] {
            while (socket->hasPendingDatagrams()) {
                const QNetworkDatagram datagram = socket->receiveDatagram();
                into->append(datagram.senderAddress().toString() + u' ' + QString::fromLatin1(datagram.data()));
                into->last().chop(into->last().endsWith(u'\r') ? 1 : 0);
            }
        });
    }
    // a102's PJLink door is there unless a reload closes it.
    const auto config = [&](bool secondDoor) {
        return QStringLiteral("poll-interval-ms = 1000\npjlink-udp-port = %1\npjlink-notify = [\"127.0.0.1\"]\n")
                   .arg(port)
            + projectorTable(QStringLiteral("a101"), first.device(), 0, door)
            + QStringLiteral(
                "listen = [\"127.0.0.2\"]\npjlink-password = \"\"\nmac = \"02:00:00:00:01:01\"\npjlink-notify = []\n")
            + projectorTable(QStringLiteral("a102"), second.device(), 0, secondDoor ? door : 0)
            + QStringLiteral("listen = [\"127.0.0.3\"]\npjlink-password = \"\"\nmac = \"02:00:00:00:01:02\"\n");
    };
    HubProcess hub;
    QVERIFY2(hub.start(config(true)), qPrintable(hub.log()));
    Conversation pjlinkDoor;
    QVERIFY(pjlinkDoor.open(QStringLiteral("127.0.0.2"), door, true));
    QStringList waited;
    for (const QString& step : steps) {
        if (step.startsWith(QLatin1String("search"))) {
            (step == QLatin1String("search") ? controller : other)
                .writeDatagram("%2SRCH\r", QHostAddress(QStringLiteral("127.0.0.2")), port);
        } else if (step.startsWith(QLatin1String("> "))) {
            QVERIFY(pjlinkDoor.ask(step.mid(2).toLatin1()).endsWith("=OK"));
        } else if (step.startsWith(QLatin1String("reload "))) {
            QVERIFY2(hub.reload(config(step == QLatin1String("reload open"))), qPrintable(hub.log()));
        } else {
            // As often as it was waited for.
            waited.append(step.mid(5));
            QVERIFY2(
                QTest::qWaitFor([&] { return received.count(waited.last()) == waited.count(waited.last()); }, Patience),
                qPrintable(received.join(u'\n')));
        }
    }
    // The answers to the last search came after those to the ones before.
    if (steps.contains(QLatin1String("search-other")))
        QVERIFY(QTest::qWaitFor([&] { return otherReceived.size() == 2; }, Patience));
    QTEST(received, "received");
    QCOMPARE(hub.stop(), 0);
}

// Two projectors; on the first, a PJLink controller polls while orva-ctl
// and a raw share client ask other questions through the share door: each
// reply reaches the one that asked, none is lost.
void HubEndToEndTest::sharing()
{
    SimulatorProcess first;
    SimulatorProcess second;
    QVERIFY2(first.start() && second.start(), qPrintable(first.error() + second.error()));
    const quint16 share = freePort();
    const quint16 door = freePort();
    const quint16 otherShare = freePort();
    HubProcess hub;
    QVERIFY2(hub.start(projectorTable(QStringLiteral("a101"), first.device(), share, door)
                 + projectorTable(QStringLiteral("a102"), second.device(), otherShare, 0)),
        qPrintable(hub.log()));

    QProcess controller;
    QStringList polls;
    for (int i = 0; i < 20; ++i)
        polls << QStringLiteral("power") << QStringLiteral("lamps");
    controller.start(QStringLiteral("node"),
        QStringList{
            QStringLiteral(PJLINK_DRIVER), QStringLiteral("127.0.0.1"), QString::number(door), QStringLiteral("-")}
            + polls);

    QProcess ctl;
    ctl.start(QStringLiteral(ORVA_CTL),
        {QStringLiteral("--port"), QStringLiteral("tcp://127.0.0.1:%1").arg(share), QStringLiteral("--port"),
            QStringLiteral("tcp://127.0.0.1:%1").arg(otherShare), QStringLiteral("model")});

    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, share);
    QVERIFY(raw.waitForConnected(Patience));
    for (int i = 0; i < 50; ++i) {
        raw.write("CR1\r");
        QByteArray reply;
        while (!reply.endsWith('\r') && raw.waitForReadyRead(Patience))
            reply += raw.readAll();
        QCOMPARE(reply, QByteArray("1\r"));
    }

    QVERIFY(ctl.waitForFinished(Patience));
    QCOMPARE(ctl.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(ctl.readAllStandardOutput()),
        QStringLiteral("tcp://127.0.0.1:%1: TK600\ntcp://127.0.0.1:%2: TK600\n").arg(share).arg(otherShare));
    QVERIFY(controller.waitForFinished(Patience));
    const QStringList lines = QString::fromUtf8(controller.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), polls.size());
    for (const QString& line : lines)
        QVERIFY2(line == QLatin1String("power: 0") || line == QLatin1String("lamps: [{\"hours\":1234,\"on\":false}]"),
            qPrintable(line));
    QCOMPARE(hub.stop(), 0);
}

// The projector's line goes away and comes back at the same path: PJLink
// answers "failure" meanwhile, and the hub takes the line up again.
void HubEndToEndTest::reconnects()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    auto sim = std::make_unique<SimulatorProcess>(QStringList{QStringLiteral("--link"), link});
    QVERIFY2(sim->start(), qPrintable(sim->error()));
    const quint16 door = freePort();
    HubProcess hub;
    QVERIFY2(hub.start(projectorTable(QStringLiteral("a101"), link, 0, door)), qPrintable(hub.log()));
    QCOMPARE(pjlink(door, QStringLiteral("-"), {QStringLiteral("power")}), QStringList{"power: 0"});

    QVERIFY(sim->stop());
    sim.reset();
    QTRY_VERIFY_WITH_TIMEOUT(hub.log().contains(QLatin1String("a101: line down")), Patience);
    QCOMPARE(pjlink(door, QStringLiteral("-"), {QStringLiteral("power")}),
        QStringList{"power: error: Projector/Display failure"});

    sim = std::make_unique<SimulatorProcess>(QStringList{QStringLiteral("--link"), link});
    QVERIFY2(sim->start(), qPrintable(sim->error()));
    QTRY_VERIFY_WITH_TIMEOUT(hub.log().contains(QLatin1String("a101: answering again")), Patience);
    QCOMPARE(pjlink(door, QStringLiteral("-"), {QStringLiteral("power")}), QStringList{"power: 0"});
    QCOMPARE(hub.stop(), 0);
}

// Share clients that each keep one query on the line at all times, on
// projectors that answer after the reply timeout or stop now and then:
// every reply reaches the client whose query it answers, and what the hub
// caches agrees with the simulator. Client A asks CR9 and CR7 in turn, B
// CR0 and CR1 (model, lamp mode "00", power "80", input "1"): a reply given
// to the wrong one shows, and "00" taken for a power code would cache "on".
void HubEndToEndTest::slowProjector_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<int>("projectors");
    QTest::addColumn<int>("replyTimeoutMs");
    QTest::addColumn<int>("stopEveryMs"); // SIGSTOP for 400 ms this often; 0: never
    QTest::addColumn<int>("frames");      // per client

    QTest::newRow("replies after the timeout") << QStringList{"--delay", "130"} << 4 << 10 << 0 << 75;
    QTest::newRow("projector stopped while frames are in flight") << QStringList{} << 1 << 100 << 1000 << 500;
}

void HubEndToEndTest::slowProjector()
{
    QFETCH(QStringList, simulator);
    QFETCH(int, projectors);
    QFETCH(int, replyTimeoutMs);
    QFETCH(int, stopEveryMs);
    QFETCH(int, frames);

    std::vector<std::unique_ptr<SimulatorProcess>> sims;
    std::vector<quint16> shares;
    const quint16 httpPort = freePort();
    QString config = QStringLiteral("poll-interval-ms = 300\nreply-timeout-ms = %1\nhttp-port = %2\n")
                         .arg(replyTimeoutMs)
                         .arg(httpPort);
    for (int i = 0; i < projectors; ++i) {
        sims.push_back(std::make_unique<SimulatorProcess>(simulator));
        QVERIFY2(sims.back()->start(), qPrintable(sims.back()->error()));
        shares.push_back(freePort());
        config += projectorTable(QStringLiteral("p%1").arg(i), sims.back()->device(), shares.back(), 0);
    }
    HubProcess hub;
    QVERIFY2(hub.start(config), qPrintable(hub.log()));

    const std::map<QByteArray, QByteArray> answers{
        {"CR9", "TK600\r"}, {"CR7", "00\r"}, {"CR0", "80\r"}, {"CR1", "1\r"}};
    struct Client
    {
        std::unique_ptr<QTcpSocket> socket;
        QList<QByteArray> codes;
        int sent = 0;
        QByteArray reply;
        QStringList wrong;
    };
    std::vector<Client> clients;
    clients.reserve(shares.size() * 2);
    for (const quint16 port : shares) {
        for (const QList<QByteArray>& codes : {QList<QByteArray>{"CR9", "CR7"}, QList<QByteArray>{"CR0", "CR1"}}) {
            Client& client = clients.emplace_back();
            client.socket = std::make_unique<QTcpSocket>();
            client.socket->connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(client.socket->waitForConnected(Patience));
            client.codes = codes;
        }
    }
    const auto sendNext = [](Client& client) {
        client.socket->write(client.codes.at(client.sent % 2) + '\r');
        ++client.sent;
    };
    for (Client& client : clients) {
        connect(client.socket.get(), &QTcpSocket::readyRead, this, [&client, &answers, &sendNext, frames] {
            client.reply += client.socket->readAll();
            while (client.reply.contains('\r')) {
                const QByteArray reply = client.reply.first(client.reply.indexOf('\r') + 1);
                client.reply.remove(0, reply.size());
                const QByteArray& code = client.codes.at((client.sent - 1) % 2);
                if (reply != answers.at(code))
                    client.wrong.append(QString::fromLatin1(code + " -> " + reply));
                if (client.sent < frames)
                    sendNext(client);
            }
        });
        sendNext(client);
    }
    QTimer stopper;
    const auto simPid = pid_t(sims.front()->process().processId());
    // However the test ends, the simulator is not left stopped.
    const auto resume = qScopeGuard([simPid] { ::kill(simPid, SIGCONT); });
    if (stopEveryMs > 0) {
        connect(&stopper, &QTimer::timeout, this, [simPid] {
            ::kill(simPid, SIGSTOP);
            QTimer::singleShot(400, [simPid] { ::kill(simPid, SIGCONT); });
        });
        stopper.start(stopEveryMs);
    }
    const auto finished = [&clients, frames] {
        return std::all_of(clients.begin(), clients.end(),
            [frames](const Client& client) { return client.sent == frames && client.reply.isEmpty(); });
    };
    const auto misrouted = [&clients] {
        return std::any_of(
            clients.begin(), clients.end(), [](const Client& client) { return !client.wrong.isEmpty(); });
    };
    QTRY_VERIFY_WITH_TIMEOUT(finished() || misrouted(), 4 * Patience);
    stopper.stop();
    for (const Client& client : clients)
        QVERIFY2(client.wrong.isEmpty(), qPrintable(client.wrong.join(u", ")));

    // What the hub caches (only replies that came in time) agrees with the
    // simulator: standby, lamps off, TK600.
    const std::map<QString, std::pair<QString, QJsonValue>> expected{
        {QStringLiteral("power_state"), {QStringLiteral("state"), QStringLiteral("standby")}},
        {QStringLiteral("lamp_mode"), {QStringLiteral("lit"), false}},
        {QStringLiteral("model"), {QStringLiteral("value"), QStringLiteral("TK600")}}};
    for (int i = 0; i < projectors; ++i) {
        const QJsonObject values
            = QJsonDocument::fromJson(http(httpPort, "GET", "/api/projectors/p" + QByteArray::number(i)).second)
                  .object()
                  .value(QStringLiteral("values"))
                  .toObject();
        for (const auto& [name, field] : expected) {
            if (values.contains(name))
                QCOMPARE(values.value(name).toObject().value(field.first), field.second);
        }
    }
    QCOMPARE(hub.stop(), 0);
}

// A projector that streams characters without end, polled often, and a
// share client that sent one frame and reads nothing: what the hub holds
// for it is bounded, so its memory stays flat.
void HubEndToEndTest::noisyLine()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer keeps freed memory in quarantine: resident memory says nothing here");
#endif
    SimulatorProcess sim({QStringLiteral("--stream"), QStringLiteral("200000")});
    QVERIFY2(sim.start(), qPrintable(sim.error()));
    const quint16 share = freePort();
    HubProcess hub;
    QVERIFY2(hub.start(QStringLiteral("poll-interval-ms = 100\nreply-timeout-ms = 100\nlate-reply-ms = 100\n")
                 + projectorTable(QStringLiteral("a101"), sim.device(), share, 0)),
        qPrintable(hub.log()));
    QTcpSocket client;
    client.setReadBufferSize(1); // it reads nothing: what the hub sends waits in the system's buffers
    client.connectToHost(QHostAddress::LocalHost, share);
    QVERIFY(client.waitForConnected(Patience));
    client.write("CR0\r");
    QVERIFY(client.waitForBytesWritten(Patience));

    QTest::qWait(3000); // past the start's allocations
    const qint64 before = hub.residentKiB();
    QTest::qWait(15000);
    const qint64 after = hub.residentKiB();
    QVERIFY2(before > 0 && after - before < 3 * 1024,
        qPrintable(QStringLiteral("resident %1 KiB, then %2 KiB 15 s later").arg(before).arg(after)));
    QCOMPARE(hub.stop(), 0);
}

// A client that sends its request and then shuts down its sending side
// still gets the whole answer before the connection ends, at every door.
void HubEndToEndTest::halfClosed_data()
{
    QTest::addColumn<QString>("door");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer"); // what the answer holds
    QTest::addColumn<QString>("audited");   // in each audit line of the hub's log; empty: none written

    QTest::newRow("share") << "share" << QByteArray("CR0\rCR9\r") << QByteArray("80\rTK600\r") << QString();
    QTest::newRow("PJLink") << "pjlink" << QByteArray("%1POWR ?\r%1INF2 ?\r") << QByteArray("%1POWR=0\r%1INF2=TK600\r")
                            << QString();
    QTest::newRow("HTTP GET") << "http" << QByteArray("GET /api/projectors/a101 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                              << QByteArray("HTTP/1.1 200 OK") << QString();
    const QByteArray post
        = "HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + Token.toLatin1() + "\r\nContent-Length: 0\r\n\r\n";
    QTest::newRow("HTTP POST") << "http"
                               << "POST /api/projectors/a101/actions/model " + post
                               << QByteArray("\"reply\":\"TK600\\r\"") << QString();
    QTest::newRow("share power on: audited") << "share" << QByteArray("C00\r") << QByteArray("\x06")
                                             << R"("door":"share","peer":"127.0.0.1:*,"who":"share","code":"C00",)"
                                                R"("action":"power-on","outcome":"ok","error_kind":null)";
    QTest::newRow("PJLink power on: audited")
        << "pjlink" << QByteArray("%1POWR 1\r") << QByteArray("%1POWR=OK\r")
        << R"("door":"pjlink","peer":"127.0.0.1:*,"who":"pjlink","code":"C00","action":"power-on","outcome":"ok")";
    QTest::newRow("HTTP power on: audited")
        << "http"
        << "POST /api/projectors/a101/actions/power-on " + post << QByteArray("\"ok\":true")
        << R"("door":"http","peer":"127.0.0.1:*,"who":"default","code":"C00","action":"power-on","outcome":"ok")";
}

void HubEndToEndTest::halfClosed()
{
    QFETCH(QString, door);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(QString, audited);

    SimulatorProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.error()));
    const quint16 share = freePort();
    const quint16 pjlinkPort = freePort();
    const quint16 httpPort = freePort();
    HubProcess hub;
    QVERIFY2(hub.start(httpDoor(httpPort) + projectorTable(QStringLiteral("a101"), sim.device(), share, pjlinkPort)),
        qPrintable(hub.log()));
    const quint16 port = door == QLatin1String("share") ? share
        : door == QLatin1String("pjlink")               ? pjlinkPort
                                                        : httpPort;
    for (int i = 0; i < 10; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QVERIFY(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(::write(fd, request.constData(), std::size_t(request.size())) == request.size());
        ::shutdown(fd, SHUT_WR);
        QByteArray received;
        char buffer[4096];
        pollfd readable{fd, POLLIN, 0};
        while (::poll(&readable, 1, Patience) == 1) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            received.append(buffer, got);
        }
        ::close(fd);
        QVERIFY2(received.contains(answer),
            qPrintable(QStringLiteral("try %1: %2\n%3").arg(i).arg(QString::fromLatin1(received), hub.log())));
    }
    QCOMPARE(hub.stop(), 0);
    // One audit line a command, each on a line of its own, the client's
    // port in place of the "*".
    QStringList lines;
    for (const QString& line : hub.log().split(u'\n')) {
        if (line.contains(QLatin1String("audit: {")))
            lines.append(line);
    }
    QCOMPARE(lines.size(), audited.isEmpty() ? 0 : 10);
    const QRegularExpression pattern(
        QRegularExpression::escape(audited).replace(QLatin1String("\\*"), QLatin1String("[0-9]+\"")));
    for (const QString& line : lines)
        QVERIFY2(pattern.match(line).hasMatch(), qPrintable(line));
}

// The web panel in Debian's chromium (playwright-core from npm, pinned),
// on a phone-sized window: a101 on a simulator, b201 on a line that is not
// there; straight to the hub, and behind nginx as the docs set it up. The
// fleet row adds 40 simulated projectors (p01 to p12 in building-3, the rest
// in lecture-halls, some with labels beyond ASCII), p40's simulator stopped
// once the hub had read it, p01 to p03 on: on a desktop, then on a phone.
void HubEndToEndTest::webPanel_data()
{
    QTest::addColumn<bool>("proxied");
    QTest::addColumn<int>("fleet");
    QTest::addColumn<QString>("access"); // the configuration's keys on reads and its [[token]] tables
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("power on, warming then on, without a reload")
        << false << 0 << QString()
        << QStringList{"token:" + Token, "open:a101", "see:a101:model:TK600", "press:a101:power-on",
               "see:a101:power:Warming", "see:a101:power:On", "see:a101:result:Power on: done", "same-page",
               "screenshot:" + QStringLiteral(WEB_SCREENSHOT)};
    QTest::newRow("line down: the error in words, the system's one click away")
        << false << 0 << QString()
        << QStringList{"token:" + Token, "see:@b201:state:Unreachable", "open:b201",
               "see:b201:line:device not found: /nonexistent/projector", "press:b201:power-on",
               "see:b201:result:Power on: device not found: /nonexistent/projector", "same-page"};
    QTest::newRow("behind nginx") << true << 0 << QString()
                                  << QStringList{"token:" + Token, "open:a101", "press:a101:power-on",
                                         "see:a101:power:Warming", "see:a101:power:On", "same-page"};
    const QString shots = qEnvironmentVariable("ORVA_FLEET_SCREENSHOTS", QStringLiteral(WEB_SCREENSHOT_DIR));
    QTest::newRow("a fleet of 40: a group powered off, one unreachable")
        << false << 40 << QString()
        << QStringList{"token:" + Token, "viewport:1280x900", "see:@p40:state:Unreachable", "see:@p40:contact:8 s ago",
               "see:@p01:state:On", "see:-:schedules:evenings-off", "filter:building-3",
               "see:-:shown:12 of 42 projectors shown", "select-shown", "see:-:selected:12 projectors selected",
               "bulk:power-off:Power off 12 projectors?", "see-rows:result:Done",
               "see:-:progress:Power off: 12 of 12 done.", "see:@p01:state:Cooling", "see-rows:contact:now",
               "screenshot:" + shots + "/fleet-desktop.png", "filter:", "search:hörsaal 2",
               "see:-:shown:3 of 42 projectors shown", "select-shown", "bulk:power-on:Power on 3 projectors?",
               "see-rows:result:Done", "see:@p24:state:On", "search:", "viewport:360x740",
               "screenshot-view:" + shots + "/fleet-phone.png", "open:p02", "see:p02:power:Cooling", "same-page",
               "no-alert"};
    // Reads need a token: the page asks for one before it shows anything.
    const QString viewer = QStringLiteral("wall-display-0123456789");
    QTest::newRow("reads need a token: a viewer's reads and stream, an operator's press")
        << false << 0
        << QStringLiteral("http-reads = \"token\"\n[[token]]\nname = \"wall\"\nrole = \"viewer\"\nsecret = \"%1\"\n")
               .arg(viewer)
        << QStringList{"token:" + viewer, "see:@a101:state:Standby", "see:-:connection:Live", "open:a101",
               "press:a101:power-on", "see:a101:result:This token may only read; an operator's token is needed",
               "token:" + Token, "see:a101:result:Power on: done", "see:a101:power:Warming", "see:a101:power:On",
               "same-page"};
}

void HubEndToEndTest::webPanel()
{
    QFETCH(bool, proxied);
    QFETCH(int, fleet);
    QFETCH(QString, access);
    QFETCH(QStringList, steps);

    SimulatorProcess sim({QStringLiteral("--warmup"), QStringLiteral("3000")});
    QVERIFY2(sim.start(), qPrintable(sim.error()));
    const quint16 port = freePort();
    QString hubConfig = httpDoor(port) + access + projectorTable(QStringLiteral("a101"), sim.device(), 0, 0)
        + projectorTable(QStringLiteral("b201"), QStringLiteral("/nonexistent/projector"), 0, 0);
    std::vector<std::unique_ptr<SimulatorProcess>> sims;
    for (int i = 1; i <= fleet; ++i) {
        auto& one = sims.emplace_back(std::make_unique<SimulatorProcess>(QStringList{
            QStringLiteral("--warmup"), QStringLiteral("500"), QStringLiteral("--cooldown"), QStringLiteral("60000")}));
        QVERIFY2(one->start(), qPrintable(one->error()));
        hubConfig += projectorTable(QStringLiteral("p%1").arg(i, 2, 10, QLatin1Char('0')), one->device(), 0, 0)
            + QStringLiteral("groups = [\"%1\"]\nlamp-rated-hours = %2\n")
                  .arg(i <= 12 ? QStringLiteral("building-3") : QStringLiteral("lecture-halls"))
                  .arg(i % 2 ? 1300 : 20000);
        if (i % 4 == 0)
            hubConfig += QStringLiteral("label = \"Hörsaal %1 – Decke\"\n").arg(i);
    }
    if (fleet > 0)
        hubConfig += QStringLiteral("[[schedule]]\nname = \"evenings-off\"\nat = \"Mon..Fri 22:00\"\n"
                                    "action = \"power-off\"\ntargets = [\"group:building-3\"]\n");
    HubProcess hub;
    QVERIFY2(hub.start(hubConfig), qPrintable(hub.log()));
    if (fleet > 0) {
        // Read by the hub before it goes, so that only "unreachable" is honest.
        const QByteArray last = "/api/projectors/p" + QByteArray::number(fleet);
        QTRY_VERIFY_WITH_TIMEOUT(http(port, "GET", last).second.contains("\"up\":true"), Patience);
        QVERIFY(sims.back()->stop());
        for (const char* on : {"p01", "p02", "p03"})
            QVERIFY(postAction(port, QLatin1String(on), QStringLiteral("power-on")).startsWith("HTTP/1.1 200"));
    }

    QTemporaryDir dir;
    ServerProcess nginx;
    quint16 pagePort = port;
    if (proxied) {
        pagePort = freePort();
        QFile in(QStringLiteral(NGINX_TEST_CONFIG));
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QString config = QString::fromUtf8(in.readAll())
                                   .replace(QLatin1String("@DIR@"), dir.path())
                                   .replace(QLatin1String("@PORT@"), QString::number(pagePort))
                                   .replace(QLatin1String("@HUB_PORT@"), QString::number(port))
                                   .replace(QLatin1String("@LOCATIONS@"), QStringLiteral(NGINX_LOCATIONS));
        const QString path = writeFile(dir, QStringLiteral("nginx.conf"), config);
        QVERIFY2(nginx.start(QStringLiteral("nginx"), {QStringLiteral("-c"), path, QStringLiteral("-p"), dir.path()},
                     pagePort, "/api/projectors"),
            qPrintable(nginx.output()));
    }

    QProcess driver;
    driver.setProcessChannelMode(QProcess::MergedChannels);
    driver.start(QStringLiteral("node"),
        QStringList{QStringLiteral(WEB_DRIVER), QStringLiteral("http://127.0.0.1:%1/").arg(pagePort)} + steps);
    QVERIFY(driver.waitForFinished(Patience * 3));
    const QString output = QString::fromUtf8(driver.readAll());
    QVERIFY2(driver.exitCode() == 0, qPrintable(output + hub.log()));
    QCOMPARE(output.count(QLatin1String(": ok\n")), steps.size());
    QCOMPARE(hub.stop(), 0);
    if (fleet > 0) {
        // A whole group went as one group action, a searched selection one projector at a time.
        QCOMPARE(hub.log().count(QLatin1String(": power-off (group building-3)\n")), 12);
        QVERIFY(hub.log().contains(QRegularExpression(QStringLiteral("p24: http [0-9.:]+: power-on\n"))));
    }
}

// A real Prometheus scrapes the hub every second: it holds the lamp's time
// the projector reports, and sees the projector come on after a POST. A
// power-off of the group all three are in answers a result for each, and
// the one that was on cools down. promtool accepts the exposition.
void HubEndToEndTest::monitoring()
{
    SimulatorProcess first({QStringLiteral("--warmup"), QStringLiteral("2000")});
    SimulatorProcess second;
    SimulatorProcess third;
    QVERIFY2(
        first.start() && second.start() && third.start(), qPrintable(first.error() + second.error() + third.error()));
    const quint16 port = freePort();
    const quint16 share = freePort();
    HubProcess hub;
    // Reads need a token: Prometheus scrapes with a viewer's, from a file
    // that the hub reads too.
    QTemporaryDir dir;
    const QByteArray viewer = "prometheus-0123456789";
    const QString tokenFile = writeFile(dir, QStringLiteral("prometheus.token"), QString::fromLatin1(viewer + '\n'));
    QVERIFY(QFile::setPermissions(tokenFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QString grouped = QStringLiteral("groups = [\"building-3\"]\n");
    QVERIFY2(hub.start(httpDoor(port) + QStringLiteral("http-reads = \"token\"\n")
                 + projectorTable(QStringLiteral("a101"), first.device(), share, 0) + grouped
                 + projectorTable(QStringLiteral("a102"), second.device(), 0, 0) + grouped
                 + projectorTable(QStringLiteral("a103"), third.device(), 0, 0) + grouped
                 + QStringLiteral("[[token]]\nname = \"prometheus\"\nrole = \"viewer\"\nsecret-file = \"%1\"\n")
                       .arg(tokenFile)),
        qPrintable(hub.log()));
    QCOMPARE(http(port, "GET", "/metrics").first, QByteArray("HTTP/1.1 401 Unauthorized"));

    const QString config = writeFile(dir, QStringLiteral("prometheus.yml"),
        QStringLiteral("global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: orva-hub\n"
                       "    authorization:\n      type: Bearer\n      credentials_file: %2\n"
                       "    static_configs:\n      - targets: ['127.0.0.1:%1']\n")
            .arg(port)
            .arg(tokenFile));
    const quint16 prometheusPort = freePort();
    ServerProcess prometheus;
    QVERIFY2(
        prometheus.start(QStringLiteral("prometheus"),
            {QStringLiteral("--config.file=") + config, QStringLiteral("--storage.tsdb.path=") + dir.filePath("data"),
                QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort)},
            prometheusPort, "/-/ready"),
        qPrintable(prometheus.output()));
    // The newest value Prometheus holds for a query, or "" while it has none.
    const auto query = [prometheusPort](const QByteArray& expression) {
        const QByteArray body
            = http(prometheusPort, "GET", "/api/v1/query?query=" + QUrl::toPercentEncoding(expression)).second;
        const QJsonArray result = QJsonDocument::fromJson(body).object()["data"].toObject()["result"].toArray();
        return result.isEmpty() ? QString() : result.first().toObject()["value"].toArray().at(1).toString();
    };

    QProcess ctl;
    ctl.start(QStringLiteral(ORVA_CTL),
        {QStringLiteral("--port"), QStringLiteral("tcp://127.0.0.1:%1").arg(share), QStringLiteral("lamp-hours")});
    QVERIFY(ctl.waitForFinished(Patience));
    const qint64 hours = ctl.readAllStandardOutput().trimmed().toLongLong();
    QVERIFY(hours > 0);
    QTRY_COMPARE_WITH_TIMEOUT(
        query("orva_projector_lamp_seconds_total{projector=\"a101\"}"), QString::number(hours * 3600), Patience);
    QTRY_COMPARE_WITH_TIMEOUT(
        query("orva_projector_power_state{projector=\"a101\",state=\"standby\"}"), QStringLiteral("1"), Patience);
    QCOMPARE(postAction(port, QStringLiteral("a101"), QStringLiteral("power-on")), QByteArray("HTTP/1.1 200 OK"));
    QTRY_COMPARE_WITH_TIMEOUT(
        query("orva_projector_power_state{projector=\"a101\",state=\"on\"}"), QStringLiteral("1"), Patience);
    QCOMPARE(query("orva_projector_power_state{projector=\"a102\",state=\"on\"}"), QStringLiteral("0"));
    QCOMPARE(query("orva_projector_group{projector=\"a103\",group=\"building-3\"}"), QStringLiteral("1"));

    const auto [status, body] = http(
        port, "POST", "/api/groups/building-3/actions/power-off", "Authorization: Bearer " + Token.toLatin1() + "\r\n");
    QCOMPARE(status, QByteArray("HTTP/1.1 200 OK"));
    const QJsonArray results = QJsonDocument::fromJson(body).object()["results"].toArray();
    QCOMPARE(results.size(), 3);
    for (const auto& result : results)
        QVERIFY2(result.toObject().value(QStringLiteral("ok")).toBool()
                && result.toObject().value(QStringLiteral("ms")).isDouble(),
            body.constData());
    QTRY_COMPARE_WITH_TIMEOUT(
        query("orva_projector_power_state{projector=\"a101\",state=\"cooling\"}"), QStringLiteral("1"), Patience);

    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
    promtool.write(http(port, "GET", "/metrics", "Authorization: Bearer " + viewer + "\r\n").second);
    promtool.closeWriteChannel();
    QVERIFY(promtool.waitForFinished(Patience));
    QVERIFY2(promtool.exitCode() == 0, promtool.readAll().constData());
    QCOMPARE(hub.stop(), 0);
}

// SIGHUP with a file that adds a projector at an address of its own, on the
// same PJLink port, and moves the first one's share door: a share client
// and a PJLink controller connected before stay connected and answered,
// the share door answers at its new port alone, and the new projector
// answers at once. With a bad file the hub says where and goes on as
// before. systemd hears of the reload.
void HubEndToEndTest::reloads_data()
{
    QTest::addColumn<QString>("added"); // what the new file adds to the old
    QTest::addColumn<QString>("told");  // in the log

    QTest::newRow("a projector added: the clients stay")
        << QString() << "reloaded: 2 projectors (1 added, 0 removed, 1 changed)";
    QTest::newRow("a bad file: the old one stays") << "speed = 4800\n"
                                                   << "speed: must be 19200 or 9600";
}

void HubEndToEndTest::reloads()
{
    QFETCH(QString, added);
    SimulatorProcess first;
    SimulatorProcess second;
    QVERIFY2(first.start() && second.start(), qPrintable(first.error() + second.error()));
    const quint16 share = freePort();
    const quint16 door = freePort();
    const quint16 port = freePort();
    QTemporaryDir dir;
    NotifySocket systemd(dir.filePath(QStringLiteral("notify")));
    QVERIFY(systemd.isBound());
    HubProcess hub;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), dir.filePath(QStringLiteral("notify")));
    hub.setEnvironment(environment);
    const QString before = httpDoor(port) + projectorTable(QStringLiteral("a101"), first.device(), share, door);
    QVERIFY2(hub.start(before), qPrintable(hub.log()));
    Conversation client;
    Conversation controller;
    QVERIFY(client.open(QStringLiteral("127.0.0.1"), share, false));
    QVERIFY(controller.open(QStringLiteral("127.0.0.1"), door, true));
    QCOMPARE(client.ask("CR1"), QByteArray("1"));
    QCOMPARE(controller.ask("%1POWR ?"), QByteArray("%1POWR=0"));

    const quint16 moved = freePort();
    QVERIFY2(
        hub.reload(httpDoor(port) + projectorTable(QStringLiteral("a101"), first.device(), moved, door)
            + projectorTable(QStringLiteral("a102"), second.device(), 0, door) + "listen = [\"127.0.0.2\"]\n" + added),
        qPrintable(hub.log()));
    const bool good = added.isEmpty();
    QFETCH(QString, told);
    QVERIFY2(hub.log().contains(told), qPrintable(hub.log()));
    QCOMPARE(client.ask("CR1"), QByteArray("1"));
    QCOMPARE(controller.ask("%1POWR ?"), QByteArray("%1POWR=0"));
    Conversation late;
    QVERIFY(late.open(QStringLiteral("127.0.0.1"), good ? moved : share, false));
    QCOMPARE(late.ask("CR1"), QByteArray("1"));
    QVERIFY(!Conversation().open(QStringLiteral("127.0.0.1"), good ? share : moved, false));
    Conversation newcomer;
    QCOMPARE(newcomer.open(QStringLiteral("127.0.0.2"), door, true), good);
    if (good)
        QCOMPARE(newcomer.ask("%1NAME ?"), QByteArray("%1NAME=a102"));
    QCOMPARE(http(port, "GET", "/api/projectors").second.contains("\"a102\""), good);
    QTRY_COMPARE_WITH_TIMEOUT(
        systemd.messages().section(u'\n', 0, 2).replace(QRegularExpression("USEC=\\d+"), "USEC=N"),
        QStringLiteral("READY=1\nRELOADING=1,MONOTONIC_USEC=N\nREADY=1"), Patience);
    QCOMPARE(hub.stop(), 0);
}

QTEST_GUILESS_MAIN(HubEndToEndTest)
#include "tst_hub_end_to_end.moc"
