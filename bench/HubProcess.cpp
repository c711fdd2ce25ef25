#include "HubProcess.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace orva::bench {

HubProcess::~HubProcess()
{
    m_process.terminate();
    m_process.waitForFinished(30000);
}

QString HubProcess::projectorTable(const QString& name, const QString& line, quint16 share, quint16 pjlink)
{
    return QStringLiteral("[[projector]]\nname = \"%1\"\nline = \"%2\"\nshare-port = %3\npjlink-port = %4\n")
        .arg(name, line)
        .arg(share)
        .arg(pjlink);
}

bool HubProcess::writeConfig(const QString& config)
{
    // Written aside and renamed, so that a reload never reads half a file.
    QFile file(m_path + QStringLiteral(".new"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return false;
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(m_path);
    return file.rename(m_path);
}

QByteArray HubProcess::waitForLog(const QList<QByteArray>& words, int timeoutMs)
{
    QByteArray log;
    for (;;) {
        for (const QByteArray& word : words) {
            if (log.contains(word))
                return word;
        }
        if (!m_process.waitForReadyRead(timeoutMs))
            break;
        log += m_process.readAllStandardError();
    }
    // Why, for whoever reads the figures.
    log += m_process.readAllStandardError();
    std::fprintf(stderr, "%s", log.constData());
    return QByteArray();
}

bool HubProcess::start(const QString& config)
{
    if (!writeConfig(config))
        return false;
    m_process.setReadChannel(QProcess::StandardError); // where the hub logs
    m_process.start(QStringLiteral(ORVA_HUB_PATH), {QStringLiteral("--config"), m_path});
    return !waitForLog({"serving"}, 30000).isEmpty();
}

bool HubProcess::reload(const QString& config)
{
    if (!writeConfig(config) || ::kill(pid_t(m_process.processId()), SIGHUP) != 0)
        return false;
    return waitForLog({"reloaded:", "not reloaded"}, 30000) == "reloaded:";
}

void HubProcess::drain()
{
    while (m_process.waitForReadyRead(10))
        m_process.readAllStandardError();
}

QByteArray HubProcess::log()
{
    m_process.waitForReadyRead(1000);
    QByteArray text = m_process.readAllStandardError();
    if (m_process.state() == QProcess::NotRunning)
        text += "(the hub ended: " + QByteArray::number(m_process.exitCode()) + ")\n";
    return text;
}

qint64 HubProcess::status(const char* field) const
{
    QFile file(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

double HubProcess::cpuSeconds() const
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = file.readAll();
    // Fields 14 and 15, utime and stime in clock ticks, counted after the
    // command's parenthesis (the command may hold blanks).
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

int HubProcess::descriptors() const
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(m_process.processId()));
    return fds.exists() ? int(fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size()) : -1;
}

} // namespace orva::bench
