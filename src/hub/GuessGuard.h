#pragma once

#include "engine/timing/IntervalTimer.h"
#include "hub/HubLog.h"

#include <QHash>
#include <QString>

#include <cstdint>

namespace orva::hub {

// Slows down the guessing of one door's secret (the PJLink password, the
// HTTP token), per client address (not per connection or port):
//  - MaxFailures wrong secrets within FailureWindowMs put the address in
//    penalty for PenaltyMs; one log line tells each such episode;
//  - during the penalty the door refuses the address's attempts without
//    comparing anything (PJLink: "PJLINK ERRA"; HTTP: 429 with
//    Retry-After), so a guesser learns nothing and the right secret
//    works again as soon as the penalty ends;
//  - a right secret forgets the address's failures.
// At most MaxAddresses are remembered; a full table first forgets those
// whose failures are old, then the one that failed first.
// On the injected clock; nothing here runs on a timer.
class GuessGuard
{
public:
    static constexpr int MaxFailures = 5;
    static constexpr int FailureWindowMs = 60'000;
    static constexpr int PenaltyMs = 10'000;
    static constexpr int MaxAddresses = 1024;

    // door names the door in the log ("pjlink", "http"), secret what is
    // guessed ("password", "token").
    GuessGuard(QString door, QString secret, Clock& clock, const HubLog& log);

    // Milliseconds the address must still wait; 0 when it may try.
    std::int64_t penaltyLeftMs(const QString& address) const;
    void failed(const QString& address);
    void succeeded(const QString& address);

private:
    struct Record
    {
        std::int64_t firstFailureMs = 0;
        int failures = 0;
        std::int64_t penaltyEndsMs = -1; // -1: none begun
    };
    bool isSpent(const Record& record, std::int64_t now) const;
    void makeRoom(std::int64_t now);

    QString m_door;
    QString m_secret;
    Clock& m_clock;
    const HubLog& m_log;
    QHash<QString, Record> m_records;
};

} // namespace orva::hub
