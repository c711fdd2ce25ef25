#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>

namespace orva {

// A command frame is the prefix, the command code and one carriage return.
// The prefix is empty: the frame of "C00" is "C00" and a carriage return.
// The status decoding compares whole frames, prefix included.
inline const QString CommandPrefix;
inline constexpr QChar FrameEnd = QChar(13);

inline QString frameOf(const QString& code)
{
    return CommandPrefix + code + FrameEnd;
}

// Whether a code can go out as one frame, one byte a character: every
// character printable ASCII. A carriage return or any other control
// character in it would make it another frame or something else, and a
// character beyond ASCII has no byte of its own (the line would put '?' in
// its place). How long a code may be is each front end's bound.
inline bool isSendableCode(QStringView code)
{
    return std::all_of(code.begin(), code.end(), [](QChar c) { return c.unicode() >= 32 && c.unicode() < 127; });
}

} // namespace orva
