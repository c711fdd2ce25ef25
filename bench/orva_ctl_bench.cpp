// Figures of orva-ctl on this machine, each beside its floor or reference
// and its target. Not a test: it prints, it does not judge a build.
//
//   orva-ctl-bench [--quick]
//
//  - one status query through the simulated projector, from the start of
//    the process to its exit, beside a bare program doing the same round
//    trip (open, write, read to the carriage return);
//  - 32 simulated projectors at once, beside one;
//  - a projector that never answers: the exit after the timeout.
// --quick runs each a few times with fewer projectors (a smoke run,
// figures meaningless).
#include "BenchSupport.h"
#include "SimulatorProcess.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace orva;
using namespace orva::bench;

namespace {

bool measurementFailed = false;

// Runs a program to its end with its output thrown away: the time from
// its start to its exit, or -1 when it did not end with the status asked.
double timedRun(const QStringList& command, int expectedStatus = 0)
{
    std::vector<QByteArray> args;
    args.reserve(std::size_t(command.size()));
    for (const QString& arg : command)
        args.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const TimePoint t0 = SteadyClock::now();
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (failed != 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    const double elapsed = msBetween(t0, SteadyClock::now());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus) {
        std::fprintf(stderr, "orva-ctl-bench: %s ended with %d\n", qPrintable(command.join(u' ')), status);
        return -1;
    }
    return elapsed;
}

QStringList ctl(const QStringList& ports, const QString& action, const QStringList& options = {})
{
    QStringList command = QStringList{QStringLiteral(ORVA_CTL_PATH)} + options;
    for (const QString& port : ports)
        command << QStringLiteral("--port") << port;
    return command << action;
}

// What the lock file costs that the serial layer (QSerialPort) makes and
// removes around each opening of a device: create, write, fdatasync,
// unlink, in the folder it uses. Where that folder is on a disk rather than
// in memory (/run on tmpfs), this is a good part of a run. -1 when the
// folder cannot be written.
double lockFileMs()
{
    const QByteArray path = "/var/lock/LCK..orva-ctl-bench";
    const TimePoint t0 = SteadyClock::now();
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    const bool written = ::write(fd, "0\n", 2) == 2 && ::fdatasync(fd) == 0;
    ::close(fd);
    ::unlink(path.constData());
    return written ? msBetween(t0, SteadyClock::now()) : -1;
}

void oneStatus(bool quick)
{
    SimulatorProcess sim;
    if (!sim.start()) {
        measurementFailed = true;
        return;
    }
    const int runs = quick ? 3 : 60;
    std::vector<double> tool, bare, loading, locks;
    for (int i = 0; i < runs + 3; ++i) {
        // Interleaved, so that all see the same load; the first few warm
        // the caches and are not counted.
        const double t = timedRun(ctl({sim.device()}, QStringLiteral("status")));
        const double b = timedRun({QStringLiteral(ORVA_CTL_FLOOR_PATH), sim.device()});
        const double l = timedRun({QStringLiteral(ORVA_CTL_PATH), QStringLiteral("--version")});
        if (t < 0 || b < 0 || l < 0) {
            measurementFailed = true;
            return;
        }
        if (i >= 3) {
            tool.push_back(t);
            bare.push_back(b);
            loading.push_back(l);
            if (const double k = lockFileMs(); k >= 0)
                locks.push_back(k);
        }
    }
    const Summary t = summarize(tool), b = summarize(bare), l = summarize(loading);
    printRow(QStringLiteral("status, process start to exit, median of %1").arg(runs),
        ms(t.median, 2) + QStringLiteral(" (+%1)").arg(ms(t.median - b.median, 2)),
        QStringLiteral("bare program ") + ms(b.median, 2), QStringLiteral("within 5 ms of floor"),
        verdict(t.median - b.median <= 5.0));
    printRow(QStringLiteral("status, process start to exit, 99th percentile"), ms(t.p99, 2),
        QStringLiteral("bare program ") + ms(b.p99, 2), QString(), QString());
    // What the libraries cost before any line is touched.
    printRow(QStringLiteral("orva-ctl --version, start to exit, median"), ms(l.median, 2),
        QStringLiteral("bare program ") + ms(b.median, 2), QString(), QString());
    if (!locks.empty())
        printRow(QStringLiteral("serial layer's lock file, create to unlink, median"), ms(summarize(locks).median, 2),
            QStringLiteral("part of each opening"), QString(), QString());
}

void room(bool quick)
{
    const int count = quick ? 4 : 32;
    const int runs = quick ? 2 : 15;
    std::vector<std::unique_ptr<SimulatorProcess>> sims;
    QStringList ports;
    for (int i = 0; i < count; ++i) {
        sims.push_back(std::make_unique<SimulatorProcess>());
        if (!sims.back()->start()) {
            measurementFailed = true;
            return;
        }
        ports.append(sims.back()->device());
    }
    std::vector<double> all, one;
    for (int i = 0; i < runs + 1; ++i) {
        const double a = timedRun(ctl(ports, QStringLiteral("status")));
        const double o = timedRun(ctl({ports.first()}, QStringLiteral("status")));
        if (a < 0 || o < 0) {
            measurementFailed = true;
            return;
        }
        if (i >= 1) {
            all.push_back(a);
            one.push_back(o);
        }
    }
    const Summary a = summarize(all), o = summarize(one);
    const double ratio = a.median / o.median;
    printRow(QStringLiteral("%1 projectors at once, wall time, median of %2").arg(count).arg(runs),
        ms(a.median, 2) + QStringLiteral(" (x%1)").arg(ratio, 0, 'f', 2), QStringLiteral("one ") + ms(o.median, 2),
        QStringLiteral("within 2x of one"), verdict(ratio <= 2.0));
}

void silent(bool quick)
{
    SimulatorProcess sim({QStringLiteral("--silent")});
    if (!sim.start()) {
        measurementFailed = true;
        return;
    }
    const int timeout = 500;
    std::vector<double> waits;
    for (int i = 0; i < (quick ? 1 : 5); ++i) {
        const double w = timedRun(
            ctl({sim.device()}, QStringLiteral("status"), {QStringLiteral("--timeout"), QString::number(timeout)}), 1);
        if (w < 0) {
            measurementFailed = true;
            return;
        }
        waits.push_back(w);
    }
    const Summary s = summarize(waits);
    printRow(QStringLiteral("silent projector, start to exit 1, worst of %1").arg(waits.size()), ms(s.worst, 1),
        QStringLiteral("timeout %1").arg(ms(timeout, 0)), QStringLiteral("within timeout + 200 ms"),
        verdict(s.worst <= timeout + 200));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption quickOption(QStringLiteral("quick"));
    parser.addOption(quickOption);
    if (const std::optional<int> status
        = readCommandLine(parser, app.arguments(), QStringLiteral("orva-ctl-bench [--quick]")))
        return *status;
    const bool quick = parser.isSet(quickOption);
    std::printf("orva-ctl, %d cores%s\n\n", QThread::idealThreadCount(),
        quick ? ", quick run: figures are not meaningful" : "");
    printTableHeader();
    oneStatus(quick);
    room(quick);
    silent(quick);
    if (measurementFailed)
        std::fprintf(stderr, "orva-ctl-bench: a figure could not be measured\n");
    return measurementFailed ? 1 : 0;
}
