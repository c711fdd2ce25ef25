#pragma once

#include "LineFaults.h"
#include "ProjectorModel.h"
#include "program/ProgramAnswer.h"

#include <string>
#include <vector>

namespace orva::sim {

struct SimOptions
{
    std::string link;     // symlink to the device, made at start and removed on exit
    bool verbose = false; // log every frame and reply on stderr
    ModelSettings model;
    Faults faults;
};

// What the command line asked for.
struct ParsedOptions
{
    using Action = StartAction;
    Action action = Action::Run;
    SimOptions options;
    std::string message; // the complaint, for Action::Usage
};

// Reads the simulator's options; arguments[0] is the program. Options take
// their value as the next argument or after "=" (--delay 300, --delay=300).
ParsedOptions parseOptions(const std::vector<std::string>& arguments);

// The text --help prints.
std::string helpText(const std::string& program);

} // namespace orva::sim
