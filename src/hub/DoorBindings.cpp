#include "hub/DoorBindings.h"

namespace orva::hub {

namespace {

bool isUnspecified(const QHostAddress& address)
{
    return address == QHostAddress(QHostAddress::AnyIPv4) || address == QHostAddress(QHostAddress::AnyIPv6);
}

} // namespace

bool DoorBindings::overlap(const QHostAddress& a, const QHostAddress& b)
{
    if (a.protocol() != b.protocol())
        return false;
    return a == b || isUnspecified(a) || isUnspecified(b);
}

QString DoorBindings::claim(const QString& address, quint16 port, const QString& door)
{
    const QHostAddress wanted(address);
    for (const Binding& bound : m_bindings) {
        if (bound.port != port || !overlap(bound.address, wanted))
            continue;
        return bound.address == wanted ? bound.door : bound.door + QStringLiteral(" on ") + bound.address.toString();
    }
    m_bindings.append(Binding{wanted, port, door});
    return QString();
}

} // namespace orva::hub
