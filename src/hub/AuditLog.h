#pragma once

#include "engine/CommandExchange.h"
#include "hub/HubLog.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace orva::hub {

// One command that may have changed a projector, as the audit trail keeps
// it. Every field is text as written, empty when it does not apply.
struct AuditEntry
{
    QString projector;
    QString door;        // share, pjlink, http, schedule, group
    QString peer;        // "ADDRESS:PORT", or the schedule's name
    QString who;         // the token's name for HTTP, else the door
    QString code;        // the frame's code, without its carriage return
    QString action;      // the command's name, when it has one
    QString outcome;     // ok, nak, error, no-answer, refused
    QString errorKind;   // why not ok: the line's kind of failure, or the verdict's name
    std::int64_t ms = 0; // from the frame's sending to the end of its reply; 0 when not sent
};

// What the doors, the scheduler and group actions add to a frame they
// submit, for its audit line; an empty field takes what the requester and
// the code say (the door's name, the origin's address, the door again as
// who, the vocabulary's action name). A schedule's frame, for one:
//   projector.submit(requester, origin, request, done,
//                    AuditTag{QStringLiteral("schedule"), schedule.name, {}, schedule.action});
// and a group action through HTTP: AuditTag{QStringLiteral("group"), {}, who, action}.
struct AuditTag
{
    QString door;
    QString peer;
    QString who;
    QString action;
};

// The audit trail: one JSON line per command that may change a projector,
// on standard error (prefixed as every log line, at notice level, never
// aggregated and never dropped) and, when a file is set, appended to it.
//
// The file is created 0640 and opened again by reopen() (a reload, after
// logrotate moved it); a file that cannot be opened or written is logged
// as an error once and the lines still reach standard error.
class AuditLog
{
public:
    using EpochClock = std::function<std::int64_t()>;

    AuditLog(const HubLog& log, EpochClock epochNowMs);
    ~AuditLog();
    AuditLog(const AuditLog&) = delete;
    AuditLog& operator=(const AuditLog&) = delete;

    // Appends to this file from now on as well; empty: standard error only.
    // The file is opened again even when the path is the same.
    void setFile(const QString& path);
    // Opens the file again, by its path: a new one when it was moved.
    void reopen();
    const QString& file() const { return m_path; }

    // Writes the entry, timed now.
    void record(const AuditEntry& entry);

    // Whether a code is audited: every code but the vocabulary's queries.
    static bool audits(const QString& code);
    // The outcome and error kind of an exchange, as the audit names them.
    static void describe(AuditEntry& entry, const ExchangeRequest& request, const ExchangeResult& result);
    // The entry's JSON line, without its line feed; time in RFC 3339 UTC
    // with milliseconds.
    static QByteArray line(const AuditEntry& entry, std::int64_t epochMs);

private:
    void close();

    const HubLog& m_log;
    EpochClock m_epochNowMs;
    QString m_path;
    int m_fd = -1;
    bool m_writeFailTold = false;
};

} // namespace orva::hub
