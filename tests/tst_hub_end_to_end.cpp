#include "SimulatorProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace orva;

namespace {

// The limit of every wait: far beyond what any run needs.
constexpr int Patience = 60000;

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

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

} // namespace

// orva-hub against simulated projectors, with a real PJLink controller
// (the npm client), orva-ctl and a raw client on the share door.
class HubEndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void controllers_data();
    void controllers();
    void sharing();
    void reconnects();
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
                                    << QStringList{"name: a101", "manufacturer: ORVA", "model: TK600", "class: 1"};
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

QTEST_GUILESS_MAIN(HubEndToEndTest)
#include "tst_hub_end_to_end.moc"
