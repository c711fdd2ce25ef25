#include "hub/PjlinkDoor.h"

#include "hub/DoorConnection.h"
#include "hub/PeerName.h"
#include "hub/PjlinkSession.h"
#include "hub/Projector.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace orva::hub {

PjlinkDoor::PjlinkDoor(Projector& projector, Clock& clock, const HubLog& log, GuessGuard& guard, QObject* parent)
    : TcpDoor(Projector::Door::Pjlink, Bounds{MaxConnections, MaxConnectionsPerAddress}, projector.name(), log, parent)
    , m_projector(projector)
    , m_clock(clock)
    , m_guard(guard)
{
}

PjlinkDoor::~PjlinkDoor() = default;

void PjlinkDoor::serve(QTcpSocket* socket, Projector::Requester requester, const QString& peer)
{
    log().debug(subject(), QStringLiteral("%1: connected").arg(peer));
    // The connection owns its session; both go when the connection ends.
    socket->setReadBufferSize(PjlinkSession::MaxBuffered);
    auto* connection = new DoorConnection(socket, MaxUnread, this);
    const QPointer<DoorConnection> guarded(connection);
    auto* session = new PjlinkSession(
        m_projector, m_clock, log(), m_guard, requester, peer,
        [guarded](const QByteArray& bytes) {
            if (guarded && !guarded->write(bytes))
                guarded->abort(); // a controller that reads nothing of its answers
        },
        [this, guarded, peer](const QString& why, LogLevel level) {
            if (level != LogLevel::Debug || log().verbose())
                log().write(level, subject(), QStringLiteral("%1: %2").arg(peer, why));
            if (guarded)
                guarded->close();
        });
    session->setParent(connection);
    session->setOnServed([this, peer] { Q_EMIT controllerServed(addressOfPeer(peer)); });
    // Requests sent ahead stay in the socket, and then in the system's
    // buffers, until the session has room for them. A controller that
    // finished sending still gets the answers to what it sent.
    const auto read = [session, guarded] {
        if (!guarded)
            return;
        if (session->room() > 0 && guarded->bytesAvailable() > 0)
            session->receive(guarded->read(session->room()));
        if (guarded->hasPeerFinished() && guarded->bytesAvailable() == 0)
            session->finishInput();
    };
    session->setReadyForMore(read);
    connect(connection, &DoorConnection::readyRead, session, read);
    connect(connection, &DoorConnection::peerFinished, session, read);
    connection->write(session->greeting());
}

} // namespace orva::hub
