#pragma once

#include "ctl/Arguments.h"

#include <cstdio>

namespace orva::ctl {

// Carries out a request of Mode::Run: every port is opened, sent the
// action's code and closed again, all at once (on a few threads, each
// serving several ports), each waiting until its reply is complete or its
// timeout has passed. Then one
// line per port is printed, in the order the ports were given (plain
// results on out, failures on err; with --json every port's object on out
// and the failures also on err). Returns the exit status. Needs a
// QCoreApplication.
int run(const Request& request, std::FILE* out, std::FILE* err);

} // namespace orva::ctl
