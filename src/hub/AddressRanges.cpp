#include "hub/AddressRanges.h"

namespace orva::hub {

std::optional<QPair<QHostAddress, int>> AddressRanges::parseRange(const QString& text, QString* why)
{
    // A whole address without a length is the one host (/32, /128).
    const QPair<QHostAddress, int> range = QHostAddress::parseSubnet(text);
    if (range.first.isNull() || range.second < 0) {
        if (why)
            *why = QStringLiteral("\"%1\" is neither an IP address nor a network such as 10.1.2.0/24").arg(text);
        return std::nullopt;
    }
    return range;
}

bool AddressRanges::admits(const QHostAddress& peer) const
{
    if (peer.isLoopback())
        return true;
    QHostAddress plain = peer;
    bool mapped = false;
    const quint32 v4 = peer.toIPv4Address(&mapped);
    if (mapped)
        plain = QHostAddress(v4);
    for (const auto& range : m_ranges) {
        if (plain.isInSubnet(range))
            return true;
    }
    return false;
}

} // namespace orva::hub
