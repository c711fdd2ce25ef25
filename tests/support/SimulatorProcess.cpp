#include "SimulatorProcess.h"

#include <QDeadlineTimer>

namespace orva {

QString SimulatorProcess::program()
{
    return QStringLiteral(ORVA_PROJECTOR_SIM);
}

SimulatorProcess::SimulatorProcess(QStringList arguments, QProcess::ProcessChannelMode stderrMode)
    : m_arguments(std::move(arguments))
{
    m_process.setProgram(program());
    m_process.setArguments(m_arguments);
    m_process.setProcessChannelMode(stderrMode);
}

SimulatorProcess::~SimulatorProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(30000)) {
            m_process.kill();
            m_process.waitForFinished(30000);
        }
    }
}

bool SimulatorProcess::start(int timeoutMs)
{
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(program(), m_process.errorString());
        return false;
    }
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (!out.contains('\n')) {
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()
            || (!m_process.waitForReadyRead(int(deadline.remainingTime())) && m_process.bytesAvailable() == 0)) {
            m_error = QStringLiteral("the simulator printed no device (%1)").arg(QString::fromLocal8Bit(out));
            return false;
        }
        out += m_process.readAllStandardOutput();
    }
    m_device = QString::fromLocal8Bit(out.left(out.indexOf('\n')));
    return !m_device.isEmpty();
}

bool SimulatorProcess::stop(int timeoutMs)
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(timeoutMs))
            return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

} // namespace orva
