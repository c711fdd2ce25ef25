#include "hub/HubConfig.h"

#include "engine/line/LineAddress.h"
#include "hub/ConfigNesting.h"
#include "hub/DoorBindings.h"
#include "hub/PjlinkInputs.h"
#include "hub/ScheduleReader.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSet>

#include <toml++/toml.h>

#include <sys/stat.h>

#include <array>
#include <functional>
#include <string_view>

namespace orva::hub {

namespace {

// Levels of tables, dotted keys and arrays a configuration may nest: ours
// needs 2; the TOML library descends once per level.
constexpr int MaxNesting = 32;

// A token a guesser cannot shorten: long, and not a few characters
// repeated ("aaaaaaaaaaaaaaaa" has the length and almost no guesses in it).
constexpr qsizetype MinTokenLength = 16;
constexpr qsizetype MaxTokenLength = 256;
constexpr qsizetype MinTokenDistinct = 8;

qsizetype distinctCharacters(const QString& text)
{
    return QSet<QChar>(text.begin(), text.end()).size();
}

// Where a message points: the file and the place of a key or value in it.
class Reporter
{
public:
    Reporter(QString path, ConfigResult& result)
        : m_path(std::move(path))
        , m_result(result)
    {
    }

    void error(const toml::source_region& where, const QString& key, const QString& reason)
    {
        m_result.errors.append(place(where) + key + QStringLiteral(": ") + reason);
    }
    void warning(const toml::source_region& where, const QString& key, const QString& reason)
    {
        m_result.warnings.append(place(where) + key + QStringLiteral(": ") + reason);
    }
    void errorAt(int line, int column, const QString& key, const QString& reason)
    {
        m_result.errors.append(
            QStringLiteral("%1:%2:%3: ").arg(m_path).arg(line).arg(column) + key + QStringLiteral(": ") + reason);
    }
    void fileError(const QString& reason) { m_result.errors.append(m_path + QStringLiteral(": ") + reason); }
    const QString& path() const { return m_path; }

private:
    QString place(const toml::source_region& where) const
    {
        return QStringLiteral("%1:%2:%3: ").arg(m_path).arg(where.begin.line).arg(where.begin.column);
    }

    QString m_path;
    ConfigResult& m_result;
};

QString qstr(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// An integer value in [low, high], or nothing (with an error).
std::optional<qint64> integerIn(
    Reporter& report, const toml::node& node, const QString& key, qint64 low, qint64 high, const QString& range)
{
    const auto* value = node.as_integer();
    if (!value) {
        report.error(node.source(), key, QStringLiteral("must be a whole number"));
        return std::nullopt;
    }
    const qint64 number = value->get();
    if (number < low || number > high) {
        report.error(node.source(), key, QStringLiteral("%1 is out of range (%2)").arg(number).arg(range));
        return std::nullopt;
    }
    return number;
}

std::optional<QString> text(Reporter& report, const toml::node& node, const QString& key)
{
    const auto* value = node.as_string();
    if (!value) {
        report.error(node.source(), key, QStringLiteral("must be a string in quotes"));
        return std::nullopt;
    }
    return qstr(value->get());
}

std::optional<quint16> tcpPort(Reporter& report, const toml::node& node, const QString& key)
{
    const auto number = integerIn(report, node, key, 0, 65535, QStringLiteral("0 for none, or 1 to 65535"));
    return number ? std::optional<quint16>(quint16(*number)) : std::nullopt;
}

// A secret as it travels in a protocol's text: printable ASCII, no blanks.
bool isVisibleAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 32 && c.unicode() < 127; });
}

void readListen(Reporter& report, const toml::node& node, QStringList& listen)
{
    const QString key = QStringLiteral("listen");
    const auto* array = node.as_array();
    if (!array || array->empty()) {
        report.error(node.source(), key, QStringLiteral("must be a list of IP addresses, e.g. [\"127.0.0.1\"]"));
        return;
    }
    listen.clear();
    for (const toml::node& element : *array) {
        const auto address = text(report, element, key);
        if (!address)
            continue;
        if (QHostAddress(*address).isNull()) {
            report.error(element.source(), key, QStringLiteral("\"%1\" is not an IP address").arg(*address));
            continue;
        }
        if (listen.contains(*address)) {
            report.error(element.source(), key, QStringLiteral("\"%1\" is given twice").arg(*address));
            continue;
        }
        listen.append(*address);
    }
}

// Text a PJLink controller is told: no control characters.
bool isPrintable(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

// The keys whose text PJLink class 2 answers as it stands, with the
// longest answer PJLink allows for each.
struct PjlinkTextKey
{
    QLatin1String key;
    int bytes;
    QString ProjectorConfig::*field;
};

std::optional<PjlinkTextKey> pjlinkTextLimit(const QString& key)
{
    static const std::array keys{
        PjlinkTextKey{QLatin1String("serial-number"), 32, &ProjectorConfig::serialNumber},
        PjlinkTextKey{QLatin1String("software-version"), 32, &ProjectorConfig::softwareVersion},
        PjlinkTextKey{QLatin1String("lamp-model"), 128, &ProjectorConfig::lampModel},
        PjlinkTextKey{QLatin1String("filter-model"), 128, &ProjectorConfig::filterModel},
    };
    for (const PjlinkTextKey& row : keys) {
        if (key == row.key)
            return row;
    }
    return std::nullopt;
}

// input-names = { "11" = "Lectern", ... }: a PJLink input code, a name of
// at most 64 bytes.
void readInputNames(Reporter& report, const toml::node& node, QMap<QString, QString>& names)
{
    const QString key = QStringLiteral("input-names");
    const auto* table = node.as_table();
    if (!table) {
        report.error(
            node.source(), key, QStringLiteral("must be a table of input codes, e.g. { \"11\" = \"Lectern\" }"));
        return;
    }
    names.clear();
    for (const auto& [code, value] : *table) {
        const QString codeText = qstr(code.str());
        const auto name = text(report, value, key);
        if (!name)
            continue;
        if (!pjlinkInputOfCode(codeText.toLatin1()))
            report.error(code.source(), key,
                QStringLiteral("%1 is no input code (%2)").arg(codeText, QString::fromLatin1(pjlinkInputCodes())));
        else if (name->toUtf8().size() > 64 || !isPrintable(*name))
            report.error(value.source(), key, QStringLiteral("at most 64 bytes, printable"));
        else
            names.insert(codeText, *name);
    }
}

void readShareAllow(Reporter& report, const toml::node& node, AddressRanges& allowed)
{
    const QString key = QStringLiteral("share-allow");
    const auto* array = node.as_array();
    if (!array || array->empty()) {
        report.error(node.source(), key, QStringLiteral("must be a list of networks, e.g. [\"10.1.2.0/24\"]"));
        return;
    }
    allowed = AddressRanges();
    for (const toml::node& element : *array) {
        const auto range = text(report, element, key);
        if (!range)
            continue;
        QString why;
        if (const auto parsed = AddressRanges::parseRange(*range, &why))
            allowed.add(*parsed);
        else
            report.error(element.source(), key, why);
    }
}

const QRegularExpression& namePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9-]{1,32}$"));
    return pattern;
}

// What people read for a projector: any text, counted in characters
// (code points), not in bytes or UTF-16 units.
constexpr qsizetype MaxLabelLength = 64;

void readLabel(Reporter& report, const toml::node& node, std::optional<QString>& label)
{
    const QString key = QStringLiteral("label");
    const auto value = text(report, node, key);
    if (!value)
        return;
    const qsizetype length = value->toUcs4().size();
    if (length < 1 || length > MaxLabelLength)
        report.error(node.source(), key, QStringLiteral("%1 characters: use 1 to %2").arg(length).arg(MaxLabelLength));
    else
        label = *value;
}

void readGroups(Reporter& report, const toml::node& node, QStringList& groups)
{
    const QString key = QStringLiteral("groups");
    const auto* array = node.as_array();
    if (!array) {
        report.error(node.source(), key, QStringLiteral("must be a list of names, e.g. [\"building-3\"]"));
        return;
    }
    groups.clear();
    for (const toml::node& element : *array) {
        const auto group = text(report, element, key);
        if (!group)
            continue;
        if (!namePattern().match(*group).hasMatch())
            report.error(element.source(), key,
                QStringLiteral("\"%1\": use 1 to 32 lower-case letters, digits and '-'").arg(*group));
        else if (*group == QLatin1String("all"))
            report.error(
                element.source(), key, QStringLiteral("\"all\" is every projector already; name the group otherwise"));
        else if (groups.contains(*group))
            report.error(element.source(), key, QStringLiteral("\"%1\" is given twice").arg(*group));
        else
            groups.append(*group);
    }
}

// The keys of one [[projector]] table, each with how it is read.
void readProjector(Reporter& report, const toml::table& table, ProjectorConfig& projector, bool& named)
{
    for (const auto& [tomlKey, node] : table) {
        const QString key = qstr(tomlKey.str());
        if (key == QLatin1String("name")) {
            if (const auto name = text(report, node, key)) {
                if (namePattern().match(*name).hasMatch()) {
                    projector.name = *name;
                    named = true;
                } else {
                    report.error(node.source(), key,
                        QStringLiteral("\"%1\": use 1 to 32 lower-case letters, digits and '-'").arg(*name));
                }
            }
        } else if (key == QLatin1String("line")) {
            if (const auto line = text(report, node, key)) {
                QString why;
                if (LineAddress::parse(*line, &why))
                    projector.line = *line;
                else
                    report.error(node.source(), key, QStringLiteral("\"%1\": %2").arg(*line, why));
            }
        } else if (key == QLatin1String("speed")) {
            const auto* value = node.as_integer();
            if (value && (value->get() == 19200 || value->get() == 9600))
                projector.speed = value->get() == 9600 ? LineSpeed::Baud9600 : LineSpeed::Baud19200;
            else
                report.error(node.source(), key, QStringLiteral("must be 19200 or 9600"));
        } else if (key == QLatin1String("share-port")) {
            if (const auto port = tcpPort(report, node, key))
                projector.sharePort = *port;
        } else if (key == QLatin1String("pjlink-port")) {
            if (const auto port = tcpPort(report, node, key))
                projector.pjlinkPort = *port;
        } else if (key == QLatin1String("listen")) {
            readListen(report, node, projector.listen);
        } else if (key == QLatin1String("share-allow")) {
            readShareAllow(report, node, projector.shareAllow);
        } else if (key == QLatin1String("pjlink-password")) {
            if (const auto password = text(report, node, key)) {
                if (password->size() > 32 || !isVisibleAscii(*password))
                    report.error(
                        node.source(), key, QStringLiteral("at most 32 printable ASCII characters, no blanks"));
                else
                    projector.pjlinkPassword = *password;
            }
        } else if (const auto limit = pjlinkTextLimit(key)) {
            if (const auto value = text(report, node, key)) {
                if (value->toUtf8().size() > limit->bytes || !isPrintable(*value))
                    report.error(node.source(), key, QStringLiteral("at most %1 bytes, printable").arg(limit->bytes));
                else
                    projector.*(limit->field) = *value;
            }
        } else if (key == QLatin1String("input-names")) {
            readInputNames(report, node, projector.inputNames);
        } else if (key == QLatin1String("label")) {
            readLabel(report, node, projector.label);
        } else if (key == QLatin1String("groups")) {
            readGroups(report, node, projector.groups);
        } else if (key == QLatin1String("lamp-rated-hours")) {
            if (const auto hours = integerIn(report, node, key, 1, 1'000'000, QStringLiteral("1 to 1000000")))
                projector.lampRatedHours = *hours;
        } else {
            report.error(tomlKey.source(), key, QStringLiteral("unknown key in [[projector]]"));
        }
    }
}

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
        if (!config.httpToken && !std::all_of(config.listen.begin(), config.listen.end(), isLoopback))
            report.error(where("http-port"), QStringLiteral("http-port"),
                QStringLiteral("an HTTP door on an address other than loopback needs http-token"));
    }
    holdsSecret = holdsSecret || config.httpToken.has_value();
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
                // Sent in a header: visible ASCII only, and long and varied
                // enough not to be guessed over the network.
                if (token->size() < MinTokenLength || token->size() > MaxTokenLength || !isVisibleAscii(*token)
                    || distinctCharacters(*token) < MinTokenDistinct)
                    report.error(node.source(), key,
                        QStringLiteral("%1 to %2 printable ASCII characters, no blanks, at least %3 of them "
                                       "different (e.g. the output of: openssl rand -hex 24)")
                            .arg(MinTokenLength)
                            .arg(MaxTokenLength)
                            .arg(MinTokenDistinct));
                else
                    config.httpToken = *token;
            }
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
        } else if (key == QLatin1String("timezone")) {
            schedules.readTimezone(node, config);
        } else if (key != QLatin1String("schedule")) { // read below, once every projector is known
            report.error(tomlKey.source(), key, QStringLiteral("unknown key"));
        }
    }
    if (const toml::node* node = root.get("schedule"))
        schedules.readSchedules(*node, config);
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
