#include "Ser2NetProcess.h"

#include "FreePort.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

namespace orva {

QString Ser2NetProcess::program()
{
    return QStandardPaths::findExecutable(
        QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
}

QString Ser2NetProcess::yaml(const QString& device, quint16 rfc2217Port, quint16 tcpPort)
{
    return QStringLiteral("%YAML 1.1\n---\n"
                          "connection: &projector-rfc2217\n"
                          "  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                          "  connector: serialdev,%1,19200n81,local\n"
                          "connection: &projector-raw\n"
                          "  accepter: tcp,127.0.0.1,%3\n"
                          "  connector: serialdev,%1,19200n81,local\n")
        .arg(device)
        .arg(rfc2217Port)
        .arg(tcpPort);
}

quint16 Ser2NetProcess::freePort()
{
    return orva::freePort();
}

Ser2NetProcess::Ser2NetProcess(QString device)
    : m_device(std::move(device))
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

Ser2NetProcess::~Ser2NetProcess()
{
    stop();
}

QString Ser2NetProcess::rfc2217Address() const
{
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_rfc2217Port);
}

QString Ser2NetProcess::tcpAddress() const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(m_tcpPort);
}

bool Ser2NetProcess::listening(quint16 port) const
{
    // A LISTEN socket (state 0A) on 127.0.0.1:port, seen without connecting:
    // a probing connection would take ser2net's one connection a port allows.
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}

bool Ser2NetProcess::start(int timeoutMs)
{
    const QString ser2net = program();
    if (ser2net.isEmpty()) {
        m_error = QStringLiteral("ser2net is not installed (scripts/install-deps.sh installs it)");
        return false;
    }
    if (m_config.isEmpty()) {
        m_rfc2217Port = freePort();
        m_tcpPort = freePort();
        while (m_tcpPort == m_rfc2217Port)
            m_tcpPort = freePort();
        m_config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(m_config);
        if (!file.open(QIODevice::WriteOnly) || file.write(yaml(m_device, m_rfc2217Port, m_tcpPort).toUtf8()) < 0) {
            m_error = QStringLiteral("cannot write %1").arg(m_config);
            return false;
        }
    }
    // In the foreground, with a pid file of its own, without UUCP lock
    // files (which need a writable /var/lock).
    m_process.start(ser2net,
        {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
            m_dir.filePath(QStringLiteral("ser2net.pid")), QStringLiteral("-c"), m_config});
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start ser2net: %1").arg(m_process.errorString());
        return false;
    }
    const bool up = QTest::qWaitFor(
        [this] { return m_process.state() != QProcess::Running || (listening(m_rfc2217Port) && listening(m_tcpPort)); },
        timeoutMs);
    if (!up || m_process.state() != QProcess::Running) {
        m_error = QStringLiteral("ser2net does not listen: %1").arg(QString::fromLocal8Bit(m_process.readAll()));
        stop();
        return false;
    }
    return true;
}

void Ser2NetProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(30000)) {
        m_process.kill();
        m_process.waitForFinished(30000);
    }
}

} // namespace orva
