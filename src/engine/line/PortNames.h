#pragma once

#include "engine/line/SerialLine.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace orva {

// What stands behind the two port choices, COM1 and COM2: a device path or
// a network address each (LineAddress).
struct PortNames
{
    QString com1;
    QString com2;

    // "COM1"/"COM2" on Windows, /dev/ttyS0 and /dev/ttyS1 elsewhere.
    static PortNames platformDefaults();
    QString device(Port port) const { return port == Port::Com2 ? com2 : com1; }
};

// What the command line asked for.
struct CommandLine
{
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    PortNames ports = PortNames::platformDefaults();
    QString message; // the complaint, for Action::Error
};

// Reads the panel's options: --com1 LINE, --com2 LINE (also --com1=LINE),
// --help, --version, where LINE is a device path or a network address
// (LineAddress). Anything else, and a LINE that LineAddress refuses, is an
// error. arguments[0] is the program.
CommandLine parseCommandLine(const QStringList& arguments);

// The text --help prints.
QString commandLineHelp(const QString& program);

} // namespace orva
