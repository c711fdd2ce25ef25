#include "hub/TcpDoor.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace orva::hub {

bool TcpDoor::listen(const QString& address, quint16 port, QString* error)
{
    auto* server = new QTcpServer(this);
    if (!server->listen(QHostAddress(address), port)) {
        if (error)
            *error = server->errorString();
        delete server;
        return false;
    }
    connect(server, &QTcpServer::newConnection, this, [this, server] { onNewConnection(*server); });
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
