#pragma once

#include <QString>

#include <cstdio>
#include <optional>

namespace orva {

// What a program's command line asks for before any work: to run, or one
// of the answers every program gives alike. Each program reads its own
// options (and decides which of these wins when several are given); the
// answer is written here, the same way for all.
enum class StartAction { Run, Help, Version, Usage };

// Writes the answer to a command line that asks for no work:
//   Help     text (the program's help, ending in a newline) on out;
//   Version  "PROGRAM VERSION" on out;
//   Usage    "PROGRAM: text", then usage (when not empty), then
//            "Try 'PROGRAM --help'." on err.
// Returns the exit status the answer stands for (0 for Help and Version,
// 2 for Usage), or nothing for Run, when nothing is written and the program
// goes on. The streams are not flushed: each program ends its output as it
// ends it after work (a write error there may still change the status).
std::optional<int> answerStart(StartAction action, const QString& program, const QString& text = QString(),
    const QString& usage = QString(), std::FILE* out = stdout, std::FILE* err = stderr);

// The status of a command line that cannot be used.
inline constexpr int BadUsageStatus = 2;

} // namespace orva
