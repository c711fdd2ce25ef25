#include "hub/ReloadSignal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace orva::hub {

namespace {

// The pipe from the handler to the event loop: a plain integer the handler
// may read at any moment.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous
{
};

extern "C" void onHangUp(int)
{
    const int saved = errno;
    const char byte = 1;
    (void)!::write(g_pipe[1], &byte, 1); // a full pipe already holds a reload
    errno = saved;
}

} // namespace

ReloadSignal::ReloadSignal(QObject* parent)
    : QObject(parent)
{
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // another instance has it, or no pipe: SIGHUP keeps its action
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &ReloadSignal::onReadable);
    struct sigaction action = {};
    action.sa_handler = onHangUp;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGHUP, &action, &g_previous);
}

ReloadSignal::~ReloadSignal()
{
    if (!m_notifier)
        return;
    ::sigaction(SIGHUP, &g_previous, nullptr);
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void ReloadSignal::onReadable()
{
    char bytes[64];
    bool any = false;
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0)
        any = true;
    if (any)
        Q_EMIT received();
}

} // namespace orva::hub
