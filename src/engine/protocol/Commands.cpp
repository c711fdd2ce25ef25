#include "engine/protocol/Commands.h"

#include <QStringView>

namespace orva {

std::optional<Command> commandOfCode(QStringView code)
{
    for (const CommandEntry& entry : Vocabulary) {
        if (code == QLatin1String(entry.code))
            return entry.command;
    }
    return std::nullopt;
}

} // namespace orva
