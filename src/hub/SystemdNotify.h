#pragma once

#include <QByteArray>

namespace orva::hub {

// Tells systemd how the service is doing ("READY=1", "STOPPING=1") through
// the datagram socket named by NOTIFY_SOCKET, as sd_notify() does; nothing
// without it. Returns whether the message was sent.
bool notifySystemd(const QByteArray& state);

} // namespace orva::hub
