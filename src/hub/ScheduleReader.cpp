#include "hub/ScheduleReader.h"

#include "engine/protocol/ValueNames.h"
#include "hub/CalendarEvent.h"

#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>

#include <algorithm>

namespace orva::hub {

namespace {

QString qstr(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

const QRegularExpression& namePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9-]{1,32}$"));
    return pattern;
}

} // namespace

ScheduleReader::ScheduleReader(Complain complain)
    : m_complain(std::move(complain))
{
}

void ScheduleReader::complain(const toml::source_region& where, const QString& key, const QString& reason) const
{
    m_complain(int(where.begin.line), int(where.begin.column), key, reason);
}

void ScheduleReader::readTimezone(const toml::node& node, HubConfig& config) const
{
    const QString key = QStringLiteral("timezone");
    const std::optional<std::string_view> zone = node.value<std::string_view>();
    if (!zone) {
        complain(node.source(), key, QStringLiteral("must be a string in quotes, e.g. \"Europe/Berlin\""));
        return;
    }
    if (!QTimeZone::isTimeZoneIdAvailable(QByteArray(zone->data(), qsizetype(zone->size())))) {
        complain(node.source(), key, QStringLiteral("\"%1\" is not a time zone this system knows").arg(qstr(*zone)));
        return;
    }
    config.timezone = qstr(*zone);
}

void ScheduleReader::readSchedules(const toml::node& node, HubConfig& config) const
{
    const toml::array* tables = node.as_array();
    if (!tables || !tables->is_array_of_tables()) {
        complain(node.source(), QStringLiteral("schedule"), QStringLiteral("must be written as [[schedule]] tables"));
        return;
    }
    QSet<QString> names;
    for (const toml::node& element : *tables) {
        const toml::table& table = *element.as_table();
        ScheduleConfig schedule;
        readOne(table, config, schedule);
        for (const char* required : {"name", "at", "action", "targets"}) {
            if (!table.contains(required))
                complain(element.source(), QLatin1String(required), QStringLiteral("missing in [[schedule]]"));
        }
        if (!schedule.name.isEmpty() && names.contains(schedule.name))
            complain(table.get("name")->source(), QStringLiteral("name"),
                QStringLiteral("\"%1\" names another schedule already").arg(schedule.name));
        names.insert(schedule.name);
        config.schedules.append(schedule);
    }
}

void ScheduleReader::readOne(const toml::table& table, const HubConfig& config, ScheduleConfig& schedule) const
{
    for (const auto& [tomlKey, node] : table) {
        const QString key = qstr(tomlKey.str());
        const std::optional<std::string_view> raw = node.value<std::string_view>();
        const QString text = raw ? qstr(*raw) : QString();
        if (key == QLatin1String("enabled")) {
            if (const std::optional<bool> enabled = node.value<bool>())
                schedule.enabled = *enabled;
            else
                complain(node.source(), key, QStringLiteral("must be true or false"));
        } else if (key == QLatin1String("targets")) {
            readTargets(node, config, schedule.targets);
        } else if (key != QLatin1String("name") && key != QLatin1String("at") && key != QLatin1String("action")) {
            complain(tomlKey.source(), key, QStringLiteral("unknown key in [[schedule]]"));
        } else if (!raw || !node.is_string()) {
            complain(node.source(), key, QStringLiteral("must be a string in quotes"));
        } else if (key == QLatin1String("name")) {
            if (namePattern().match(text).hasMatch())
                schedule.name = text;
            else
                complain(node.source(), key,
                    QStringLiteral("\"%1\": use 1 to 32 lower-case letters, digits and '-'").arg(text));
        } else if (key == QLatin1String("at")) {
            const auto parsed = CalendarEvent::parse(text);
            if (const auto* error = std::get_if<CalendarEvent::ParseError>(&parsed)) {
                // The column inside the string, counted from its opening quote.
                const toml::source_position begin = node.source().begin;
                m_complain(int(begin.line), int(begin.column) + error->column, key,
                    QStringLiteral("\"%1\": %2").arg(text, error->reason));
            } else {
                schedule.at = text;
            }
        } else if (commandOfHttpAction(text)) {
            schedule.action = text;
        } else {
            complain(
                node.source(), key, QStringLiteral("\"%1\" is not an action (e.g. power-off, power-on)").arg(text));
        }
    }
}

void ScheduleReader::readTargets(const toml::node& node, const HubConfig& config, QStringList& targets) const
{
    const QString key = QStringLiteral("targets");
    const toml::array* array = node.as_array();
    if (!array || array->empty()) {
        complain(node.source(), key, QStringLiteral("must be a list of projectors and groups, e.g. [\"group:hall\"]"));
        return;
    }
    const auto isProjector = [&config](const QString& name) {
        return std::any_of(config.projectors.begin(), config.projectors.end(),
            [&name](const ProjectorConfig& projector) { return projector.name == name; });
    };
    const auto isGroup = [&config](const QString& name) {
        return std::any_of(config.projectors.begin(), config.projectors.end(),
            [&name](const ProjectorConfig& projector) { return projector.groups.contains(name); });
    };
    for (const toml::node& element : *array) {
        const std::optional<std::string_view> raw = element.value<std::string_view>();
        const QString target = raw ? qstr(*raw) : QString();
        if (!raw || !element.is_string()) {
            complain(element.source(), key, QStringLiteral("must be strings in quotes"));
        } else if (target == QLatin1String("all")) {
            if (array->size() != 1)
                complain(element.source(), key, QStringLiteral("\"all\" stands alone: it names every projector"));
        } else if (target.startsWith(QLatin1String("group:"))) {
            if (!isGroup(target.mid(6)))
                complain(element.source(), key, QStringLiteral("no projector is in group \"%1\"").arg(target.mid(6)));
        } else if (!isProjector(target)) {
            complain(element.source(), key, QStringLiteral("no projector named \"%1\"").arg(target));
        }
        if (targets.contains(target))
            complain(element.source(), key, QStringLiteral("\"%1\" is given twice").arg(target));
        targets.append(target);
    }
}

} // namespace orva::hub
