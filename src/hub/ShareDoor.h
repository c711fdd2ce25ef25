#pragma once

#include "hub/AddressRanges.h"
#include "hub/HubLog.h"
#include "hub/ShareFraming.h"

#include "hub/TcpDoor.h"

#include <QList>

#include <memory>

class QTcpServer;
class QTcpSocket;

namespace orva::hub {

class Projector;

// The share door of one projector: a raw TCP port on which the panel and
// orva-ctl talk to the projector as if it were their own line. A client
// writes frames (up to a carriage return, at most 256 bytes); each goes
// through the projector's queue, and the reply comes back to that client
// exactly as the projector sent it. A frame refused (too long, not ASCII,
// too many queued) is answered by one NAK byte; a frame the projector does
// not answer gets no reply, as on a line of one's own.
//
// At most MaxClients at once; one more is closed at once, with a log line.
// So is a connection from outside the allowed networks (loopback is always
// allowed), and a client already connected from a network no longer allowed.
class ShareDoor : public TcpDoor
{
    Q_OBJECT
public:
    static constexpr int MaxClients = 16;
    // Reply bytes a client has not read yet, at most, before it is closed.
    static constexpr qint64 MaxUnread = 64 * 1024;

    ShareDoor(Projector& projector, const HubLog& log, QObject* parent = nullptr);
    ~ShareDoor() override;

    // Clients connected now.
    int clientCount() const { return int(m_clients.size()); }
    // Who may connect from now on; clients outside the ranges are closed.
    void setAllowed(const AddressRanges& allowed);

private:
    struct Client;
    void onNewConnection(QTcpServer& server) override;
    void onReadable(Client& client);
    void drop(Client& client, const QString& why);
    void sendFrame(Client& client, const QByteArray& frame);
    bool admit(QTcpSocket& socket, const QString& peer);

    Projector& m_projector;
    const HubLog& m_log;
    AddressRanges m_allowed;
    std::vector<std::unique_ptr<Client>> m_clients;
    quint64 m_nextClient = 1;
};

} // namespace orva::hub
