#pragma once

#include <QtGlobal>

namespace orva {

// A TCP port on 127.0.0.1 that nothing listens on now and that this
// process has not been given before: the system chooses it (a listening
// socket on port 0, closed again), and one it gave already is asked again,
// since a port closed at once is often the next one handed out. 0 when
// none can be had.
quint16 freePort();

} // namespace orva
