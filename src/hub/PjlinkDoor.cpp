#include "hub/PjlinkDoor.h"

#include "hub/PjlinkSession.h"
#include "hub/Projector.h"

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
        const QString peer = QStringLiteral("pjlink ") + peerName(*socket);
        QString refusal;
        if (!admit(*socket, Bounds{MaxConnections, MaxConnectionsPerAddress}, &refusal)) {
            m_log.refused({m_projector.name(), QStringLiteral("pjlink ") + addressName(*socket),
                QStringLiteral("connections"), refusal, QStringLiteral("%1: refused: %2").arg(peer, refusal)});
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
}

} // namespace orva::hub
