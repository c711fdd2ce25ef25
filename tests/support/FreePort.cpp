#include "FreePort.h"

#include <QSet>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orva {

namespace {

quint16 anyFreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    // The wildcard address: the system then hands out a port that no socket
    // holds on any address, not only on 127.0.0.1 (tests also listen on
    // 127.0.0.2 and 127.0.0.3, where a client's own end may hold the port).
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

} // namespace

quint16 freePort()
{
    static QSet<quint16> given;
    for (int tries = 0; tries < 1000; ++tries) {
        const quint16 port = anyFreePort();
        if (port == 0)
            return 0;
        if (!given.contains(port)) {
            given.insert(port);
            return port;
        }
    }
    return 0;
}

} // namespace orva
