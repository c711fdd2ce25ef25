#include "hub/Hub.h"

#include "hub/PjlinkDoor.h"
#include "hub/Projector.h"
#include "hub/ShareDoor.h"

namespace orva::hub {

Hub::Hub(const HubConfig& config, const LineFactory& lines, Clock& clock, const HubLog& log, QObject* parent)
    : QObject(parent)
    , m_config(config)
    , m_log(log)
{
    for (const ProjectorConfig& projectorConfig : config.projectors) {
        m_projectors.push_back(std::make_unique<Projector>(
            projectorConfig, config.pollIntervalMs, config.replyTimeoutMs, lines(projectorConfig), clock, log));
        Projector& projector = *m_projectors.back();
        if (projectorConfig.sharePort != 0)
            m_shareDoors.push_back(std::make_unique<ShareDoor>(projector, log));
        if (projectorConfig.pjlinkPort != 0)
            m_pjlinkDoors.push_back(std::make_unique<PjlinkDoor>(projector, clock, log));
    }
}

Hub::~Hub()
{
    // Doors first: they forget their clients' requests on their projector.
    m_shareDoors.clear();
    m_pjlinkDoors.clear();
    stop();
}

bool Hub::listen(QString* error)
{
    auto share = m_shareDoors.begin();
    auto pjlink = m_pjlinkDoors.begin();
    for (const auto& projector : m_projectors) {
        const ProjectorConfig& config = projector->config();
        for (const QString& address : m_config.listen) {
            QString why;
            const auto where = [&](quint16 port, const char* door) {
                return QStringLiteral("%1:%2 (%3 door of %4): %5")
                    .arg(address.contains(QLatin1Char(':')) ? QLatin1Char('[') + address + QLatin1Char(']') : address)
                    .arg(port)
                    .arg(QLatin1String(door), config.name, why);
            };
            if (config.sharePort != 0 && !(*share)->listen(address, config.sharePort, &why)) {
                *error = where(config.sharePort, "share");
                return false;
            }
            if (config.pjlinkPort != 0 && !(*pjlink)->listen(address, config.pjlinkPort, &why)) {
                *error = where(config.pjlinkPort, "PJLink");
                return false;
            }
        }
        if (config.sharePort != 0) {
            m_log.info(config.name, QStringLiteral("share door on port %1").arg(config.sharePort));
            ++share;
        }
        if (config.pjlinkPort != 0) {
            m_log.info(config.name,
                QStringLiteral("PJLink door on port %1%2")
                    .arg(config.pjlinkPort)
                    .arg(config.pjlinkPassword && !config.pjlinkPassword->isEmpty()
                            ? QStringLiteral(", with a password")
                            : QStringLiteral(", without authentication")));
            ++pjlink;
        }
    }
    return true;
}

void Hub::start()
{
    for (const auto& projector : m_projectors)
        projector->start();
}

void Hub::stop()
{
    for (const auto& projector : m_projectors)
        projector->stop();
}

} // namespace orva::hub
