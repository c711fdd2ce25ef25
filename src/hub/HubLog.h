#pragma once

#include <QString>

namespace orva::hub {

// orva-hub's log: one line per event on standard error, the subject first
// (a projector's name, a client's address). Under systemd (JOURNAL_STREAM
// set) each line starts with its syslog priority, "<4>", which the journal
// reads as the level; elsewhere with the program's name.
enum class LogLevel { Error, Warning, Notice, Info, Debug };

class HubLog
{
public:
    explicit HubLog(bool verbose = false);

    void write(LogLevel level, const QString& subject, const QString& text) const;
    void error(const QString& subject, const QString& text) const { write(LogLevel::Error, subject, text); }
    void warning(const QString& subject, const QString& text) const { write(LogLevel::Warning, subject, text); }
    void info(const QString& subject, const QString& text) const { write(LogLevel::Info, subject, text); }
    // Written only with --verbose: every frame, who sent it and how it ended.
    void debug(const QString& subject, const QString& text) const
    {
        if (m_verbose)
            write(LogLevel::Debug, subject, text);
    }
    bool verbose() const { return m_verbose; }

private:
    bool m_verbose;
    bool m_journal;
};

} // namespace orva::hub
