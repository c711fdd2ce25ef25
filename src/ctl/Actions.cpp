#include "ctl/Actions.h"

#include <QStringList>

#include <vector>

namespace orva::ctl {

namespace {

std::vector<Action> buildTable()
{
    std::vector<Action> table;
    for (const CommandEntry& entry : Vocabulary) {
        if (!entry.action)
            continue;
        if (entry.decoding)
            table.push_back({entry.action, entry.argument, ActionKind::Query, entry.command, entry.decoding});
        else
            table.push_back({entry.action, entry.argument, ActionKind::Operation, entry.command});
    }
    table.push_back({"send", nullptr, ActionKind::Send});
    table.push_back({"list", nullptr, ActionKind::List});
    return table;
}

const std::vector<Action>& table()
{
    static const std::vector<Action> actions = buildTable();
    return actions;
}

} // namespace

std::span<const Action> actions()
{
    return table();
}

const Action* findAction(const QString& name, const QString& argument)
{
    for (const Action& action : table()) {
        if (name == QLatin1String(action.name) && argument == QLatin1String(action.argument))
            return &action;
    }
    return nullptr;
}

bool isActionName(const QString& name)
{
    for (const Action& action : table()) {
        if (name == QLatin1String(action.name))
            return true;
    }
    return false;
}

QString argumentsOf(const QString& name)
{
    QStringList arguments;
    for (const Action& action : table()) {
        if (action.argument && name == QLatin1String(action.name))
            arguments.append(QLatin1String(action.argument));
    }
    return arguments.join(QLatin1Char('|'));
}

QString codeOf(const Action& action)
{
    return action.command ? QString(commandCode(*action.command)) : QString();
}

QString title(const Action& action)
{
    QString text = QLatin1String(action.name);
    if (action.argument)
        text += QLatin1Char(' ') + QLatin1String(action.argument);
    return text;
}

} // namespace orva::ctl
