#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace orva::bench {

// orva-hub as a child process on a configuration of our own, in a
// temporary folder; stopped with SIGTERM when destroyed. Its log (standard
// error) is read by start(), reload(), drain() and log(), so the hub never
// waits on a full pipe while one of them runs. The readings from /proc are
// -1 when the hub is gone.
class HubProcess
{
public:
    HubProcess() = default;
    ~HubProcess();
    HubProcess(const HubProcess&) = delete;
    HubProcess& operator=(const HubProcess&) = delete;

    // A [[projector]] table on line with a share and a PJLink door (0: none).
    static QString projectorTable(const QString& name, const QString& line, quint16 share, quint16 pjlink);

    // Starts the hub on config (TOML) and waits until it serves; false, with
    // its log on standard error, when it does not.
    bool start(const QString& config);
    // Writes config over the file, sends SIGHUP and waits until the hub has
    // read it; false, with its log on standard error, when it did not.
    bool reload(const QString& config);
    // Reads what the hub logged meanwhile and drops it.
    void drain();
    // What the hub logged since the last read, and whether it ended.
    QByteArray log();

    // A field of /proc/PID/status, in its own unit.
    qint64 status(const char* field) const;
    // Voluntary and involuntary context switches so far: how often it woke.
    qint64 wakeUps() const { return status("voluntary_ctxt_switches:") + status("nonvoluntary_ctxt_switches:"); }
    // CPU time of the hub so far (user and system), in seconds.
    double cpuSeconds() const;
    // The descriptors it holds open.
    int descriptors() const;

private:
    bool writeConfig(const QString& config);
    // Reads the log until a line holds one of the words or timeoutMs of
    // silence passed; the word found, or empty.
    QByteArray waitForLog(const QList<QByteArray>& words, int timeoutMs);

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("hub.toml"));
    QProcess m_process;
};

} // namespace orva::bench
