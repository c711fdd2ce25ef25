#pragma once

#include "engine/timing/IntervalTimer.h"
#include "hub/HubLog.h"

#include "hub/TcpDoor.h"

#include <QList>

#include <memory>

class QTcpServer;

namespace orva::hub {

class GuessGuard;
class PjlinkSession;
class Projector;

// The PJLink class 1 door of one projector (TCP, usually port 4352): accepts
// controllers' connections and gives each a PjlinkSession. At most
// MaxConnections at once, MaxConnectionsPerAddress of them from one address;
// one more is closed at once, with a log line. Wrong passwords count in
// guard, which the hub shares among its PJLink doors.
class PjlinkDoor : public TcpDoor
{
    Q_OBJECT
public:
    static constexpr int MaxConnections = 64;
    static constexpr int MaxConnectionsPerAddress = 16;
    // Answers a controller has not read yet, at most, before it is closed.
    static constexpr qint64 MaxUnread = 64 * 1024;

    PjlinkDoor(Projector& projector, Clock& clock, const HubLog& log, GuessGuard& guard, QObject* parent = nullptr);
    ~PjlinkDoor() override;

Q_SIGNALS:
    // A controller's first well-formed request was taken (past the password).
    void controllerServed(const QString& address);

private:
    void serve(QTcpSocket* socket, Projector::Requester requester, const QString& peer) override;

    Projector& m_projector;
    Clock& m_clock;
    GuessGuard& m_guard;
};

} // namespace orva::hub
