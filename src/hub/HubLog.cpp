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

HubLog::HubLog(bool verbose, Clock* clock)
    : m_verbose(verbose)
    , m_journal(qEnvironmentVariableIsSet("JOURNAL_STREAM"))
{
    if (clock) {
        m_refusals = std::make_unique<RefusalLog>(
            *clock, [this](const QString& subject, const QString& text) { warning(subject, text); });
    }
}

HubLog::~HubLog() = default;

QByteArray HubLog::shown(const QString& text)
{
    // One event, one line: whatever a peer sent is shown, never obeyed.
    // The C1 controls count too: U+009B is a terminal's CSI, as ESC [ is.
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 32 || (code >= 127 && code <= 0x9F))
            shown += QStringLiteral("\\x") + QString::number(code, 16).rightJustified(2, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown.toUtf8();
}

void HubLog::refused(const Refusal& refusal) const
{
    if (m_refusals)
        m_refusals->refuse(refusal);
    else
        warning(refusal.subject, refusal.text);
}

void HubLog::write(LogLevel level, const QString& subject, const QString& text) const
{
    QByteArray line
        = m_journal ? QByteArray("<") + QByteArray::number(priority(level)) + '>' : QByteArray("orva-hub: ");
    if (!subject.isEmpty())
        line += subject.toUtf8() + ": ";
    line += shown(text);
    line += '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace orva::hub
