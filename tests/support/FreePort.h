#pragma once

#include <QtGlobal>

namespace orva {

// A TCP port that no socket holds now on any address (127.0.0.1, 127.0.0.2
// ...) and that this process has not been given before: the system chooses
// it (a socket bound to port 0 of the wildcard address, closed again), and
// one it gave already is asked again,
// since a port closed at once is often the next one handed out. 0 when
// none can be had.
quint16 freePort();

} // namespace orva
