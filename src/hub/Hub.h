#pragma once

#include "engine/line/SerialLine.h"
#include "engine/timing/IntervalTimer.h"
#include "hub/GuessGuard.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace orva::hub {

class HttpApi;
class HttpDoor;
class PjlinkDoor;
class Projector;
class ShareDoor;

// Everything orva-hub serves: a projector for each configured one, each
// with its doors on every listen address. Lines come from a factory, so
// that tests run the hub on fake lines.
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

    // Binds every door on every listen address. False, with "ADDRESS:PORT
    // (door of PROJECTOR): reason" in *error, at the first that cannot be.
    bool listen(QString* error);
    // Opens every line and starts polling; a line that cannot be opened is
    // logged and tried again later.
    void start();
    // Closes every line.
    void stop();

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

    HubConfig m_config;
    const HubLog& m_log;
    // Wrong secrets per client address: one for every PJLink door, one for
    // the HTTP door. Before the doors that use them.
    GuessGuard m_pjlinkGuard;
    GuessGuard m_httpGuard;
    std::vector<Served> m_served;
    // The HTTP door, for every projector; none when its port is 0. Goes
    // before the projectors it reads.
    std::unique_ptr<HttpApi> m_httpApi;
    std::unique_ptr<HttpDoor> m_http;
};

} // namespace orva::hub
