#pragma once

#include <QString>

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

} // namespace orva
