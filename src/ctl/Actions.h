#pragma once

#include "engine/protocol/StatusDecoder.h"

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

// Where the plain value of a query comes from.
enum class ValueKind : quint8 {
    None,         // operations, send, list
    StatusText,   // the status line without its leading blank
    Number,       // the reply's digits (lamp hours)
    Numbers,      // the reply's comma-separated numbers (temperatures)
    ReplyText,    // the reply before its carriage return (model name)
    Hectopascals, // the number of the status line, "1013 hPa"
};

// One action of orva-ctl. The code it sends is never written here: it is
// the code of the panel's button (control), or, for the three status reads
// no button sends, the status decoder's own code of the query.
struct Action
{
    const char* name;
    const char* argument; // the lower-case argument, or nullptr
    ActionKind kind;
    const char* control = nullptr;
    std::optional<StatusQuery> query = std::nullopt;
    ValueKind value = ValueKind::None;
};

// Every action, operations first (with their arguments in the order the
// panel shows the buttons), then queries, then send and list.
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
