#pragma once

#include "engine/PortNames.h"
#include "program/ProgramAnswer.h"

#include <QString>
#include <QStringList>

namespace orva {

// What the panel's command line asked for.
struct CommandLine
{
    using Action = StartAction;
    Action action = Action::Run;
    PortNames ports; // as given; empty where not given (see choosePortNames())
    QString message; // the complaint, for Action::Usage
};

// Reads the panel's options: --com1 LINE, --com2 LINE (also --com1=LINE),
// -h/--help, -v/--version, where LINE is a device path or a network address
// (LineAddress). Anything else, an option given twice, and a LINE that
// LineAddress refuses, is an error. arguments[0] is the program.
CommandLine parseCommandLine(const QStringList& arguments);

// The text --help prints.
QString commandLineHelp(const QString& program);

} // namespace orva
