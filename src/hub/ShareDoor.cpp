#include "hub/ShareDoor.h"

#include "hub/DoorConnection.h"
#include "hub/Projector.h"
#include "hub/ShareSession.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace orva::hub {

namespace {

// Requesters of the share door are numbered apart from those of other
// doors: the top bits name the door.
constexpr quint64 ShareRequesters = Projector::requestersOf(Projector::Door::Share);

} // namespace

ShareDoor::ShareDoor(Projector& projector, const HubLog& log, QObject* parent)
    : TcpDoor(parent)
    , m_projector(projector)
    , m_log(log)
{
}

ShareDoor::~ShareDoor() = default;

void ShareDoor::setAllowed(const AddressRanges& allowed)
{
    m_allowed = allowed;
    for (ShareSession* session : findChildren<ShareSession*>()) {
        auto* connection = qobject_cast<DoorConnection*>(session->parent());
        if (connection && !m_allowed.admits(connection->socket().peerAddress()))
            session->close(QStringLiteral("closed: its network is no longer allowed (share-allow)"), false);
    }
}

void ShareDoor::onNewConnection(QTcpServer& server)
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        const QString peer = QStringLiteral("share ") + peerName(*socket);
        // The share door has no authentication: who may use it is told by
        // where the connection comes from, before anything of it is read.
        QString refusal;
        if (!m_allowed.admits(socket->peerAddress()))
            refusal = QStringLiteral("not in share-allow");
        if (!refusal.isEmpty() || !admit(*socket, Bounds{MaxClients, MaxClientsPerAddress}, &refusal)) {
            m_log.refused({m_projector.name(), QStringLiteral("share ") + addressName(*socket),
                QStringLiteral("connections"), refusal, QStringLiteral("%1: refused: %2").arg(peer, refusal)});
            socket->abort();
            socket->deleteLater();
            continue;
        }
        keepAlive(*socket);
        m_log.info(m_projector.name(), QStringLiteral("%1: connected").arg(peer));
        // The connection owns its session; both are freed from the event
        // loop, never inside a call of the session's.
        auto* connection = new DoorConnection(socket, MaxUnread, this);
        const QPointer<DoorConnection> guarded(connection);
        auto* session = new ShareSession(
            m_projector, m_log, ShareRequesters | m_nextClient++, peer,
            [guarded](const QByteArray& bytes) { return !guarded || guarded->write(bytes); },
            [this, guarded, peer](const QString& why, bool flush) {
                m_log.info(m_projector.name(), QStringLiteral("%1: %2").arg(peer, why));
                if (guarded && flush)
                    guarded->close();
                else if (guarded)
                    guarded->abort();
            },
            connection);
        connect(connection, &DoorConnection::readyRead, session,
            [session, connection] { session->receive(connection->read()); });
        connect(connection, &DoorConnection::peerFinished, session, [session, connection] {
            session->receive(connection->read());
            session->finishInput();
        });
    }
}

} // namespace orva::hub
