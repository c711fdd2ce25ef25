#include "hub/TcpDoor.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace orva::hub {

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

} // namespace orva::hub
