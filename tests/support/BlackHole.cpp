#include "BlackHole.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orva {

BlackHole::BlackHole()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    m_fds[0] = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::bind(m_fds[0], reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_fds[0], 0) != 0)
        return;
    ::getsockname(m_fds[0], reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    for (int i = 1; i < 3; ++i) { // fill the queue
        m_fds[i] = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        (void)::connect(m_fds[i], reinterpret_cast<sockaddr*>(&address), length); // in progress
    }
}

BlackHole::~BlackHole()
{
    for (const int fd : m_fds)
        if (fd >= 0)
            ::close(fd);
}

} // namespace orva
