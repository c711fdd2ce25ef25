#include "hub/HttpDoor.h"

#include "hub/DoorConnection.h"
#include "hub/HttpSession.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace orva::hub {

HttpDoor::HttpDoor(HttpApi& api, Clock& clock, const HubLog& log, QObject* parent)
    : TcpDoor(Projector::Door::Http, Bounds{MaxConnections, MaxConnectionsPerAddress}, QString(), log, parent)
    , m_api(api)
    , m_clock(clock)
{
}

HttpDoor::~HttpDoor() = default;

int HttpDoor::streamCount() const
{
    int streams = 0;
    for (const HttpSession* session : findChildren<HttpSession*>()) {
        if (session->isStream())
            ++streams;
    }
    return streams;
}

void HttpDoor::turnAway(QTcpSocket* socket)
{
    socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n"
                  "Retry-After: 5\r\nX-Content-Type-Options: nosniff\r\n\r\n");
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    closeAfterWriting(socket);
}

void HttpDoor::serve(QTcpSocket* socket, Projector::Requester requester, const QString& peer)
{
    constexpr HttpLimits Limits;
    socket->setReadBufferSize(Limits.maxHead + Limits.maxBody);
    // Each answer goes out in one write; none waits for the peer's
    // acknowledgement of the one before.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    auto* connection = new DoorConnection(socket, MaxUnread, this);
    const QPointer<DoorConnection> guarded(connection);
    auto* session = new HttpSession(
        m_api, m_clock, log(), requester, peer,
        [this, guarded, peer](const QByteArray& bytes) {
            if (guarded && !guarded->write(bytes)) {
                // The answers to requests it sent ahead go nowhere.
                log().warning(QString(), QStringLiteral("%1: closed: it does not read what it asked for").arg(peer));
                guarded->abort();
            }
        },
        [this, guarded, peer](const QString& why, LogLevel level) {
            if (level != LogLevel::Debug || log().verbose())
                log().write(level, QString(), QStringLiteral("%1: %2").arg(peer, why));
            if (guarded)
                guarded->close();
        },
        connection);
    session->setStreamAllowed([this] { return streamCount() < MaxStreams; });
    // One request at a time: while one is answered, what the client sends
    // next stays in the socket, at most one request's worth in Qt's buffer
    // and the rest in the system's. A client that finished sending still
    // gets the answers to what it sent.
    const auto read = [session, guarded] {
        if (!guarded || session->isBusy())
            return;
        if (guarded->bytesAvailable() > 0)
            session->receive(guarded->read());
        if (guarded->hasPeerFinished() && guarded->bytesAvailable() == 0 && !session->isBusy())
            session->finishInput();
    };
    session->setReadyForMore(read);
    connect(connection, &DoorConnection::readyRead, session, read);
    connect(connection, &DoorConnection::peerFinished, session, read);
}

} // namespace orva::hub
