#include "ctl/Actions.h"

#include "engine/protocol/CommandTables.h"

#include <QStringList>

#include <cstring>

namespace orva::ctl {

namespace {

using K = ActionKind;
using V = ValueKind;
using Q = StatusQuery;

// clang-format off
constexpr Action Table[] = {
    {"power",      "on",      K::Operation, "Command17"},
    {"power",      "off",     K::Operation, "Command18"},
    {"input",      "pc1",     K::Operation, "Command27"},
    {"input",      "pc2",     K::Operation, "Command28"},
    {"input",      "video",   K::Operation, "Command29"},
    {"sound-mute", "on",      K::Operation, "Command19"},
    {"sound-mute", "off",     K::Operation, "Command20"},
    {"no-show",    "on",      K::Operation, "Command21"},
    {"no-show",    "off",     K::Operation, "Command22"},
    {"freeze",     "on",      K::Operation, "Command25"},
    {"freeze",     "off",     K::Operation, "Command26"},
    {"av-size",    "regular", K::Operation, "Command31"},
    {"av-size",    "wide",    K::Operation, "Command32"},
    {"menu",       "on",      K::Operation, "Command23"},
    {"menu",       "off",     K::Operation, "Command24"},
    {"fan",        "l1",      K::Operation, "Command38"},
    {"fan",        "l2",      K::Operation, "Command43"},
    {"picture",    "stand",   K::Operation, "Command4"},
    {"picture",    "real",    K::Operation, "Command10"},
    {"picture",    "cinema",  K::Operation, "Command11"},
    {"picture",    "image1",  K::Operation, "Command39"},
    {"picture",    "image2",  K::Operation, "Command40"},
    {"picture",    "image3",  K::Operation, "Command41"},
    {"picture",    "image4",  K::Operation, "Command42"},
    {"picture",    "board",   K::Operation, "Command12"},
    {"picture",    "dynamic", K::Operation, "Command37"},
    {"status",       nullptr, K::Query, "Command44", Q::PowerState,   V::StatusText},
    {"input?",       nullptr, K::Query, "Command45", Q::InputSource,  V::StatusText},
    {"lamp-hours",   nullptr, K::Query, "Command46", Q::LampHours,    V::Number},
    {"orientation",  nullptr, K::Query, "Command47", Q::Orientation,  V::StatusText},
    {"temperatures", nullptr, K::Query, "Command54", Q::Temperatures, V::Numbers},
    {"lamp-mode",    nullptr, K::Query, "Command55", Q::LampMode,     V::StatusText},
    {"mute?",        nullptr, K::Query, nullptr,     Q::MuteState,    V::StatusText},
    {"model",        nullptr, K::Query, nullptr,     Q::ModelName,    V::ReplyText},
    {"pressure",     nullptr, K::Query, nullptr,     Q::AirPressure,  V::Hectopascals},
    {"send",         nullptr, K::Send},
    {"list",         nullptr, K::List},
};
// clang-format on

} // namespace

std::span<const Action> actions()
{
    return Table;
}

const Action* findAction(const QString& name, const QString& argument)
{
    for (const Action& action : Table) {
        if (name == QLatin1String(action.name) && argument == QLatin1String(action.argument))
            return &action;
    }
    return nullptr;
}

bool isActionName(const QString& name)
{
    for (const Action& action : Table) {
        if (name == QLatin1String(action.name))
            return true;
    }
    return false;
}

QString argumentsOf(const QString& name)
{
    QStringList arguments;
    for (const Action& action : Table) {
        if (action.argument && name == QLatin1String(action.name))
            arguments.append(QLatin1String(action.argument));
    }
    return arguments.join(QLatin1Char('|'));
}

QString codeOf(const Action& action)
{
    if (action.control) {
        for (const CatalogueEntry& entry : CommandCatalogue) {
            if (std::strcmp(entry.control, action.control) == 0)
                return QLatin1String(entry.code);
        }
        return QString();
    }
    if (action.query)
        return statusQueryCode(*action.query);
    return QString();
}

QString title(const Action& action)
{
    QString text = QLatin1String(action.name);
    if (action.argument)
        text += QLatin1Char(' ') + QLatin1String(action.argument);
    return text;
}

} // namespace orva::ctl
