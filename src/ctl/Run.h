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
// A run ended by SIGTERM, SIGINT or SIGHUP reports the ports abandoned and
// returns 128 + the signal's number.
int run(const Request& request, std::FILE* out, std::FILE* err);

// Whether out is an open file; when not, says so on err ("orva-ctl: write
// error: Bad file descriptor").
bool outputIsOpen(std::FILE* out, std::FILE* err);
// Flushes and closes out. Output that could not be written, now or before,
// is a failure: "orva-ctl: write error: No space left on device" on err and
// 1; otherwise status.
int closeOutput(std::FILE* out, std::FILE* err, int status);

} // namespace orva::ctl
