#pragma once

#include "hub/AddressRanges.h"
#include "hub/HubLog.h"
#include "hub/TcpDoor.h"

namespace orva::hub {

class Projector;

// The share door of one projector: a raw TCP port on which the panel and
// orva-ctl talk to the projector as if it were their own line. Each
// connection's bytes go to a ShareSession, which owns what the door's
// protocol means; the door holds the sockets and their bounds:
//
//  - at most MaxConnections at once, MaxConnectionsPerAddress of them from
//    one address; one more is closed at once, with a log line;
//  - so is a connection from outside the allowed networks (loopback is
//    always allowed), and a client already connected from a network no
//    longer allowed;
//  - a client that leaves more than MaxUnread bytes unread is closed;
//  - no idle timeout (a panel may sit for hours between presses), but TCP
//    keep-alive finds a peer that is gone within minutes.
class ShareDoor : public TcpDoor
{
    Q_OBJECT
public:
    static constexpr int MaxConnections = 16;
    static constexpr int MaxConnectionsPerAddress = 8;
    // Reply bytes a client has not read yet, at most, before it is closed.
    static constexpr qint64 MaxUnread = 64 * 1024;

    ShareDoor(Projector& projector, const HubLog& log, QObject* parent = nullptr);
    ~ShareDoor() override;

    // Who may connect from now on; clients outside the ranges are closed.
    void setAllowed(const AddressRanges& allowed);

private:
    void serve(QTcpSocket* socket, Projector::Requester requester, const QString& peer) override;
    QString refusalOf(const QTcpSocket& socket) const override;

    Projector& m_projector;
    AddressRanges m_allowed;
};

} // namespace orva::hub
