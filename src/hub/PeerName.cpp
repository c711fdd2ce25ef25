#include "hub/PeerName.h"

namespace orva::hub {

QString endpointName(const QString& host, quint16 port)
{
    const QString shown = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("%1:%2").arg(shown).arg(port);
}

QString addressOfPeer(const QString& peer)
{
    QString address = peer.section(QLatin1Char(' '), 1);
    if (address.startsWith(QLatin1Char('[')))
        return address.mid(1, address.indexOf(QLatin1Char(']')) - 1);
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? address : address.left(colon);
}

} // namespace orva::hub
