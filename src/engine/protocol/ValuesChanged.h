#pragma once

#include "engine/protocol/Commands.h"

#include <vector>

namespace orva {

// The values a command may change: reading them from a cache after the
// command was sent would answer with what was true before it. Queries
// change nothing; a code the vocabulary does not know may change anything,
// which is the caller's to assume. In the order of StatusQuery; the hub
// reads them again as soon as the projector acknowledged the command.
std::vector<StatusQuery> valuesChangedBy(Command command);

} // namespace orva
