#include "hub/PjlinkDoor.h"

#include "hub/PjlinkSession.h"
#include "hub/Projector.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace orva::hub {

namespace {

// Requesters of the PJLink door: the top bits name the door.
constexpr quint64 PjlinkRequesters = Projector::requestersOf(Projector::Door::Pjlink);

} // namespace

PjlinkDoor::PjlinkDoor(Projector& projector, Clock& clock, const HubLog& log, GuessGuard& guard, QObject* parent)
    : TcpDoor(parent)
    , m_projector(projector)
    , m_clock(clock)
    , m_log(log)
    , m_guard(guard)
{
}

PjlinkDoor::~PjlinkDoor() = default;

void PjlinkDoor::onNewConnection(QTcpServer& server)
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        const QString peer
            = QStringLiteral("pjlink %1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        if (m_connections >= MaxConnections) {
            m_log.refused({m_projector.name(), QStringLiteral("pjlink ") + socket->peerAddress().toString(),
                QStringLiteral("connections"), QStringLiteral("%1 PJLink connections already").arg(MaxConnections),
                QStringLiteral("%1: refused: %2 PJLink connections already").arg(peer).arg(MaxConnections)});
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        m_log.debug(m_projector.name(), QStringLiteral("%1: connected").arg(peer));
        // The socket owns its session; both go when the connection ends.
        QPointer<QTcpSocket> guarded(socket);
        auto* session = new PjlinkSession(
            m_projector, m_clock, m_log, m_guard, PjlinkRequesters | m_nextConnection++, peer,
            [guarded](const QByteArray& bytes) {
                if (guarded)
                    guarded->write(bytes);
            },
            [this, guarded, peer](const QString& why, LogLevel level) {
                if (level != LogLevel::Debug || m_log.verbose())
                    m_log.write(level, m_projector.name(), QStringLiteral("%1: %2").arg(peer, why));
                closeAfterWriting(guarded);
            });
        session->setParent(socket);
        connect(socket, &QTcpSocket::readyRead, session, [session, socket] { session->receive(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --m_connections;
            socket->deleteLater();
        });
        socket->write(session->greeting());
    }
}

} // namespace orva::hub
