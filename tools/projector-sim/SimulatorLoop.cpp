#include "SimulatorLoop.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orva::sim {

namespace {

// Unsolicited characters are produced only while fewer than this many bytes
// wait for the line; beyond it they are lost.
constexpr std::size_t PendingLimit = 4096;
// After the last reply before a hang-up: how long the far end gets to read
// it at least, and at most.
constexpr std::int64_t HangUpSettleMs = 50;
constexpr std::int64_t HangUpMaxWaitMs = 2000;

std::string printable(const std::string& bytes)
{
    std::string out;
    for (const unsigned char c : bytes) {
        if (c == 6) {
            out += "<ACK>";
        } else if (c == '\r') {
            out += "<CR>";
        } else if (c < 32 || c > 126) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "<%02X>", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out;
}

} // namespace

SimulatorLoop::SimulatorLoop(const SimOptions& options, int master, int slave, int stopFd)
    : m_options(options)
    , m_master(master)
    , m_slave(slave)
    , m_stopFd(stopFd)
    , m_start(std::chrono::steady_clock::now())
    , m_model(options.model, [this] { return now(); })
    , m_shaper(options.faults, 0)
{
}

SimulatorLoop::~SimulatorLoop()
{
    closeLine();
}

void SimulatorLoop::closeLine()
{
    for (int* fd : {&m_master, &m_slave}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

std::int64_t SimulatorLoop::now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start).count();
}

int SimulatorLoop::run()
{
    for (;;) {
        const std::int64_t t = now();
        while (!m_scheduled.empty() && m_scheduled.front().dueMs <= t) {
            m_pending += m_scheduled.front().bytes;
            m_scheduled.pop_front();
            m_lastActivity = t;
        }
        // The unsolicited stream stops once the line is about to hang up.
        if (m_pending.size() < PendingLimit && !m_hangUpArmed)
            m_pending += m_shaper.streamDue(t, PendingLimit - m_pending.size());
        if (!flush())
            return 1;

        if (hangUpDue(t)) {
            closeLine();
            std::fprintf(stderr, "orva-projector-sim: hung up after %d frames\n", m_frames);
            return 0;
        }

        pollfd fds[2] = {
            {m_master, short(POLLIN | (m_pending.empty() ? 0 : POLLOUT)), 0},
            {m_stopFd, POLLIN, 0},
        };
        const int ready = ::poll(fds, 2, pollTimeout(t));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("orva-projector-sim: poll");
            return 1;
        }
        if (fds[1].revents & POLLIN)
            return 0;
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) && !readLine())
            return 1;
    }
}

bool SimulatorLoop::readLine()
{
    char buf[4096];
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (n <= 0) {
        std::fprintf(stderr, "orva-projector-sim: line failed: %s\n", n < 0 ? std::strerror(errno) : "end of file");
        return false;
    }
    // After the last frame before a hang-up, further input is ignored.
    if (m_hangUpArmed)
        return true;
    for (const std::string& frame : m_reader.feed(std::string_view(buf, std::size_t(n)))) {
        answer(frame);
        if (m_hangUpArmed)
            break;
    }
    return true;
}

void SimulatorLoop::answer(const std::string& frame)
{
    ++m_frames;
    const std::string reply = m_model.answer(frame);
    if (m_options.verbose) {
        log("<-", frame + '\r');
        log(m_options.faults.silent ? "-- (silent)" : "->", reply);
    }
    for (Piece& piece : m_shaper.shape(reply, now()))
        m_scheduled.push_back(std::move(piece));
    if (m_options.faults.hangupAfter > 0 && m_frames >= m_options.faults.hangupAfter)
        m_hangUpArmed = true;
}

bool SimulatorLoop::flush()
{
    while (!m_pending.empty()) {
        const ssize_t n = ::write(m_master, m_pending.data(), m_pending.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (n <= 0) {
            std::fprintf(stderr, "orva-projector-sim: write failed: %s\n", std::strerror(errno));
            return false;
        }
        m_pending.erase(0, std::size_t(n));
        m_lastActivity = now();
    }
    return true;
}

bool SimulatorLoop::hangUpDue(std::int64_t t) const
{
    if (!m_hangUpArmed || !m_scheduled.empty())
        return false;
    // Give the far end the chance to read the last reply: a hang-up throws
    // away what it has not read yet. A far end that reads nothing gets a
    // limited wait.
    const std::int64_t since = t - m_lastActivity;
    if (since >= HangUpMaxWaitMs)
        return true;
    int unread = 0;
    return m_pending.empty() && since >= HangUpSettleMs && ::ioctl(m_slave, FIONREAD, &unread) == 0 && unread == 0;
}

int SimulatorLoop::pollTimeout(std::int64_t t) const
{
    std::int64_t wait = -1;
    auto consider = [&wait, t](std::int64_t due) {
        const std::int64_t ms = std::max<std::int64_t>(0, due - t);
        wait = wait < 0 ? ms : std::min(wait, ms);
    };
    if (!m_scheduled.empty())
        consider(m_scheduled.front().dueMs);
    if (m_pending.size() < PendingLimit && !m_hangUpArmed && m_shaper.nextStreamDue() >= 0)
        consider(std::max(m_shaper.nextStreamDue(), t + 1));
    if (m_hangUpArmed)
        consider(t + 10);
    return wait < 0 ? -1 : int(std::min<std::int64_t>(wait, 60'000));
}

void SimulatorLoop::log(const char* direction, const std::string& bytes) const
{
    std::fprintf(stderr, "%8.3f %s %s\n", double(now()) / 1000.0, direction, printable(bytes).c_str());
}

} // namespace orva::sim
