#include "hub/ProjectorReader.h"

#include "engine/line/LineAddress.h"
#include "hub/PjlinkInputs.h"
#include "hub/PjlinkUdpReader.h"

#include <array>
#include <limits>

namespace orva::hub::config {

namespace {

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
    QStringList names;
    const bool read
        = readTextList(report, node, QStringLiteral("groups"), QStringLiteral("a list of names, e.g. [\"building-3\"]"),
            0, std::numeric_limits<qsizetype>::max(), [&names](const QString& group) -> std::optional<QString> {
                if (!namePattern().match(group).hasMatch())
                    return QStringLiteral("\"%1\": use 1 to 32 lower-case letters, digits and '-'").arg(group);
                if (group == QLatin1String("all"))
                    return QStringLiteral("\"all\" is every projector already; name the group otherwise");
                if (names.contains(group))
                    return givenTwice(group);
                names.append(group);
                return std::nullopt;
            });
    if (read)
        groups = names;
}

} // namespace

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
        } else if (key == QLatin1String("pjlink-search")) {
            if (const auto* search = node.as_boolean())
                projector.pjlinkSearch = search->get();
            else
                report.error(node.source(), key, QStringLiteral("must be true or false"));
        } else if (key == QLatin1String("pjlink-notify")) {
            projector.pjlinkNotify.emplace();
            readPjlinkNotify(report, node, *projector.pjlinkNotify);
        } else if (key == QLatin1String("mac")) {
            readMac(report, node, projector.mac);
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

} // namespace orva::hub::config
