#pragma once

#include "engine/timing/IntervalTimer.h"
#include "hub/HttpApi.h"
#include "hub/HubLog.h"
#include "hub/TcpDoor.h"

class QTcpServer;

namespace orva::hub {

// The hub's HTTP door: one port on every listen address, for every
// projector. Each connection gets its own HttpSession; this door holds the
// sockets and their bounds.
//
//  - at most MaxConnections at once, event streams included (at most
//    MaxStreams of them), MaxConnectionsPerAddress of them from one address
//    (behind a reverse proxy every browser has the proxy's); one more is
//    answered 503 and closed, with a log line;
//  - a client that leaves more than MaxUnread bytes of answers or events
//    unread is closed.
class HttpDoor : public TcpDoor
{
    Q_OBJECT
public:
    static constexpr int MaxConnections = 64;
    static constexpr int MaxConnectionsPerAddress = 32;
    static constexpr int MaxStreams = 32;
    static constexpr qint64 MaxUnread = 1024 * 1024;

    HttpDoor(HttpApi& api, Clock& clock, const HubLog& log, QObject* parent = nullptr);
    ~HttpDoor() override;

private:
    void serve(QTcpSocket* socket, Projector::Requester requester, const QString& peer) override;
    void turnAway(QTcpSocket* socket) override;
    int streamCount() const;

    HttpApi& m_api;
    Clock& m_clock;
};

} // namespace orva::hub
