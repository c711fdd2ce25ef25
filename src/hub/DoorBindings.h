#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

namespace orva::hub {

// The addresses and ports the doors will bind, as the configuration is
// checked: one address and port serves one door. An unspecified address
// (0.0.0.0, ::) takes the port on every address of its family, so it
// clashes with each of them; 0.0.0.0 and :: do not clash with each other
// (the hub binds :: for IPv6 alone).
class DoorBindings
{
public:
    // Claims address:port for a door ("a101 pjlink-port"). Returns what
    // stands in the way ("a101 share-port", "a101 share-port on 0.0.0.0"),
    // or an empty text when the claim is granted.
    QString claim(const QString& address, quint16 port, const QString& door);

    static bool overlap(const QHostAddress& a, const QHostAddress& b);

private:
    struct Binding
    {
        QHostAddress address;
        quint16 port = 0;
        QString door;
    };
    QList<Binding> m_bindings;
};

} // namespace orva::hub
