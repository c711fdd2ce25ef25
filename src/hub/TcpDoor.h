#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

namespace orva::hub {

// A door of the hub: TCP servers on one port of every listen address, each
// new connection handed to the door's own kind.
class TcpDoor : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Listens on the address and port, besides any listened on before;
    // false with the system's reason in *error when it cannot.
    bool listen(const QString& address, quint16 port, QString* error);
    // Listens on the port of every address instead of where it listened
    // before; the connections it holds stay open. When one cannot be bound
    // it listens where it did, and says why in *error (with the address).
    bool moveTo(const QStringList& addresses, quint16 port, QString* error);

protected:
    // How long a closed connection may take to hand over its last bytes.
    static constexpr int CloseGraceMs = 5000;

    // A connection (or several) waits on the server.
    virtual void onNewConnection(QTcpServer& server) = 0;
    // Closes a connection once what was written has gone out, or after
    // CloseGraceMs when the peer does not take it: its place is given up
    // all the same.
    static void closeAfterWriting(QTcpSocket* socket);
};

} // namespace orva::hub
