#include "hub/HubLog.h"

#include <QByteArray>

#include <cstdio>

namespace orva::hub {

namespace {

int priority(LogLevel level)
{
    switch (level) {
    case LogLevel::Error:
        return 3;
    case LogLevel::Warning:
        return 4;
    case LogLevel::Notice:
        return 5;
    case LogLevel::Info:
        return 6;
    case LogLevel::Debug:
        break;
    }
    return 7;
}

} // namespace

HubLog::HubLog(bool verbose)
    : m_verbose(verbose)
    , m_journal(qEnvironmentVariableIsSet("JOURNAL_STREAM"))
{
}

void HubLog::write(LogLevel level, const QString& subject, const QString& text) const
{
    QByteArray line
        = m_journal ? QByteArray("<") + QByteArray::number(priority(level)) + '>' : QByteArray("orva-hub: ");
    if (!subject.isEmpty())
        line += subject.toUtf8() + ": ";
    // One event, one line: whatever a peer sent is shown, never obeyed.
    for (const char c : text.toUtf8()) {
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            line += "\\x" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
        else
            line += c;
    }
    line += '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace orva::hub
