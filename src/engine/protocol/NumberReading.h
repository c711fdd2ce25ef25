#pragma once

#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace orva {

// Reads the number at the start of a text the way classic BASIC's Val does:
//  - blanks, tabs and line feeds are skipped wherever they occur, also
//    between digits ("1 2" reads as 12);
//  - decimal: optional sign, digits, optional decimal point with digits,
//    optional exponent (E or D, either case, optional sign, digits);
//  - "&H" hexadecimal and "&O" octal (letters and digits in either case).
//    Like Val, a value of up to 16 bits is taken as a signed 16-bit integer
//    ("&HFFFF" is -1, "&H8000" is -32768), a larger one of up to 32 bits as
//    a signed 32-bit integer ("&H10000" is 65536, "&HFFFFFFFF" is -1).
//    A sign belongs to decimal numbers only: "-&H1F" has no digits;
//  - reading stops at the first other character; no digits give 0.
// Returns nothing when the value cannot be held: a decimal number beyond the
// range of a double (where Val would stop with an overflow), a hexadecimal
// or octal number of more than 32 bits.
// Work is linear in the length of the text, whatever its digits and
// exponent.
std::optional<double> readNumber(QStringView text);

// x rounded to the nearest integer, ties to the even one (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2). Values that are not finite come back as they are.
double roundHalfEven(double x);

// The air pressure in hPa for a reading of the pressure sensor:
//   v := reading rounded half to even (a signed 16-bit value)
//   m := v * 5 (a signed 16-bit value)
//   p := ((m / 1024) - 0.204) / 0.00459 + 150, rounded half to even
// Returns nothing when the reading is not finite or m does not fit 16 bits,
// that is when v lies outside -6553..6553.
std::optional<qint16> pressureHpa(double reading);

// The range of rounded readings for which pressureHpa() gives a value.
inline constexpr int PressureReadingLimit = 6553;

} // namespace orva
