#include "hub/GuessGuard.h"

#include <algorithm>

namespace orva::hub {

GuessGuard::GuessGuard(QString door, QString secret, Clock& clock, const HubLog& log)
    : m_door(std::move(door))
    , m_secret(std::move(secret))
    , m_clock(clock)
    , m_log(log)
{
}

// A record that no longer holds anything back: its penalty is over, or its
// failures are older than the window without having led to one.
bool GuessGuard::isSpent(const Record& record, std::int64_t now) const
{
    if (record.penaltyEndsMs >= 0)
        return now >= record.penaltyEndsMs;
    return now - record.firstFailureMs >= FailureWindowMs;
}

std::int64_t GuessGuard::penaltyLeftMs(const QString& address) const
{
    const auto it = m_records.constFind(address);
    if (it == m_records.constEnd() || it->penaltyEndsMs < 0)
        return 0;
    return std::max<std::int64_t>(0, it->penaltyEndsMs - m_clock.nowMs());
}

void GuessGuard::makeRoom(std::int64_t now)
{
    for (auto it = m_records.begin(); it != m_records.end();)
        it = isSpent(*it, now) ? m_records.erase(it) : std::next(it);
    if (m_records.size() < MaxAddresses)
        return;
    auto oldest = m_records.begin();
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if (it->firstFailureMs < oldest->firstFailureMs)
            oldest = it;
    }
    m_records.erase(oldest);
}

void GuessGuard::failed(const QString& address)
{
    const std::int64_t now = m_clock.nowMs();
    auto it = m_records.find(address);
    if (it != m_records.end() && isSpent(*it, now)) {
        m_records.erase(it);
        it = m_records.end();
    }
    if (it == m_records.end()) {
        if (m_records.size() >= MaxAddresses)
            makeRoom(now);
        it = m_records.insert(address, Record{now, 0, -1});
    }
    if (it->penaltyEndsMs >= 0)
        return; // in penalty: nothing was compared
    if (++it->failures < MaxFailures)
        return;
    it->penaltyEndsMs = now + PenaltyMs;
    m_log.warning(QString(),
        QStringLiteral("%1 %2: %3 wrong %4s within %5 s; its attempts are refused for %6 s")
            .arg(m_door, address)
            .arg(MaxFailures)
            .arg(m_secret)
            .arg(FailureWindowMs / 1000)
            .arg(PenaltyMs / 1000));
}

void GuessGuard::succeeded(const QString& address)
{
    m_records.remove(address);
}

} // namespace orva::hub
