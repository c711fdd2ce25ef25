#pragma once

#include <QString>

namespace orva {

// A line's characters as a test row writes them: ACK, NAK and the carriage
// return by name.
inline QString shownBytes(QString text)
{
    return text.replace(QChar(6), QLatin1String("<ACK>"))
        .replace(QChar(21), QLatin1String("<NAK>"))
        .replace(QChar(13), QLatin1String("<CR>"));
}

} // namespace orva
