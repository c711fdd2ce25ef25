#include "program/StopSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace orva {

namespace {

// The pipe from the handler to the event loop, and how many signals came.
// Plain integers: the handler may read them at any moment.
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_count = 0;

constexpr std::array<int, 3> Handled = {SIGTERM, SIGINT, SIGHUP};
std::array<struct sigaction, Handled.size()> g_previous{};
std::array<bool, Handled.size()> g_installed{};

extern "C" void onStopSignal(int signalNumber)
{
    if (g_count > 0) {
        // Asked again while ending: end now, as the signal itself would.
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    g_count = 1;
    const int saved = errno;
    const char byte = char(signalNumber);
    (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

QString StopSignals::name(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signalNumber);
    }
}

StopSignals::StopSignals(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent)
{
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // another instance has them, or no pipe: signals keep their default action
    g_count = 0;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopSignals::onReadable);

    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : signalNumbers) {
        for (std::size_t i = 0; i < Handled.size(); ++i) {
            if (Handled[i] == number && !g_installed[i])
                g_installed[i] = ::sigaction(number, &action, &g_previous[i]) == 0;
        }
    }
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < Handled.size(); ++i) {
        if (g_installed[i])
            ::sigaction(Handled[i], &g_previous[i], nullptr);
        g_installed[i] = false;
    }
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void StopSignals::onReadable()
{
    char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        if (!m_told) {
            m_told = true;
            Q_EMIT received(int(byte));
        }
    }
}

} // namespace orva
