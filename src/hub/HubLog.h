#pragma once

#include "hub/RefusalLog.h"

#include <QString>

#include <memory>

namespace orva::hub {

// orva-hub's log: one line per event on standard error, the subject first
// (a projector's name, a client's address). Under systemd (JOURNAL_STREAM
// set) each line starts with its syslog priority, "<4>", which the journal
// reads as the level; elsewhere with the program's name. Control
// characters a peer or a projector sent (C0, DEL and C1) are written as
// \xNN, so that a line is one line and a terminal obeys nothing of it.
//
// Refusals of peers go through refused(): given a clock, the log
// aggregates them per peer and reason (RefusalLog), so that a flood
// writes a bounded number of lines; without one each is written.
enum class LogLevel { Error, Warning, Notice, Info, Debug };

class HubLog
{
public:
    explicit HubLog(bool verbose = false, Clock* clock = nullptr);
    ~HubLog();
    HubLog(const HubLog&) = delete;
    HubLog& operator=(const HubLog&) = delete;

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
    // A peer refused, as a warning: see RefusalLog.
    void refused(const Refusal& refusal) const;
    // A text as a line shows it: UTF-8, its control characters as \xNN.
    static QByteArray shown(const QString& text);

private:
    bool m_verbose;
    bool m_journal;
    std::unique_ptr<RefusalLog> m_refusals; // none without a clock
};

} // namespace orva::hub
