#include "hub/TcpDoor.h"

#include <QHostAddress>
#include <QTcpServer>

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

} // namespace orva::hub
