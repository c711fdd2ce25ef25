#pragma once

#include <QByteArray>

#include <optional>

namespace orva::hub {

// Where a TOML text nests too deep, found by a cheap scan before the TOML
// library reads it: the library descends once per level, so that a key
// dotted 40 000 times or as many nested arrays would exhaust its stack.
// The scan skips strings and comments and counts, at each place, the
// levels of the last table header ([a.b] is 2), the dots of the keys that
// lead there (a.b.c = ... adds 2; within an array each element counts
// afresh) and the arrays and inline tables still open. Values' own dots
// (1.5, times) count too: a level or two of margin, never a refusal of a
// real configuration.
struct NestingPlace
{
    int line = 1;   // from 1
    int column = 1; // from 1, in bytes
};

std::optional<NestingPlace> tooDeeplyNested(const QByteArray& text, int maxDepth);

} // namespace orva::hub
