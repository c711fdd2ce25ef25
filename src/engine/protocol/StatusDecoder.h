#pragma once

#include "engine/protocol/Commands.h"

#include <QString>
#include <QtGlobal>

#include <optional>

namespace orva {

// Decodes the reply to a status query into the text of the status line.
//   outgoing  the last frame sent (prefix, code, carriage return)
//   prefix    the command prefix the frame was built with
//   rendered  the receive line as rendered (leading blank, spaced tokens)
// The frame is recognised as one of the nine queries only when it is exactly
// prefix + query + carriage return, case-sensitively; the reply itself is not
// checked against the query. Queries are tried in the order
//   CR0 power state, CR1 input source, CR4 picture orientation,
//   CR3 lamp hours, CR6 temperatures, CRA mute state, CR9 whole reply,
//   CR PRESSURE air pressure, CR7 lamp mode.
// Returns the status line, or nothing when the frame is no status query or
// the reply matches no row (the status line then keeps what it showed).
struct StatusLine
{
    QString text;
    // The air pressure in hPa, for a "CR PRESSURE" reply whose reading the
    // conversion can handle; none for any other (PressureOutOfRange shows).
    std::optional<qint16> pressure;
    bool operator==(const StatusLine&) const = default;
};
std::optional<StatusLine> decodeStatus(const QString& outgoing, const QString& prefix, const QString& rendered);

// The command code of a status query, as the decoder recognises its frame.
QLatin1String statusQueryCode(StatusQuery query);

// Status text of a pressure reply whose reading lies outside the range the
// conversion to hPa can handle (see pressureHpa()).
inline const QString PressureOutOfRange = QStringLiteral(" Pressure out of range");

} // namespace orva
