#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace orva {

// Decodes the reply to a status query into the text of the status line.
//   outgoing  the last frame sent (prefix, code, carriage return)
//   prefix    the command prefix the frame was built with
//   rendered  the receive line as rendered (leading blank, spaced tokens)
// Returns the status text, or nothing when the frame is no status query or
// the reply matches no row (the status line then keeps what it showed).
// pressureValue is the running air-pressure reading, written only by the
// "CR PRESSURE" query.
std::optional<QString> decodeStatus(
    const QString& outgoing, const QString& prefix, const QString& rendered, qint16& pressureValue);

} // namespace orva
