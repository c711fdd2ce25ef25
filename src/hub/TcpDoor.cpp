#include "hub/TcpDoor.h"

#include "hub/PeerName.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace orva::hub {

namespace {

// Keep-alive: the first probe after this long without traffic, then one
// every KeepAliveIntervalS; the peer is given up after KeepAliveProbes
// unanswered ones (two minutes in all).
constexpr int KeepAliveIdleS = 60;
constexpr int KeepAliveIntervalS = 10;
constexpr int KeepAliveProbes = 6;

// A client's address, IPv4 reached through IPv6 as IPv4.
QHostAddress clientAddress(const QTcpSocket& socket)
{
    const QHostAddress address = socket.peerAddress();
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

} // namespace

TcpDoor::TcpDoor(Projector::Door door, Bounds bounds, QString subject, const HubLog& log, QObject* parent)
    : QObject(parent)
    , m_door(door)
    , m_bounds(bounds)
    , m_subject(std::move(subject))
    , m_log(log)
{
}

QString TcpDoor::refusalOf(const QTcpSocket&) const
{
    return {};
}

void TcpDoor::turnAway(QTcpSocket* socket)
{
    socket->abort();
    socket->deleteLater();
}

void TcpDoor::onNewConnection(QTcpServer& server)
{
    const QString name = Projector::doorName(m_door);
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        const QString peer = name + QLatin1Char(' ') + peerName(*socket);
        QString refusal = refusalOf(*socket);
        if (!refusal.isEmpty() || !admit(*socket, &refusal)) {
            m_log.refused({m_subject, name + QLatin1Char(' ') + addressName(*socket), QStringLiteral("connections"),
                refusal, QStringLiteral("%1: refused: %2").arg(peer, refusal)});
            turnAway(socket);
            continue;
        }
        serve(socket, Projector::requestersOf(m_door) | m_nextRequester++, peer);
    }
}

bool TcpDoor::listen(const QString& address, quint16 port, QString* error)
{
    auto* server = new QTcpServer(this);
    if (!server->listen(QHostAddress(address), port)) {
        if (error)
            *error = server->errorString();
        server->deleteLater();
        return false;
    }
    connect(server, &QTcpServer::newConnection, this, [this, server] { onNewConnection(*server); });
    return true;
}

QString TcpDoor::peerName(const QTcpSocket& socket)
{
    return endpointName(clientAddress(socket).toString(), socket.peerPort());
}

QString TcpDoor::addressName(const QTcpSocket& socket)
{
    return clientAddress(socket).toString();
}

bool TcpDoor::admit(QTcpSocket& socket, QString* why)
{
    const QString address = clientAddress(socket).toString();
    int& fromAddress = m_perAddress[address];
    if (m_total >= m_bounds.total || fromAddress >= m_bounds.perAddress) {
        if (fromAddress == 0)
            m_perAddress.remove(address);
        if (why) {
            *why = m_total >= m_bounds.total
                ? QStringLiteral("%1 connections already").arg(m_bounds.total)
                : QStringLiteral("%1 connections from %2 already").arg(m_bounds.perAddress).arg(address);
        }
        return false;
    }
    ++fromAddress;
    ++m_total;
    connect(&socket, &QObject::destroyed, this, [this, address] {
        --m_total;
        if (--m_perAddress[address] <= 0)
            m_perAddress.remove(address);
    });
    return true;
}

bool TcpDoor::moveTo(const QStringList& addresses, quint16 port, QString* error)
{
    const QList<QTcpServer*> before = findChildren<QTcpServer*>(Qt::FindDirectChildrenOnly);
    QList<QTcpServer*> kept;
    for (const QString& address : addresses) {
        // A server already on this address and port stays: binding it again
        // beside itself would fail.
        const auto same = std::find_if(before.begin(), before.end(), [&](QTcpServer* server) {
            return server->serverAddress() == QHostAddress(address) && server->serverPort() == port;
        });
        if (same != before.end()) {
            kept.append(*same);
            continue;
        }
        QString why;
        if (!listen(address, port, &why)) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(address, why);
            const QList<QTcpServer*> now = findChildren<QTcpServer*>(Qt::FindDirectChildrenOnly);
            for (QTcpServer* server : now) {
                if (!before.contains(server))
                    delete server; // new, so no connection is its child yet
            }
            return false;
        }
    }
    for (QTcpServer* server : before) {
        if (kept.contains(server))
            continue;
        server->close();
        // Accepted connections are the server's children: they move to the
        // door, so that they outlive the server.
        for (QTcpSocket* socket : server->findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly))
            socket->setParent(this);
        server->deleteLater();
    }
    return true;
}

void TcpDoor::closeAfterWriting(QTcpSocket* socket)
{
    if (!socket)
        return;
    socket->disconnectFromHost();
    QTimer::singleShot(CloseGraceMs, socket, [guarded = QPointer<QTcpSocket>(socket)] {
        if (guarded)
            guarded->abort();
    });
}

void TcpDoor::keepAlive(QTcpSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const auto fd = int(socket.socketDescriptor());
    if (fd < 0)
        return;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &KeepAliveIdleS, sizeof KeepAliveIdleS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &KeepAliveIntervalS, sizeof KeepAliveIntervalS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &KeepAliveProbes, sizeof KeepAliveProbes);
}

} // namespace orva::hub
