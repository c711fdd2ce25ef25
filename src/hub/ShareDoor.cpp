#include "hub/ShareDoor.h"

#include "hub/Projector.h"
#include "hub/ShareSession.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace orva::hub {

ShareDoor::ShareDoor(Projector& projector, const HubLog& log, QObject* parent)
    : TcpDoor(Projector::Door::Share, Bounds{MaxConnections, MaxConnectionsPerAddress}, projector.name(), log, parent)
    , m_projector(projector)
{
}

ShareDoor::~ShareDoor() = default;

void ShareDoor::setAllowed(const AddressRanges& allowed)
{
    m_allowed = allowed;
    for (ShareSession* session : findChildren<ShareSession*>()) {
        const auto* socket = qobject_cast<const QTcpSocket*>(session->parent());
        if (socket && !m_allowed.admits(socket->peerAddress()))
            session->close(QStringLiteral("closed: its network is no longer allowed (share-allow)"));
    }
}

QString ShareDoor::refusalOf(const QTcpSocket& socket) const
{
    // The share door has no authentication: who may use it is told by
    // where the connection comes from, before anything of it is read.
    return m_allowed.admits(socket.peerAddress()) ? QString() : QStringLiteral("not in share-allow");
}

void ShareDoor::serve(QTcpSocket* socket, Projector::Requester requester, const QString& peer)
{
    keepAlive(*socket);
    log().info(subject(), QStringLiteral("%1: connected").arg(peer));
    // The socket owns its session; both are freed from the event loop,
    // never inside a call of the session's.
    const QPointer<QTcpSocket> guarded(socket);
    auto* session = new ShareSession(
        m_projector, log(), requester, peer,
        [guarded](const QByteArray& bytes) {
            if (!guarded)
                return false;
            guarded->write(bytes);
            return guarded->bytesToWrite() <= MaxUnread;
        },
        [this, guarded, peer](const QString& why) {
            log().info(subject(), QStringLiteral("%1: %2").arg(peer, why));
            if (!guarded)
                return;
            guarded->disconnect(this);
            guarded->abort();
            guarded->deleteLater();
        },
        socket);
    connect(socket, &QTcpSocket::readyRead, session, [session, socket] { session->receive(socket->readAll()); });
    connect(socket, &QTcpSocket::disconnected, session, [session] { session->close(QStringLiteral("closed")); });
}

} // namespace orva::hub
