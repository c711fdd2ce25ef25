#include "hub/PjlinkUdpReader.h"

#include "hub/PjlinkDatagrams.h"

#include <QHash>
#include <QHostAddress>

namespace orva::hub::config {

bool readPjlinkUdpTopKey(Reporter& report, const QString& key, const toml::node& node, HubConfig& config)
{
    if (key == QLatin1String("pjlink-udp-port")) {
        if (const auto port = integerIn(report, node, key, 0, 65535, QStringLiteral("0 for none, or 1 to 65535")))
            config.pjlinkUdpPort = quint16(*port);
        return true;
    }
    if (key == QLatin1String("pjlink-notify")) {
        readPjlinkNotify(report, node, config.pjlinkNotify);
        return true;
    }
    return false;
}

void readPjlinkNotify(Reporter& report, const toml::node& node, QStringList& targets)
{
    QStringList addresses;
    const bool read = readTextList(report, node, QStringLiteral("pjlink-notify"),
        QStringLiteral("a list of IPv4 addresses, e.g. [\"10.1.2.3\"]"), 0, MaxNotifyTargets,
        [&addresses](const QString& address) -> std::optional<QString> {
            const QHostAddress parsed(address);
            if (parsed.protocol() != QAbstractSocket::IPv4Protocol || parsed == QHostAddress(QHostAddress::AnyIPv4))
                return QStringLiteral("\"%1\" is not an IPv4 address").arg(address);
            if (addresses.contains(parsed.toString()))
                return givenTwice(address);
            addresses.append(parsed.toString());
            return std::nullopt;
        });
    if (read)
        targets = addresses;
}

void readMac(Reporter& report, const toml::node& node, std::optional<QString>& mac)
{
    const QString key = QStringLiteral("mac");
    const auto value = text(report, node, key);
    if (!value)
        return;
    if (const auto parsed = parseMac(*value))
        mac = *parsed;
    else
        report.error(node.source(), key,
            QStringLiteral("\"%1\": six hex bytes as 02:1a:2b:3c:4d:5e, a unicast address, not all zeros").arg(*value));
}

void checkPjlinkUdp(Reporter& report, const toml::array& tables, const HubConfig& config)
{
    QHash<QString, QString> macs;
    for (qsizetype i = 0; i < config.projectors.size(); ++i) {
        const ProjectorConfig& projector = config.projectors.at(i);
        const toml::table& table = *tables[std::size_t(i)].as_table();
        if (projector.pjlinkSearch.value_or(false) && projector.pjlinkPort == 0)
            report.error(table.get("pjlink-search")->source(), QStringLiteral("pjlink-search"),
                QStringLiteral("answers for the PJLink door: it needs pjlink-port"));
        if (!projector.mac)
            continue;
        if (macs.contains(*projector.mac))
            report.error(table.get("mac")->source(), QStringLiteral("mac"),
                QStringLiteral("%1 is projector %2's already").arg(*projector.mac, macs.value(*projector.mac)));
        else
            macs.insert(*projector.mac, projector.name);
    }
}

} // namespace orva::hub::config
