#include "hub/HubConfig.h"

#include "hub/ConfigNesting.h"
#include "hub/ConfigValues.h"
#include "hub/DoorBindings.h"
#include "hub/PjlinkUdpReader.h"
#include "hub/ProjectorReader.h"
#include "hub/ScheduleReader.h"
#include "hub/TokenReader.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSet>

#include <toml++/toml.h>

#include <sys/stat.h>

#include <functional>

namespace orva::hub {

namespace {

using namespace config;

// Levels of tables, dotted keys and arrays a configuration may nest: ours
// needs 2; the TOML library descends once per level.
constexpr int MaxNesting = 32;

bool isLoopback(const QString& address)
{
    return QHostAddress(address).isLoopback();
}

// Checks that span the whole file: names and ports unique, passwords where
// the doors are reachable from elsewhere, a file that keeps them to itself.
void checkAcross(Reporter& report, const toml::table& root, ConfigResult& result, std::optional<uint> fileMode)
{
    HubConfig& config = *result.config;
    const toml::array* tables = root["projector"].as_array();
    QSet<QString> names;
    DoorBindings bindings;
    const auto claim = [&report, &bindings](const QStringList& addresses, quint16 port, const QString& door,
                           const toml::source_region& where, const QString& key) {
        for (const QString& address : addresses) {
            const QString holder = bindings.claim(address, port, door);
            if (!holder.isEmpty()) {
                report.error(where, key, QStringLiteral("port %1 is taken by %2 already").arg(port).arg(holder));
                return;
            }
        }
    };
    bool holdsSecret = false;
    for (qsizetype i = 0; i < config.projectors.size(); ++i) {
        const ProjectorConfig& projector = config.projectors.at(i);
        const toml::table& table = *(*tables)[std::size_t(i)].as_table();
        const auto where = [&table](const char* key) {
            const toml::node* node = table.get(key);
            return node ? node->source() : table.source();
        };
        if (names.contains(projector.name))
            report.error(where("name"), QStringLiteral("name"),
                QStringLiteral("\"%1\" names another projector already").arg(projector.name));
        names.insert(projector.name);
        for (const auto& [key, port] :
            {std::pair{"share-port", projector.sharePort}, std::pair{"pjlink-port", projector.pjlinkPort}}) {
            if (port != 0)
                claim(projector.listen, port, projector.name + QLatin1Char(' ') + QLatin1String(key), where(key),
                    QLatin1String(key));
        }
        const bool everyLoopback = std::all_of(projector.listen.begin(), projector.listen.end(), isLoopback);
        // The share door has no authentication of its own: off loopback,
        // the networks that may use it are named.
        if (projector.sharePort != 0 && !everyLoopback && projector.shareAllow.isEmpty())
            report.error(where("share-port"), QStringLiteral("share-port"),
                QStringLiteral("a share door on an address other than loopback needs share-allow, the networks "
                               "that may use it (e.g. share-allow = [\"10.1.2.0/24\"])"));
        holdsSecret = holdsSecret || (projector.pjlinkPassword && !projector.pjlinkPassword->isEmpty());
        if (projector.pjlinkPort != 0 && !everyLoopback) {
            if (!projector.pjlinkPassword)
                report.error(where("pjlink-port"), QStringLiteral("pjlink-port"),
                    QStringLiteral("a PJLink door on an address other than loopback needs pjlink-password "
                                   "(or pjlink-password = \"\" to allow anybody on the network)"));
            else if (projector.pjlinkPassword->isEmpty())
                report.warning(where("pjlink-password"), QStringLiteral("pjlink-password"),
                    QStringLiteral("empty: anybody who reaches %1 may control projector %2")
                        .arg(projector.listen.join(QStringLiteral(", ")), projector.name));
        }
    }
    if (config.httpPort != 0) {
        const auto where = [&root](const char* key) {
            const toml::node* node = root.get(key);
            return node ? node->source() : root.source();
        };
        claim(config.listen, config.httpPort, QStringLiteral("the HTTP door"), where("http-port"),
            QStringLiteral("http-port"));
        checkHttpAccess(report, root, config);
    }
    holdsSecret = holdsSecret || config.httpToken.has_value()
        || std::any_of(config.tokens.begin(), config.tokens.end(),
            [](const TokenConfig& token) { return token.secretFile.isEmpty(); });
    checkPjlinkUdp(report, *tables, config);
    if (holdsSecret && fileMode && (*fileMode & 07) != 0)
        report.fileError(QStringLiteral("holds a password or token but its mode %1 lets others read it "
                                        "(chmod o-rwx %2)")
                             .arg(*fileMode & 0777, 4, 8, QLatin1Char('0'))
                             .arg(report.path()));
}

} // namespace

ConfigResult parseHubConfig(const QByteArray& bytes, const QString& path, std::optional<uint> fileMode)
{
    ConfigResult result;
    Reporter report(path, result);
    if (const std::optional<NestingPlace> deep = tooDeeplyNested(bytes, MaxNesting)) {
        result.errors.append(QStringLiteral("%1:%2:%3: nested more than %4 levels deep (tables, dotted keys, arrays)")
                                 .arg(path)
                                 .arg(deep->line)
                                 .arg(deep->column)
                                 .arg(MaxNesting));
        return result;
    }
    toml::table root;
    try {
        root = toml::parse(std::string_view(bytes.constData(), std::size_t(bytes.size())), path.toStdString());
    } catch (const toml::parse_error& failure) {
        const toml::source_region& where = failure.source();
        result.errors.append(QStringLiteral("%1:%2:%3: %4")
                                 .arg(path)
                                 .arg(where.begin.line)
                                 .arg(where.begin.column)
                                 .arg(qstr(failure.description())));
        return result;
    }

    HubConfig config;
    AddressRanges shareAllow;
    const ScheduleReader schedules([&report](int line, int column, const QString& key, const QString& reason) {
        report.errorAt(line, column, key, reason);
    });
    for (const auto& [tomlKey, node] : root) {
        const QString key = qstr(tomlKey.str());
        if (key == QLatin1String("listen")) {
            readListen(report, node, config.listen);
        } else if (key == QLatin1String("share-allow")) {
            readShareAllow(report, node, shareAllow);
        } else if (key == QLatin1String("poll-interval-ms")) {
            if (const auto ms
                = integerIn(report, node, key, 0, 86'400'000, QStringLiteral("0 for never, or up to 86400000")))
                config.pollIntervalMs = int(*ms);
        } else if (key == QLatin1String("reply-timeout-ms")) {
            if (const auto ms = integerIn(report, node, key, 10, 60'000, QStringLiteral("10 to 60000")))
                config.replyTimeoutMs = int(*ms);
        } else if (key == QLatin1String("late-reply-ms")) {
            if (const auto ms = integerIn(report, node, key, 0, 60'000, QStringLiteral("0 to 60000")))
                config.lateReplyMs = int(*ms);
        } else if (key == QLatin1String("http-port")) {
            if (const auto port = tcpPort(report, node, key))
                config.httpPort = *port;
        } else if (key == QLatin1String("http-token")) {
            if (const auto token = text(report, node, key)) {
                // Sent in a header, over the network.
                if (isStrongSecret(*token))
                    config.httpToken = *token;
                else
                    report.error(node.source(), key, strongSecretRule());
            }
        } else if (key == QLatin1String("http-reads")) {
            readHttpReads(report, node, config);
        } else if (key == QLatin1String("audit-log")) {
            if (const auto file = text(report, node, key)) {
                if (!file->startsWith(QLatin1Char('/')) || file->endsWith(QLatin1Char('/')))
                    report.error(node.source(), key,
                        QStringLiteral("an absolute path of a file (e.g. /var/log/orva/audit.jsonl)"));
                else
                    config.auditLog = *file;
            }
        } else if (key == QLatin1String("projector")) {
            const toml::array* tables = node.as_array();
            if (!tables || !tables->is_array_of_tables()) {
                report.error(node.source(), key, QStringLiteral("must be written as [[projector]] tables"));
                continue;
            }
            for (const toml::node& element : *tables) {
                ProjectorConfig projector;
                bool named = false;
                readProjector(report, *element.as_table(), projector, named);
                if (!named && !element.as_table()->contains("name"))
                    report.error(element.source(), QStringLiteral("name"), QStringLiteral("missing in [[projector]]"));
                if (projector.line.isEmpty() && !element.as_table()->contains("line"))
                    report.error(element.source(), QStringLiteral("line"), QStringLiteral("missing in [[projector]]"));
                config.projectors.append(projector);
            }
        } else if (readPjlinkUdpTopKey(report, key, node, config)) { // pjlink-udp-port, pjlink-notify
        } else if (key == QLatin1String("timezone")) {
            schedules.readTimezone(node, config);
        } else if (key != QLatin1String("schedule") && key != QLatin1String("token")) { // read below
            report.error(tomlKey.source(), key, QStringLiteral("unknown key"));
        }
    }
    if (const toml::node* node = root.get("schedule"))
        schedules.readSchedules(*node, config);
    if (const toml::node* node = root.get("token"))
        readTokens(report, *node, config);
    if (!result.errors.isEmpty())
        return result;
    if (config.projectors.isEmpty()) {
        report.fileError(QStringLiteral("no [[projector]]: nothing to serve"));
        return result;
    }
    // What a projector does not say for itself, the top of the file says for all.
    for (ProjectorConfig& projector : config.projectors) {
        if (projector.listen.isEmpty())
            projector.listen = config.listen;
        if (projector.shareAllow.isEmpty())
            projector.shareAllow = shareAllow;
        if (!projector.pjlinkNotify)
            projector.pjlinkNotify = config.pjlinkNotify;
    }
    result.config = config;
    checkAcross(report, root, result, fileMode);
    if (!result.errors.isEmpty())
        result.config.reset();
    return result;
}

ConfigResult readHubConfig(const QString& path)
{
    // Only a regular file: opening a FIFO would wait for a writer forever,
    // and a device has no end.
    struct stat kind
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &kind) == 0 && !S_ISREG(kind.st_mode)) {
        ConfigResult result;
        result.errors.append(path + QStringLiteral(": not a regular file"));
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ConfigResult result;
        result.errors.append(path + QStringLiteral(": ") + file.errorString());
        return result;
    }
    // The configuration is small; anything large is not one.
    constexpr qint64 Limit = 1 << 20;
    const QByteArray bytes = file.read(Limit + 1);
    if (bytes.size() > Limit) {
        ConfigResult result;
        result.errors.append(path + QStringLiteral(": larger than 1 MiB"));
        return result;
    }
    struct stat info
    {
    };
    std::optional<uint> mode;
    if (::fstat(file.handle(), &info) == 0)
        mode = uint(info.st_mode);
    return parseHubConfig(bytes, path, mode);
}

} // namespace orva::hub
