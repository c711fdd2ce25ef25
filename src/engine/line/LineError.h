#pragma once

#include <QLatin1String>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

namespace orva {

// What went wrong with a line, as a kind that programs decide on, beside the
// system's own description for people. Code reads the kind; the text is
// only ever shown.
enum class LineErrorKind : quint8 {
    NoSuchDevice,      // the device path names nothing
    PermissionDenied,  // the device exists but may not be opened by this user
    InUse,             // another program holds the device
    ConnectionRefused, // nobody listens at the network address
    HostNotFound,      // the host name does not resolve
    NoAnswer,          // the far end did not answer in time (connection or reply)
    Lost,              // the device or the connection went away while open
    WriteFailed,       // bytes accepted for the line could not be written
    Other,             // anything else the system reports
};

struct LineError
{
    LineErrorKind kind = LineErrorKind::Other;
    QString text; // the system's description, naming the line
};

// The kind as programs print it: "no-such-device", "permission-denied",
// "in-use", "connection-refused", "host-not-found", "no-answer", "lost",
// "write-failed", "other".
constexpr QLatin1String lineErrorKindName(LineErrorKind kind)
{
    switch (kind) {
    case LineErrorKind::NoSuchDevice:
        return QLatin1String("no-such-device");
    case LineErrorKind::PermissionDenied:
        return QLatin1String("permission-denied");
    case LineErrorKind::InUse:
        return QLatin1String("in-use");
    case LineErrorKind::ConnectionRefused:
        return QLatin1String("connection-refused");
    case LineErrorKind::HostNotFound:
        return QLatin1String("host-not-found");
    case LineErrorKind::NoAnswer:
        return QLatin1String("no-answer");
    case LineErrorKind::Lost:
        return QLatin1String("lost");
    case LineErrorKind::WriteFailed:
        return QLatin1String("write-failed");
    case LineErrorKind::Other:
        break;
    }
    return QLatin1String("other");
}

} // namespace orva

Q_DECLARE_METATYPE(orva::LineError)
