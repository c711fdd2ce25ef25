#pragma once

#include "hub/HubLog.h"
#include "hub/Projector.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QHostAddress;
class QTcpServer;
class QTcpSocket;

namespace orva::hub {

// A door of the hub: TCP servers on one port of every listen address. What
// every door does alike is here; each kind keeps only its protocol:
//  - it accepts each connection and admits it within the door's bounds,
//    in all and per client address, so that no one host can take every
//    place; one more is turned away with a refusal in the log;
//  - it numbers its requesters under the door's top bits, never reusing a
//    number, so that a result can reach no other connection;
//  - it names the peer for the log ("share 127.0.0.1:40112",
//    "http [::1]:5000").
class TcpDoor : public QObject
{
    Q_OBJECT
public:
    struct Bounds
    {
        int total;      // connections at once
        int perAddress; // of them from one client address
    };

    // subject: the projector the door serves, for the log (empty: the hub's).
    TcpDoor(Projector::Door door, Bounds bounds, QString subject, const HubLog& log, QObject* parent = nullptr);

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

    // An admitted connection, its requester and its name for the log: the
    // door's protocol takes it from here.
    virtual void serve(QTcpSocket* socket, Projector::Requester requester, const QString& peer) = 0;
    // Why a connection may not come in whatever the bounds say (where it
    // comes from), or empty when it may.
    virtual QString refusalOf(const QTcpSocket& socket) const;
    // Sends a connection that was refused away: by default closed at once.
    virtual void turnAway(QTcpSocket* socket);

    const HubLog& log() const { return m_log; }
    const QString& subject() const { return m_subject; }
    // Closes a connection once what was written has gone out, or after
    // CloseGraceMs when the peer does not take it: its place is given up
    // all the same.
    static void closeAfterWriting(QTcpSocket* socket);
    // TCP keep-alive probes that find a peer gone without a word (a host
    // switched off, a cable pulled) within a few minutes.
    static void keepAlive(QTcpSocket& socket);

private:
    void onNewConnection(QTcpServer& server);
    // Counts a new connection against the bounds until the socket is
    // destroyed; false, counting nothing, when it would pass one (the
    // reason in *why).
    bool admit(QTcpSocket& socket, QString* why);

    const Projector::Door m_door;
    const Bounds m_bounds;
    const QString m_subject;
    const HubLog& m_log;
    quint64 m_nextRequester = 1;
    int m_total = 0;
    QHash<QString, int> m_perAddress;
};

} // namespace orva::hub
