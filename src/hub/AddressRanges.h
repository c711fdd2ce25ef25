#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace orva::hub {

// The networks a door admits: a list of ranges ("10.1.2.0/24",
// "2001:db8::/64", or a bare address, which is one host). A loopback peer
// is always admitted; an IPv4 peer seen through an IPv6 socket
// (::ffff:10.1.2.3) is matched as the IPv4 address it is.
class AddressRanges
{
public:
    // The range a text names, or nothing (with the reason in *why).
    static std::optional<QPair<QHostAddress, int>> parseRange(const QString& text, QString* why);

    void add(const QPair<QHostAddress, int>& range) { m_ranges.append(range); }
    bool isEmpty() const { return m_ranges.isEmpty(); }
    bool admits(const QHostAddress& peer) const;

    bool operator==(const AddressRanges&) const = default;

private:
    QList<QPair<QHostAddress, int>> m_ranges;
};

} // namespace orva::hub
