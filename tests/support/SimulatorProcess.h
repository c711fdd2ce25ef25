#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace orva {

// The simulated projector (orva-projector-sim) as a child process on a
// pseudo-terminal of its own, for the tests and the benchmarks. start() waits for the device path the
// simulator prints first; the destructor stops it with SIGTERM.
class SimulatorProcess
{
public:
    // The simulator program built with this tree.
    static QString program();

    explicit SimulatorProcess(
        QStringList arguments = {}, QProcess::ProcessChannelMode stderrMode = QProcess::ForwardedErrorChannel);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Sends what the simulator writes on standard error (its log, with
    // --verbose) to a file instead; before start(). (A forwarded error
    // channel would win over the file.)
    void setErrorLog(const QString& path)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setStandardErrorFile(path);
    }
    // Starts the simulator and reads its device path; false (with a reason
    // in error()) when it does not come within timeoutMs.
    bool start(int timeoutMs = 30000);
    QString device() const { return m_device; }
    QString error() const { return m_error; }
    QProcess& process() { return m_process; }

    // Sends SIGTERM and waits; true when the simulator then exited with 0.
    bool stop(int timeoutMs = 30000);

private:
    QStringList m_arguments;
    QProcess m_process;
    QString m_device;
    QString m_error;
};

} // namespace orva
