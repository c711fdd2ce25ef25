#include "hub/SearchLimit.h"

namespace orva::hub {

bool SearchLimit::allow(const QString& address, std::int64_t nowMs)
{
    const auto known = m_answeredAt.find(address);
    if (known != m_answeredAt.end()) {
        if (nowMs - *known < IntervalMs)
            return false;
        *known = nowMs;
        return true;
    }
    if (m_answeredAt.size() >= MaxAddresses) {
        // Those whose interval has passed are no different from those never seen.
        m_answeredAt.removeIf([nowMs](const auto& entry) { return nowMs - entry.value() >= IntervalMs; });
        if (m_answeredAt.size() >= MaxAddresses)
            return false;
    }
    m_answeredAt.insert(address, nowMs);
    return true;
}

} // namespace orva::hub
