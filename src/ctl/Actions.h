#pragma once

#include "engine/protocol/Commands.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <span>

namespace orva::ctl {

// What an action does on the line and how its reply is judged.
enum class ActionKind : quint8 {
    Operation, // a button's command: the projector acknowledges it (ACK)
    Query,     // a status read: the reply is decoded as the status line shows it
    Send,      // any code: the reply is shown as the receive line shows it
    List,      // no line at all: the table of actions
};

// One action of orva-ctl: a command of the vocabulary that names an action,
// or send or list. The name, the argument and the code are the vocabulary's.
struct Action
{
    const char* name;
    const char* argument; // the lower-case argument, or nullptr
    ActionKind kind;
    std::optional<Command> command = std::nullopt;
    std::optional<StatusQuery> query = std::nullopt; // how a query's reply decodes (its value is the exchange's)
};

// Every action, in the order of the vocabulary (operations, then queries),
// then send and list.
std::span<const Action> actions();

// The action of a name and argument (argument empty for actions without
// one), if there is one.
const Action* findAction(const QString& name, const QString& argument);
// Whether some action has this name (with any argument).
bool isActionName(const QString& name);
// The arguments an action name takes, "on|off"; empty when it takes none.
QString argumentsOf(const QString& name);

// The code an action sends; empty for send and list.
QString codeOf(const Action& action);
// "power on", "status".
QString title(const Action& action);

} // namespace orva::ctl
