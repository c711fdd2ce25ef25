#pragma once

#include <QString>

namespace orva {

// Renders text for the transmit and receive lines so that every character is
// visible: a leading blank, then one token per character -
//   6 -> "ACK ", 20 -> "&" (no blank), 13 -> "CR ", 10 -> "LF ",
//   other codes below 32 -> "? ", 32..122 -> the character and a blank,
//   123 and above -> "? ".
// The status decoding reads this layout back, so it is part of the contract:
// a printable character number n of the text sits at position 2n.
QString renderTraffic(const QString& text);

} // namespace orva
