#pragma once

#include <QtGlobal>

namespace orva {

// A listening socket on 127.0.0.1 whose queue is full: connections to it
// are neither accepted nor refused, as at a host that has vanished. port()
// is 0 when the socket could not be set up.
class BlackHole
{
public:
    BlackHole();
    ~BlackHole();
    BlackHole(const BlackHole&) = delete;
    BlackHole& operator=(const BlackHole&) = delete;

    quint16 port() const { return m_port; }

private:
    int m_fds[3] = {-1, -1, -1};
    quint16 m_port = 0;
};

} // namespace orva
