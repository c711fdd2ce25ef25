#pragma once

#include "SimulatorProcess.h"
#include "engine/line/QtSerialLine.h"
#include "engine/timing/QtClock.h"
#include "panel/PanelEngine.h"
#include "window/PanelWindow.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class QAbstractButton;

namespace orva::bench {

using SteadyClock = std::chrono::steady_clock;
using TimePoint = SteadyClock::time_point;

inline double msBetween(TimePoint from, TimePoint to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Order statistics of a set of samples (milliseconds unless said).
struct Summary
{
    std::size_t count = 0;
    double median = 0;
    double p99 = 0;
    double worst = 0;
    double mean = 0;
};
Summary summarize(std::vector<double> samples);

// The result table: one row per figure, with its reference and target.
void printTableHeader();
// verdict: "met", "MISSED" or "" when the figure has no target.
void printRow(const QString& figure, const QString& measured, const QString& reference, const QString& target,
    const QString& verdict);
QString verdict(bool met);
QString ms(double value, int decimals = 3);

// Reads a benchmark's command line as every program of the system reads
// its own: -h/--help prints the usage, -v/--version the version (exit 0);
// an unknown option, a missing value or more than maxWords positional words
// prints the reason and the usage on standard error (exit 2). The parser
// holds the benchmark's own options; usage is its synopsis, beginning with
// the program's name. Returns the status to exit with at once, or nothing
// when the benchmark is to run.
std::optional<int> readCommandLine(
    QCommandLineParser& parser, const QStringList& arguments, const QString& usage, qsizetype maxWords = 0);

// Watches the projector's side of a pseudo-terminal from a thread of its
// own: every frame (bytes up to a carriage return) is stamped with the time
// its last byte could be read. Optionally answers each frame at once with
// an acknowledge, as a quick projector would. The thread asks for real-time
// priority, so that on a busy machine the stamps measure the panel rather
// than the watcher's own turn on a processor; where that is refused it runs
// as an ordinary thread.
class LineWatcher
{
public:
    struct Frame
    {
        TimePoint at;
        QByteArray bytes; // without the carriage return
    };

    LineWatcher(int masterFd, bool acknowledge);
    ~LineWatcher();
    LineWatcher(const LineWatcher&) = delete;
    LineWatcher& operator=(const LineWatcher&) = delete;

    std::size_t frameCount() const;
    std::vector<Frame> frames() const;
    // Whether the watcher got real-time priority (known once it has started).
    bool realTime() const { return m_realTime.load(); }
    void clear();

    // Runs the window thread's event loop until at least count frames have
    // arrived or timeoutMs has passed. Returns whether they arrived.
    bool waitForFrames(std::size_t count, int timeoutMs);

private:
    void run();

    int m_fd;
    bool m_acknowledge;
    int m_stopPipe[2] = {-1, -1};
    std::atomic<bool> m_realTime{false};
    mutable std::mutex m_mutex;
    std::vector<Frame> m_frames;
    QByteArray m_partial;
    std::thread m_thread;
};

// The real window as the program runs it: event-loop timers (QtClock) and
// the serial line on a device (QtSerialLine), started and shown. Warnings are
// kept instead of shown.
struct LivePanel
{
    // openData: also open the data panel (as the logo double-click does),
    // so that the display lines are in view.
    LivePanel(const QString& device, bool openData);
    ~LivePanel();

    QAbstractButton* button(const char* name) const;

    QtClock clock;
    QtSerialLine line;
    PanelEngine engine;
    QStringList warnings;
    PanelWindow form;
};

// Before the application is made: the offscreen platform unless another is
// asked for, and a private runtime folder for Qt (removed again at the end)
// unless one is set. The programs started from here inherit both.
class QtEnvironment
{
public:
    QtEnvironment();
    ~QtEnvironment();
    QtEnvironment(const QtEnvironment&) = delete;
    QtEnvironment& operator=(const QtEnvironment&) = delete;

private:
    char m_runtime[32] = "/tmp/orva-bench-XXXXXX";
    bool m_own = false;
};

// Runs the event loop for ms milliseconds.
void runEventsFor(int ms);
// Resident set size and its peak, from /proc/self/status, in kB.
std::int64_t residentKb();
std::int64_t peakResidentKb();
// CPU time (user + system) used by this process so far, in seconds.
double cpuSeconds();

// A child process with its standard output on a pipe. Standard error goes
// to errorFile (created or emptied), or to /dev/null when none is given.
struct Child
{
    long pid = -1;   // -1: it could not be started
    int output = -1; // read end of its standard output; the caller closes it
};
Child spawnChild(const std::vector<QByteArray>& argv, const QByteArray& errorFile = QByteArray());

} // namespace orva::bench
