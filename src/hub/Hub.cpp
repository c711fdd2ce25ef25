#include "hub/Hub.h"

#include "hub/HttpApi.h"
#include "hub/HttpDoor.h"
#include "hub/PeerName.h"
#include "hub/PjlinkDatagrams.h"
#include "hub/PjlinkDoor.h"
#include "hub/PjlinkUdp.h"
#include "hub/Projector.h"
#include "hub/ShareDoor.h"

#include <QDateTime>

#include <algorithm>

namespace orva::hub {

// Defined here, where the doors' types are complete.
Hub::Served::Served() = default;
Hub::Served::Served(Served&&) noexcept = default;
Hub::Served::~Served() = default;

namespace {

// "ADDRESS:PORT (DOOR): REASON", an IPv6 address in brackets.
QString bindFailure(const QString& address, quint16 port, const QString& door, const QString& why)
{
    return QStringLiteral("%1 (%2): %3").arg(endpointName(address, port), door, why);
}

// What the projector itself is made of: a change in any of these is a new
// line, so the projector is replaced. The rest belongs to its doors.
bool sameLine(const ProjectorConfig& a, const ProjectorConfig& b)
{
    return a.name == b.name && a.line == b.line && a.speed == b.speed;
}

} // namespace

Hub::Hub(const HubConfig& config, const LineFactory& lines, Clock& clock, const HubLog& log, EpochClock epochNowMs,
    QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_lines(lines)
    , m_clock(clock)
    , m_log(log)
    , m_epochNowMs(epochNowMs ? std::move(epochNowMs) : [] { return QDateTime::currentMSecsSinceEpoch(); })
    , m_audit(log, m_epochNowMs)
    , m_pjlinkGuard(QStringLiteral("pjlink"), QStringLiteral("password"), clock, log)
    , m_httpGuard(QStringLiteral("http"), QStringLiteral("token"), clock, log)
    , m_pjlinkUdp(std::make_unique<PjlinkUdp>(clock, log, hubMachineId()))
{
    m_audit.setFile(config.auditLog);
    m_served.reserve(std::size_t(config.projectors.size()));
    for (const ProjectorConfig& projectorConfig : config.projectors)
        m_served.push_back(makeServed(projectorConfig));
    m_scheduler = std::make_unique<Scheduler>(
        clock, m_epochNowMs, log, [this](const QString& name) { return projector(name); });
    m_scheduler->setConfig(config);
    if (config.httpPort != 0)
        makeHttp();
}

Hub::~Hub()
{
    // The HTTP door's sessions forget their requests on the projectors.
    m_http.reset();
    m_httpApi.reset();
    m_scheduler.reset();
    m_pjlinkUdp.reset();
}

Hub::Served Hub::makeServed(const ProjectorConfig& config)
{
    Served served;
    served.projector = std::make_unique<Projector>(
        config, m_config.pollIntervalMs, m_config.replyTimeoutMs, m_lines(config), m_clock, m_log);
    served.projector->setLateReplyMs(m_config.lateReplyMs);
    served.projector->setAudit(&m_audit);
    if (config.sharePort != 0) {
        served.share = std::make_unique<ShareDoor>(*served.projector, m_log);
        served.share->setAllowed(config.shareAllow);
    }
    if (config.pjlinkPort != 0)
        served.pjlink = makePjlinkDoor(*served.projector);
    return served;
}

std::unique_ptr<PjlinkDoor> Hub::makePjlinkDoor(Projector& projector)
{
    auto door = std::make_unique<PjlinkDoor>(projector, m_clock, m_log, m_pjlinkGuard);
    connect(door.get(), &PjlinkDoor::controllerServed, this,
        [this, served = &projector](const QString& address) { m_pjlinkUdp->controllerServed(served, address); });
    return door;
}

quint16 Hub::pjlinkUdpPortWanted(const HubConfig& config) const
{
    const bool anyDoor = std::any_of(config.projectors.begin(), config.projectors.end(),
        [](const ProjectorConfig& projector) { return projector.pjlinkPort != 0; });
    return anyDoor ? config.pjlinkUdpPort : 0;
}

void Hub::makeHttp()
{
    m_httpApi = std::make_unique<HttpApi>(
        views(), HttpTokens(m_config), m_config.httpReads, m_clock, m_epochNowMs, m_log, m_httpGuard);
    m_http = std::make_unique<HttpDoor>(*m_httpApi, m_clock, m_log);
    // The doors count their own connections; the HTTP door reads them here
    // rather than holding its sibling doors.
    m_httpApi->setConnectionCount(
        [this](Projector::Door door, const Projector* projector) { return connectionCount(door, projector); });
    m_httpApi->setSchedules(m_scheduler.get());
}

std::vector<Projector*> Hub::views() const
{
    std::vector<Projector*> views;
    for (const Served& served : m_served)
        views.push_back(served.projector.get());
    return views;
}

std::optional<int> Hub::connectionCount(Projector::Door door, const Projector* projector) const
{
    if (door == Projector::Door::Http)
        return m_http ? std::optional<int>(m_http->connectionCount()) : std::nullopt;
    const auto it = std::find_if(m_served.begin(), m_served.end(),
        [projector](const Served& served) { return served.projector.get() == projector; });
    if (it == m_served.end())
        return std::nullopt;
    const TcpDoor* tcpDoor = door == Projector::Door::Share ? static_cast<const TcpDoor*>(it->share.get())
        : door == Projector::Door::Pjlink                   ? static_cast<const TcpDoor*>(it->pjlink.get())
                                                            : nullptr;
    return tcpDoor ? std::optional<int>(tcpDoor->connectionCount()) : std::nullopt;
}

Projector* Hub::projector(const QString& name) const
{
    const auto it = std::find_if(
        m_served.begin(), m_served.end(), [&name](const Served& served) { return served.projector->name() == name; });
    return it == m_served.end() ? nullptr : it->projector.get();
}

void Hub::logDoors(const Served& served) const
{
    const ProjectorConfig& config = served.projector->config();
    const QString where = config.listen.join(QStringLiteral(", "));
    if (served.share)
        m_log.info(config.name, QStringLiteral("share door on port %1 of %2").arg(config.sharePort).arg(where));
    if (served.pjlink) {
        m_log.info(config.name,
            QStringLiteral("PJLink door on port %1 of %2%3")
                .arg(config.pjlinkPort)
                .arg(where)
                .arg(config.pjlinkPassword && !config.pjlinkPassword->isEmpty()
                        ? QStringLiteral(", with a password")
                        : QStringLiteral(", without authentication")));
    }
}

bool Hub::listen(QString* error)
{
    m_listened = true;
    for (const Served& served : m_served) {
        const ProjectorConfig& config = served.projector->config();
        for (const QString& address : config.listen) {
            QString why;
            if (served.share && !served.share->listen(address, config.sharePort, &why)) {
                *error = bindFailure(address, config.sharePort, QStringLiteral("share door of ") + config.name, why);
                return false;
            }
            if (served.pjlink && !served.pjlink->listen(address, config.pjlinkPort, &why)) {
                *error = bindFailure(address, config.pjlinkPort, QStringLiteral("PJLink door of ") + config.name, why);
                return false;
            }
        }
        logDoors(served);
    }
    if (const quint16 port = pjlinkUdpPortWanted(m_config)) {
        QString why;
        if (!m_pjlinkUdp->listen(port, &why)) {
            *error = bindFailure(QStringLiteral("0.0.0.0"), port, QStringLiteral("PJLink search"), why);
            return false;
        }
        m_log.info(QString(), QStringLiteral("PJLink search and notifications on UDP port %1").arg(port));
    }
    if (m_http) {
        for (const QString& address : m_config.listen) {
            QString why;
            if (!m_http->listen(address, m_config.httpPort, &why)) {
                *error = bindFailure(address, m_config.httpPort, QStringLiteral("HTTP door"), why);
                return false;
            }
        }
        m_log.info(QString(),
            QStringLiteral("HTTP door on port %1%2")
                .arg(m_config.httpPort)
                .arg(!m_config.httpToken && m_config.tokens.isEmpty()
                        ? QStringLiteral(", actions without a token (loopback only)")
                        : m_config.httpReads == HttpReads::Token ? QStringLiteral(", reads and actions need a token")
                                                                 : QStringLiteral(", actions need a token")));
    }
    return true;
}

void Hub::start()
{
    m_started = true;
    for (const Served& served : m_served)
        served.projector->start();
    m_pjlinkUdp->setServed(views());
    m_scheduler->start();
}

void Hub::stop()
{
    m_started = false;
    m_scheduler->stop();
    for (const Served& served : m_served)
        served.projector->stop();
}

Hub::ReloadCounts Hub::reconfigure(const HubConfig& config)
{
    ReloadCounts counts;
    // Every reload opens the file again: logrotate moved it and sent SIGHUP.
    m_config.auditLog = config.auditLog;
    m_audit.setFile(config.auditLog);
    const bool timingChanged = config.pollIntervalMs != m_config.pollIntervalMs
        || config.replyTimeoutMs != m_config.replyTimeoutMs || config.lateReplyMs != m_config.lateReplyMs;
    const auto wantedOf = [&config](const QString& name) -> const ProjectorConfig* {
        const auto it = std::find_if(config.projectors.begin(), config.projectors.end(),
            [&name](const ProjectorConfig& projector) { return projector.name == name; });
        return it == config.projectors.end() ? nullptr : &*it;
    };

    // Those removed or replaced go first, giving up their ports to those
    // that come. The HTTP door stops reading them before they go.
    std::vector<Served> kept;
    std::vector<Served> leaving;
    for (Served& served : m_served) {
        const ProjectorConfig* wanted = wantedOf(served.projector->name());
        if (!wanted) {
            ++counts.removed;
            m_log.info(served.projector->name(), QStringLiteral("removed: its line is closed"));
            leaving.push_back(std::move(served));
        } else if (timingChanged || !sameLine(served.projector->config(), *wanted)) {
            ++counts.changed;
            m_log.info(served.projector->name(), QStringLiteral("replaced: its line or timing changed"));
            leaving.push_back(std::move(served));
        } else {
            kept.push_back(std::move(served));
        }
    }
    m_served = std::move(kept);
    if (m_httpApi)
        m_httpApi->setServed(views());
    if (m_started)
        m_pjlinkUdp->setServed(views());
    leaving.clear();
    m_config.pollIntervalMs = config.pollIntervalMs;
    m_config.replyTimeoutMs = config.replyTimeoutMs;
    m_config.lateReplyMs = config.lateReplyMs;

    // In the order of the file: each kept one with its doors brought up to
    // date, each new one made and bound. A kept one moved to next leaves an
    // empty place behind.
    std::vector<Served> next;
    for (const ProjectorConfig& wanted : config.projectors) {
        const auto it = std::find_if(m_served.begin(), m_served.end(),
            [&wanted](const Served& served) { return served.projector && served.projector->name() == wanted.name; });
        if (it != m_served.end()) {
            if (!(it->projector->config() == wanted)) {
                ++counts.changed;
                applyDoors(*it, wanted);
            }
            next.push_back(std::move(*it));
            continue;
        }
        const bool isNew = std::none_of(m_config.projectors.begin(), m_config.projectors.end(),
            [&wanted](const ProjectorConfig& old) { return old.name == wanted.name; });
        counts.added += isNew ? 1 : 0;
        // The projector first, then each door that can be bound.
        ProjectorConfig bare = wanted;
        bare.sharePort = bare.pjlinkPort = 0;
        Served served = makeServed(bare);
        moveDoor(served, true, wanted);
        moveDoor(served, false, wanted);
        logDoors(served);
        if (m_started)
            served.projector->start();
        next.push_back(std::move(served));
    }
    m_served = std::move(next);
    m_config.projectors = config.projectors;
    m_config.timezone = config.timezone;
    m_config.schedules = config.schedules;
    m_scheduler->setConfig(config);
    reconfigureHttp(config);
    reconfigurePjlinkUdp(config);
    m_log.info(QString(),
        QStringLiteral("reloaded: %1 (%2 added, %3 removed, %4 changed)")
            .arg(m_served.size() == 1 ? QStringLiteral("1 projector")
                                      : QStringLiteral("%1 projectors").arg(m_served.size()))
            .arg(counts.added)
            .arg(counts.removed)
            .arg(counts.changed));
    return counts;
}

// A kept projector's doors: each moved, made or closed as its settings
// say. The projector keeps what its doors could be given.
void Hub::applyDoors(Served& served, const ProjectorConfig& wanted)
{
    const ProjectorConfig before = served.projector->config();
    ProjectorConfig bound = wanted;
    bound.sharePort = before.sharePort;
    bound.pjlinkPort = before.pjlinkPort;
    bound.listen = before.listen;
    served.projector->setDoorSettings(bound);
    if (served.share)
        served.share->setAllowed(wanted.shareAllow);
    // A new password: the controllers that logged in with the old one are
    // closed along with the door, which is made again.
    if (served.pjlink && wanted.pjlinkPassword != before.pjlinkPassword) {
        m_log.info(wanted.name, QStringLiteral("PJLink password changed: its connections are closed"));
        served.pjlink.reset();
        ProjectorConfig unbound = served.projector->config();
        unbound.pjlinkPort = 0;
        served.projector->setDoorSettings(unbound);
    }
    bool placed = true;
    if (wanted.sharePort != before.sharePort || wanted.listen != before.listen)
        placed = moveDoor(served, true, wanted) && placed;
    if (wanted.pjlinkPort != served.projector->config().pjlinkPort || wanted.listen != before.listen)
        placed = moveDoor(served, false, wanted) && placed;
    // Every door where it is wanted: the settings are the file's, so that
    // the next reload finds nothing to change here.
    if (placed)
        served.projector->setDoorSettings(wanted);
    logDoors(served);
}

// Puts the share (or PJLink) door where wanted says: closed for port 0,
// made when there was none, moved otherwise. When the new place cannot be
// bound the door stays as it was, and the projector's settings say so
// (false).
bool Hub::moveDoor(Served& served, bool share, const ProjectorConfig& wanted)
{
    ProjectorConfig now = served.projector->config();
    const quint16 port = share ? wanted.sharePort : wanted.pjlinkPort;
    quint16& nowPort = share ? now.sharePort : now.pjlinkPort;
    TcpDoor* door = share ? static_cast<TcpDoor*>(served.share.get()) : served.pjlink.get();
    const QString name = share ? QStringLiteral("share door") : QStringLiteral("PJLink door");
    if (port == 0) {
        if (share)
            served.share.reset();
        else
            served.pjlink.reset();
        nowPort = 0;
        served.projector->setDoorSettings(now);
        return true;
    }
    std::unique_ptr<TcpDoor> made;
    if (!door) {
        if (share) {
            auto shareDoor = std::make_unique<ShareDoor>(*served.projector, m_log);
            shareDoor->setAllowed(wanted.shareAllow);
            made = std::move(shareDoor);
        } else {
            made = makePjlinkDoor(*served.projector);
        }
        door = made.get();
    }
    QString why;
    if (!door->moveTo(wanted.listen, port, &why)) {
        m_log.error(wanted.name, QStringLiteral("%1 not moved to port %2: %3").arg(name).arg(port).arg(why));
        return false;
    }
    if (made && share)
        served.share.reset(static_cast<ShareDoor*>(made.release()));
    else if (made)
        served.pjlink.reset(static_cast<PjlinkDoor*>(made.release()));
    nowPort = port;
    now.listen = wanted.listen;
    served.projector->setDoorSettings(now);
    return true;
}

void Hub::reconfigureHttp(const HubConfig& config)
{
    const bool moved = config.httpPort != m_config.httpPort || config.listen != m_config.listen;
    m_config.httpToken = config.httpToken;
    m_config.tokens = config.tokens;
    m_config.httpReads = config.httpReads;
    if (m_httpApi) {
        m_httpApi->setServed(views());
        m_httpApi->setAccess(HttpTokens(config), config.httpReads);
    }
    if (!moved)
        return;
    if (config.httpPort == 0) {
        m_http.reset();
        m_httpApi.reset();
    } else {
        if (!m_http)
            makeHttp();
        QString why;
        if (!m_http->moveTo(config.listen, config.httpPort, &why)) {
            m_log.error(QString(), QStringLiteral("HTTP door not moved to port %1: %2").arg(config.httpPort).arg(why));
            if (m_config.httpPort == 0) {
                m_http.reset();
                m_httpApi.reset();
            }
            return;
        }
        m_log.info(QString(), QStringLiteral("HTTP door on port %1").arg(config.httpPort));
    }
    m_config.httpPort = config.httpPort;
    m_config.listen = config.listen;
}

// The search's socket moves when its port changes (or is wanted now, or no
// longer); every projector's notifier is brought up to date, and those
// whose PJLink door came with this reload announce themselves.
void Hub::reconfigurePjlinkUdp(const HubConfig& config)
{
    m_config.pjlinkUdpPort = config.pjlinkUdpPort;
    m_config.pjlinkNotify = config.pjlinkNotify;
    const quint16 port = pjlinkUdpPortWanted(config);
    if (m_listened && port != m_pjlinkUdp->port()) {
        QString why;
        if (m_pjlinkUdp->listen(port, &why))
            m_log.info(QString(), QStringLiteral("PJLink search and notifications on UDP port %1").arg(port));
        else
            m_log.error(QString(), QStringLiteral("PJLink search not moved to UDP port %1: %2").arg(port).arg(why));
    }
    if (m_started)
        m_pjlinkUdp->setServed(views());
}

} // namespace orva::hub
