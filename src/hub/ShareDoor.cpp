#include "hub/ShareDoor.h"

#include "hub/DoorConnection.h"
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
    // The connection owns its session; both are freed from the event loop,
    // never inside a call of the session's.
    auto* connection = new DoorConnection(socket, MaxUnread, this);
    const QPointer<DoorConnection> guarded(connection);
    auto* session = new ShareSession(
        m_projector, log(), requester, peer,
        [guarded](const QByteArray& bytes) { return !guarded || guarded->write(bytes); },
        [this, guarded, peer](const QString& why, bool flush) {
            log().info(subject(), QStringLiteral("%1: %2").arg(peer, why));
            if (guarded && flush)
                guarded->close();
            else if (guarded)
                guarded->abort();
        },
        connection);
    connect(connection, &DoorConnection::readyRead, session,
        [session, connection] { session->receive(connection->read()); });
    // A client that finished sending still gets the answers to what it sent.
    connect(connection, &DoorConnection::peerFinished, session, [session, connection] {
        session->receive(connection->read());
        session->finishInput();
    });
}

} // namespace orva::hub
