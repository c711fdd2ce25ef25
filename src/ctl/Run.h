#pragma once

#include "ctl/Arguments.h"

#include <cstdio>

namespace orva::ctl {

// Carries out a request of Mode::Run: opens every port, sends the action's
// code to all of them at once and waits until each has answered or its
// timeout has passed, then prints one line per port, in the order the ports
// were given (plain results on out, failures on err; with --json every
// port's object on out and the failures also on err). Returns the exit
// status. Needs a QCoreApplication; runs its event loop.
int run(const Request& request, std::FILE* out, std::FILE* err);

} // namespace orva::ctl
