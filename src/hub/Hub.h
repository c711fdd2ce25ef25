#pragma once

#include "engine/line/SerialLine.h"
#include "engine/timing/IntervalTimer.h"
#include "hub/AuditLog.h"
#include "hub/GuessGuard.h"
#include "hub/HttpApi.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/Scheduler.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace orva::hub {

class HttpDoor;
class PjlinkDoor;
class PjlinkUdp;
class Projector;
class ShareDoor;

// Everything orva-hub serves: a projector for each configured one, each
// with its doors on every listen address. Lines come from a factory, so
// that tests run the hub on fake lines.
//
// A reload (reconfigure) changes what differs and nothing else: a projector
// whose settings are the same keeps its line, queue, cached values and
// clients; one whose line, speed or timing changed is replaced; one no
// longer configured is closed; a new one starts. A door whose port or
// addresses changed moves, keeping its connections; when the new place
// cannot be bound the door stays where it was (logged), and so does
// everything else.
class Hub : public QObject
{
    Q_OBJECT
public:
    using LineFactory = std::function<std::unique_ptr<SerialLine>(const ProjectorConfig&)>;

    // Milliseconds since the epoch, now: the times the HTTP door shows.
    using EpochClock = std::function<std::int64_t()>;

    Hub(const HubConfig& config, const LineFactory& lines, Clock& clock, const HubLog& log, EpochClock epochNowMs = {},
        QObject* parent = nullptr);
    ~Hub() override;

    // Binds every door on each of its listen addresses. False, with "ADDRESS:PORT
    // (door of PROJECTOR): reason" in *error, at the first that cannot be.
    bool listen(QString* error);
    // Opens every line and starts polling; a line that cannot be opened is
    // logged and tried again later.
    void start();
    // Closes every line.
    void stop();

    struct ReloadCounts
    {
        int added = 0;
        int removed = 0;
        int changed = 0; // replaced, or their doors changed
    };
    // Serves the configuration from now on, changing only what differs;
    // logs "reloaded: N projectors (A added, R removed, C changed)".
    ReloadCounts reconfigure(const HubConfig& config);

    // The projector of that name, served now; null when there is none.
    Projector* projector(const QString& name) const;
    // The audit trail every projector's commands are written to; a reload
    // opens its file again (after logrotate moved it), or the new one.
    AuditLog& audit() { return m_audit; }

private:
    // A projector and its doors; the doors go first, forgetting their
    // clients' requests on the projector.
    struct Served
    {
        std::unique_ptr<Projector> projector;
        std::unique_ptr<ShareDoor> share;   // none when its port is 0
        std::unique_ptr<PjlinkDoor> pjlink; // likewise
        Served();
        Served(Served&&) noexcept;
        ~Served();
    };

    Served makeServed(const ProjectorConfig& config);
    std::unique_ptr<PjlinkDoor> makePjlinkDoor(Projector& projector);
    // The PJLink search's port, when some projector has a PJLink door.
    quint16 pjlinkUdpPortWanted(const HubConfig& config) const;
    void applyDoors(Served& served, const ProjectorConfig& wanted);
    bool moveDoor(Served& served, bool share, const ProjectorConfig& wanted);
    void logDoors(const Served& served) const;
    void reconfigureHttp(const HubConfig& config);
    void reconfigurePjlinkUdp(const HubConfig& config);
    void makeHttp();
    std::vector<Projector*> views() const;
    // Connections a door holds now: a projector's share or PJLink door, or
    // the HTTP door; none when there is no such door.
    std::optional<int> connectionCount(Projector::Door door, const Projector* projector) const;

    HubConfig m_config;
    LineFactory m_lines;
    Clock& m_clock;
    const HubLog& m_log;
    EpochClock m_epochNowMs;
    AuditLog m_audit; // before the projectors that write to it
    // Wrong secrets per client address: one for every PJLink door, one for
    // the HTTP door. Before the doors that use them.
    GuessGuard m_pjlinkGuard;
    GuessGuard m_httpGuard;
    bool m_started = false;
    bool m_listened = false; // listen() was called: a reload binds what it adds
    std::vector<Served> m_served;
    // PJLink's search and notifications, for every projector with a PJLink
    // door; goes before the projectors it watches.
    std::unique_ptr<PjlinkUdp> m_pjlinkUdp;
    // The HTTP door, for every projector; none when its port is 0. Goes
    // before the projectors it reads.
    std::unique_ptr<HttpApi> m_httpApi;
    // Sends the schedules' actions to the projectors served; goes before them.
    std::unique_ptr<Scheduler> m_scheduler;
    std::unique_ptr<HttpDoor> m_http;
};

} // namespace orva::hub
