#include "SimOptions.h"
#include "SimulatorLoop.h"
#include "program/ProgramAnswer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr const char* Program = "orva-projector-sim";

int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
    errno = saved;
}

bool setUpSignals()
{
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    ::sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

// Makes path a symbolic link to target. An old symbolic link there is
// replaced (atomically); anything else is left alone and reported.
bool makeLink(const std::string& path, const std::string& target)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        std::fprintf(stderr, "%s: %s exists and is not a symbolic link; not replacing it\n", Program, path.c_str());
        return false;
    }
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "%s: cannot make the link %s: %s\n", Program, path.c_str(), std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Removes the link when it still points to our device (another simulator
// may have taken the name over since).
void removeLink(const std::string& path, const std::string& target)
{
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    if (n >= 0 && std::string(buf, std::size_t(n)) == target)
        ::unlink(path.c_str());
}

} // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string> arguments(argv, argv + argc);
    const orva::sim::ParsedOptions parsed = orva::sim::parseOptions(arguments);
    const std::string answer = parsed.action == orva::StartAction::Help ? orva::sim::helpText(Program) : parsed.message;
    if (const std::optional<int> status
        = orva::answerStart(parsed.action, QLatin1String(Program), QString::fromStdString(answer)))
        return *status;
    const orva::sim::SimOptions& options = parsed.options;

    if (!setUpSignals()) {
        std::fprintf(stderr, "%s: cannot set up signal handling: %s\n", Program, std::strerror(errno));
        return 1;
    }

    // Raw, 8N1 at 19200 baud: bytes pass unchanged both ways, no echo.
    termios tio{};
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&tio, B19200);
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, &tio, nullptr) != 0) {
        std::fprintf(stderr, "%s: cannot open a pseudo-terminal: %s\n", Program, std::strerror(errno));
        return 1;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const std::string device = name;

    if (!options.link.empty() && !makeLink(options.link, device)) {
        ::close(master);
        ::close(slave);
        return 1;
    }

    std::printf("%s\n", device.c_str());
    std::fflush(stdout);

    int status = 0;
    {
        orva::sim::SimulatorLoop loop(options, master, slave, stopPipe[0]);
        status = loop.run();
    }
    if (!options.link.empty())
        removeLink(options.link, device);
    return status;
}
