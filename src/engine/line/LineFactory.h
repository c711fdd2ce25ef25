#pragma once

#include "engine/line/PortNames.h"

#include <memory>

class QObject;

namespace orva {

class SerialLine;

// The line behind the two port choices, as the programs open it: each port
// stands for what was given for it on the command line, a serial device or
// a network serial server (rfc2217://HOST:PORT, tcp://HOST:PORT; see
// LineAddress), chosen anew at every opening.
std::unique_ptr<SerialLine> makeLine(const PortNames& names, QObject* parent = nullptr);

} // namespace orva
