#include "hub/PjlinkDoor.h"

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
    // The socket owns its session; both go when the connection ends.
    QPointer<QTcpSocket> guarded(socket);
    auto* session = new PjlinkSession(
        m_projector, m_clock, log(), m_guard, requester, peer,
        [guarded](const QByteArray& bytes) {
            if (guarded)
                guarded->write(bytes);
        },
        [this, guarded, peer](const QString& why, LogLevel level) {
            if (level != LogLevel::Debug || log().verbose())
                log().write(level, subject(), QStringLiteral("%1: %2").arg(peer, why));
            closeAfterWriting(guarded);
        });
    session->setParent(socket);
    // Requests sent ahead stay in the socket, and then in the system's
    // buffers, until the session has room for them.
    socket->setReadBufferSize(PjlinkSession::MaxBuffered);
    const auto read = [session, guarded] {
        if (guarded && session->room() > 0 && guarded->bytesAvailable() > 0)
            session->receive(guarded->read(session->room()));
    };
    session->setReadyForMore(read);
    connect(socket, &QTcpSocket::readyRead, session, read);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->write(session->greeting());
}

} // namespace orva::hub
