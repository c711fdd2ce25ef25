#include "hub/Hub.h"

#include "hub/HttpApi.h"
#include "hub/HttpDoor.h"
#include "hub/PjlinkDoor.h"
#include "hub/Projector.h"
#include "hub/ShareDoor.h"

#include <QDateTime>

namespace orva::hub {

// Defined here, where the doors' types are complete.
Hub::Served::Served() = default;
Hub::Served::Served(Served&&) noexcept = default;
Hub::Served::~Served() = default;

Hub::Hub(const HubConfig& config, const LineFactory& lines, Clock& clock, const HubLog& log, EpochClock epochNowMs,
    QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_log(log)
    , m_pjlinkGuard(QStringLiteral("pjlink"), QStringLiteral("password"), clock, log)
    , m_httpGuard(QStringLiteral("http"), QStringLiteral("token"), clock, log)
{
    m_served.reserve(std::size_t(config.projectors.size()));
    for (const ProjectorConfig& projectorConfig : config.projectors) {
        Served& served = m_served.emplace_back();
        served.projector = std::make_unique<Projector>(
            projectorConfig, config.pollIntervalMs, config.replyTimeoutMs, lines(projectorConfig), clock, log);
        served.projector->setLateReplyMs(config.lateReplyMs);
        if (projectorConfig.sharePort != 0)
            served.share = std::make_unique<ShareDoor>(*served.projector, log);
        if (projectorConfig.pjlinkPort != 0)
            served.pjlink = std::make_unique<PjlinkDoor>(*served.projector, clock, log, m_pjlinkGuard);
    }
    if (config.httpPort != 0) {
        std::vector<ServedView> views;
        for (const Served& served : m_served)
            views.push_back(ServedView{served.projector.get(), served.share.get(), served.pjlink.get()});
        if (!epochNowMs)
            epochNowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
        m_httpApi = std::make_unique<HttpApi>(
            std::move(views), config.httpToken, clock, std::move(epochNowMs), log, m_httpGuard);
        m_http = std::make_unique<HttpDoor>(*m_httpApi, clock, log);
    }
}

Hub::~Hub()
{
    // The HTTP door's sessions forget their requests on the projectors.
    m_http.reset();
    m_httpApi.reset();
}

namespace {

// "ADDRESS:PORT (DOOR): REASON", an IPv6 address in brackets.
QString bindFailure(const QString& address, quint16 port, const QString& door, const QString& why)
{
    return QStringLiteral("%1:%2 (%3): %4")
        .arg(address.contains(QLatin1Char(':')) ? QLatin1Char('[') + address + QLatin1Char(']') : address)
        .arg(port)
        .arg(door, why);
}

} // namespace

bool Hub::listen(QString* error)
{
    for (const Served& served : m_served) {
        const ProjectorConfig& config = served.projector->config();
        for (const QString& address : m_config.listen) {
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
        if (served.share)
            m_log.info(config.name, QStringLiteral("share door on port %1").arg(config.sharePort));
        if (served.pjlink) {
            m_log.info(config.name,
                QStringLiteral("PJLink door on port %1%2")
                    .arg(config.pjlinkPort)
                    .arg(config.pjlinkPassword && !config.pjlinkPassword->isEmpty()
                            ? QStringLiteral(", with a password")
                            : QStringLiteral(", without authentication")));
        }
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
                .arg(m_config.httpToken ? QStringLiteral(", actions need the token")
                                        : QStringLiteral(", actions without a token (loopback only)")));
    }
    return true;
}

void Hub::start()
{
    for (const Served& served : m_served)
        served.projector->start();
}

void Hub::stop()
{
    for (const Served& served : m_served)
        served.projector->stop();
}

} // namespace orva::hub
