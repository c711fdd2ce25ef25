#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace orva {

// A real ser2net (Debian's) in front of a serial device, for tests of the
// network lines: it listens on 127.0.0.1 only, on two free ports, with one
// Telnet/RFC 2217 accepter and one raw TCP accepter, both on the device at
// 19200 8N1. The configuration is written to a private folder.
class Ser2NetProcess
{
public:
    static QString program(); // the ser2net found on the path, or empty

    explicit Ser2NetProcess(QString device);
    ~Ser2NetProcess();
    Ser2NetProcess(const Ser2NetProcess&) = delete;
    Ser2NetProcess& operator=(const Ser2NetProcess&) = delete;

    // Starts it (again) and waits until both ports accept; false, with the
    // reason in error(), when it cannot be started or does not listen
    // within timeoutMs.
    bool start(int timeoutMs = 30000);
    // Stops it (SIGTERM) and waits for it to end.
    void stop();

    quint16 rfc2217Port() const { return m_rfc2217Port; }
    quint16 tcpPort() const { return m_tcpPort; }
    QString rfc2217Address() const;
    QString tcpAddress() const;
    QString configuration() const { return m_config; }
    QString error() const { return m_error; }

    // The YAML configuration for a device and two ports.
    static QString yaml(const QString& device, quint16 rfc2217Port, quint16 tcpPort);
    // A port on 127.0.0.1 that nobody listens on right now.
    static quint16 freePort();

private:
    bool listening(quint16 port) const;

    QString m_device;
    QTemporaryDir m_dir;
    QString m_config;
    quint16 m_rfc2217Port = 0;
    quint16 m_tcpPort = 0;
    QProcess m_process;
    QString m_error;
};

} // namespace orva
