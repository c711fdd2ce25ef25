#pragma once

#include "engine/line/PortNames.h"

#include <memory>

class QObject;

namespace orva {

class SerialLine;

// The line behind the two port choices, as the programs open it: each port
// stands for what was given for it on the command line.
std::unique_ptr<SerialLine> makeLine(PortNames names, QObject* parent = nullptr);

} // namespace orva
