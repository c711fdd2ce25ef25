#pragma once

#include <QHash>
#include <QString>

#include <cstdint>

namespace orva::hub {

// How often the hub answers PJLink searches from one address: at most once
// every IntervalMs. A search is a small datagram that any host can send
// with any sender address, and its answer is one datagram per projector:
// the limit keeps the hub from being a loudspeaker aimed at a third party.
// It remembers at most MaxAddresses; when they are all recent, a search
// from one more address is refused until some of them have aged.
class SearchLimit
{
public:
    static constexpr std::int64_t IntervalMs = 1000;
    static constexpr int MaxAddresses = 256;

    // Whether a search from address at nowMs (a clock that never goes
    // back) is answered; an answered one counts, a refused one does not.
    bool allow(const QString& address, std::int64_t nowMs);

private:
    QHash<QString, std::int64_t> m_answeredAt;
};

} // namespace orva::hub
