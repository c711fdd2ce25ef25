#include "BenchSupport.h"

#include "orva/Version.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orva::bench {

Summary summarize(std::vector<double> samples)
{
    Summary s;
    s.count = samples.size();
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    // Nearest-rank percentiles.
    auto rank = [&](double p) {
        const auto k = std::size_t(std::ceil(p * double(samples.size())));
        return samples[std::clamp<std::size_t>(k, 1, samples.size()) - 1];
    };
    s.median = rank(0.5);
    s.p99 = rank(0.99);
    s.worst = samples.back();
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / double(samples.size());
    return s;
}

namespace {
constexpr int FigureWidth = 54;
constexpr int MeasuredWidth = 30;
constexpr int ReferenceWidth = 30;
constexpr int TargetWidth = 26;
} // namespace

void printTableHeader()
{
    printRow(QStringLiteral("figure"), QStringLiteral("measured"), QStringLiteral("reference"),
        QStringLiteral("target"), QStringLiteral("verdict"));
    std::printf(
        "%s\n", QString(FigureWidth + MeasuredWidth + ReferenceWidth + TargetWidth + 8, u'-').toUtf8().constData());
}

void printRow(const QString& figure, const QString& measured, const QString& reference, const QString& target,
    const QString& verdict)
{
    std::printf("%-*s %-*s %-*s %-*s %s\n", FigureWidth, qPrintable(figure), MeasuredWidth, qPrintable(measured),
        ReferenceWidth, qPrintable(reference), TargetWidth, qPrintable(target), qPrintable(verdict));
    std::fflush(stdout);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

QString ms(double value, int decimals)
{
    return QString::number(value, 'f', decimals) + QStringLiteral(" ms");
}

std::optional<int> readCommandLine(
    QCommandLineParser& parser, const QStringList& arguments, const QString& usage, qsizetype maxWords)
{
    const QString program = usage.section(QLatin1Char(' '), 0, 0);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({help, version});
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help)) {
        std::printf("usage: %s\n", qPrintable(usage));
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(program), VersionText);
        return 0;
    }
    QString reason;
    if (!parsed)
        reason = parser.errorText();
    else if (const QStringList words = parser.positionalArguments(); words.size() > maxWords)
        reason = QStringLiteral("unexpected argument '%1'").arg(words.at(maxWords));
    if (reason.isEmpty())
        return std::nullopt;
    std::fprintf(stderr, "%s: %s\nusage: %s\n", qPrintable(program), qPrintable(reason), qPrintable(usage));
    return 2;
}

// --- LineWatcher ---------------------------------------------------------

LineWatcher::LineWatcher(int masterFd, bool acknowledge)
    : m_fd(masterFd)
    , m_acknowledge(acknowledge)
{
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        std::perror("pipe2");
    m_thread = std::thread([this] { run(); });
}

LineWatcher::~LineWatcher()
{
    const char stop = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_stopPipe[1], &stop, 1);
    m_thread.join();
    ::close(m_stopPipe[0]);
    ::close(m_stopPipe[1]);
}

void LineWatcher::run()
{
    sched_param priority{};
    priority.sched_priority = sched_get_priority_min(SCHED_FIFO);
    m_realTime = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority) == 0;
    auto* dispatcher = QAbstractEventDispatcher::instance(QCoreApplication::instance()->thread());
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR)) // no panel on the line right now
                ::poll(nullptr, 0, 5);
            continue;
        }
        char buf[4096];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        const TimePoint now = SteadyClock::now();
        if (n <= 0)
            continue;
        int framesEnded = 0;
        {
            std::lock_guard lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == '\r') {
                    m_frames.push_back({now, m_partial});
                    m_partial.clear();
                    ++framesEnded;
                } else {
                    m_partial.append(buf[i]);
                }
            }
        }
        if (m_acknowledge) {
            const QByteArray acks(framesEnded, '\x06');
            if (!acks.isEmpty()) [[maybe_unused]]
                const ssize_t w = ::write(m_fd, acks.constData(), size_t(acks.size()));
        }
        if (framesEnded > 0 && dispatcher)
            dispatcher->wakeUp();
    }
}

std::size_t LineWatcher::frameCount() const
{
    std::lock_guard lock(m_mutex);
    return m_frames.size();
}

std::vector<LineWatcher::Frame> LineWatcher::frames() const
{
    std::lock_guard lock(m_mutex);
    return m_frames;
}

void LineWatcher::clear()
{
    std::lock_guard lock(m_mutex);
    m_frames.clear();
}

bool LineWatcher::waitForFrames(std::size_t count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    bool expired = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&expired] { expired = true; });
    guard.start(timeoutMs);
    while (frameCount() < count && !expired && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return frameCount() >= count;
}

// --- LivePanel -----------------------------------------------------------

namespace {
PortNames portsFor(const QString& device)
{
    PortNames names = PortNames::platformDefaults();
    names.com1 = device;
    return names;
}
} // namespace

LivePanel::LivePanel(const QString& device, bool openData)
    : engine(line, clock, portsFor(device))
    , form(engine, [this](QWidget*, const QString& text) { warnings.append(text); })
{
    form.start();
    if (openData) {
        // The hidden key chord, then the logo double-click: the data and
        // extension bands are in view.
        QTest::keyClick(form.focusWidget() ? form.focusWidget() : &form, Qt::Key_K, Qt::ControlModifier);
        QTest::mouseDClick(form.control("Image1"), Qt::LeftButton);
    }
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        std::fprintf(stderr, "the window was not exposed\n");
    if (!warnings.isEmpty())
        std::fprintf(stderr, "start-up warning: %s\n", qPrintable(warnings.join(QLatin1Char('\n'))));
}

LivePanel::~LivePanel() = default;

QAbstractButton* LivePanel::button(const char* name) const
{
    return form.control<QAbstractButton>(name);
}

// --- process figures -----------------------------------------------------

QtEnvironment::QtEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && ::mkdtemp(m_runtime)) {
        m_own = true;
        qputenv("XDG_RUNTIME_DIR", m_runtime);
    }
}

QtEnvironment::~QtEnvironment()
{
    if (m_own)
        ::rmdir(m_runtime);
}

void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

namespace {
std::int64_t statusField(const char* name)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}
} // namespace

std::int64_t residentKb()
{
    return statusField("VmRSS");
}

std::int64_t peakResidentKb()
{
    return statusField("VmHWM");
}

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Child spawnChild(const std::vector<QByteArray>& argv, const QByteArray& errorFile)
{
    Child child;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const QByteArray log = errorFile.isEmpty() ? QByteArray("/dev/null") : errorFile;
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    std::vector<QByteArray> args = argv;
    std::vector<char*> pointers;
    pointers.reserve(args.size() + 1);
    for (QByteArray& arg : args)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (failed != 0) {
        ::close(out[0]);
        return child;
    }
    child.pid = pid;
    child.output = out[0];
    return child;
}

} // namespace orva::bench
