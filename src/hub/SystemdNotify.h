#pragma once

#include <QByteArray>

namespace orva::hub {

// Tells systemd how the service is doing ("READY=1", "STOPPING=1") through
// the datagram socket named by NOTIFY_SOCKET, as sd_notify() does; nothing
// without it. Returns whether the message was sent.
bool notifySystemd(const QByteArray& state);

// "RELOADING=1" with the time it began on the monotonic clock
// (MONOTONIC_USEC), as systemd 253 and later want it; earlier ones ignore
// the time. "READY=1" ends the reload.
bool notifySystemdReloading();

} // namespace orva::hub
