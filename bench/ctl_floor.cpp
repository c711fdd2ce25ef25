// The floor of one status query from a script: a bare program that opens
// the line, sets it raw at 19200 baud, writes the frame and reads to the
// carriage return, with nothing but the C library.
//   orva-ctl-floor DEVICE [CODE]     exit 0 on a reply, 1 otherwise
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc < 2)
        return 2;
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return 1;
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B19200);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    const std::string frame = std::string(argc > 2 ? argv[2] : "CR0") + '\r';
    if (::write(fd, frame.data(), frame.size()) != ssize_t(frame.size()))
        return 1;
    char buffer[256];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0)
            return 1;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return 1;
        if (std::memchr(buffer, '\r', std::size_t(n)))
            break;
    }
    ::close(fd);
    return 0;
}
