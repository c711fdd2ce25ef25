#include "hub/SystemdNotify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

namespace orva::hub {

bool notifySystemd(const QByteArray& state)
{
    const QByteArray path = qgetenv("NOTIFY_SOCKET");
    sockaddr_un address{};
    if (path.isEmpty() || std::size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    if (path.at(0) != '/' && path.at(0) != '@')
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    if (path.at(0) == '@')
        address.sun_path[0] = '\0'; // an abstract socket
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(path.size()));
    const bool sent = ::sendto(fd, state.constData(), std::size_t(state.size()), MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&address), length)
        == state.size();
    ::close(fd);
    return sent;
}

bool notifySystemdReloading()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const qint64 usec = qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
    return notifySystemd("RELOADING=1\nMONOTONIC_USEC=" + QByteArray::number(usec));
}

} // namespace orva::hub
