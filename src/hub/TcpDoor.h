#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QHostAddress;
class QTcpServer;
class QTcpSocket;

namespace orva::hub {

// A door of the hub: TCP servers on one port of every listen address, each
// new connection handed to the door's own kind. The door counts the
// connections it admitted, in all and per client address, so that no one
// host can take every place.
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

    // Connections admitted and not yet freed.
    int connectionCount() const { return m_total; }

    // "ADDRESS:PORT" of a connection's peer, an IPv6 address in brackets and
    // an IPv4 one reached through IPv6 as IPv4.
    static QString peerName(const QTcpSocket& socket);
    // The peer's address alone, as the bounds and the refusal log count it.
    static QString addressName(const QTcpSocket& socket);

protected:
    // How long a closed connection may take to hand over its last bytes.
    static constexpr int CloseGraceMs = 5000;

    struct Bounds
    {
        int total;      // connections at once
        int perAddress; // of them from one client address
    };

    // A connection (or several) waits on the server.
    virtual void onNewConnection(QTcpServer& server) = 0;
    // Counts a new connection against the bounds until the socket is
    // destroyed; false, counting nothing, when it would pass one (the
    // reason in *why).
    bool admit(QTcpSocket& socket, const Bounds& bounds, QString* why);
    // Closes a connection once what was written has gone out, or after
    // CloseGraceMs when the peer does not take it: its place is given up
    // all the same.
    static void closeAfterWriting(QTcpSocket* socket);
    // TCP keep-alive probes that find a peer gone without a word (a host
    // switched off, a cable pulled) within a few minutes.
    static void keepAlive(QTcpSocket& socket);

private:
    int m_total = 0;
    QHash<QString, int> m_perAddress;
};

} // namespace orva::hub
