// Figures of the panel on a network serial server: the panel on an RFC 2217
// line through a real ser2net (on 127.0.0.1) to a pseudo-terminal, each
// figure beside its floor and its target. Not a test: it prints. Run through
// scripts/bench.sh (Release build), or directly:
//
//   orva-net-bench [--quick]
//
// --quick runs each figure with tiny counts (a smoke run, figures
// meaningless).
#include "BenchSupport.h"
#include "BlackHole.h"
#include "PtyPair.h"
#include "Ser2NetProcess.h"

#include "engine/line/LineFactory.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace orva;
using namespace orva::bench;

namespace {

bool measurementFailed = false;

void cannotMeasure(const char* what)
{
    std::fprintf(stderr, "orva-net-bench: %s\n", what);
    measurementFailed = true;
}

// The window as the program runs it, on the line the programs make.
struct NetPanel
{
    explicit NetPanel(const PortNames& names)
        : line(makeLine())
        , engine(*line, clock, names)
        , form(engine, [this](QWidget*, const QString& text) { warnings.append(text); })
    {
        form.start();
        form.show();
    }
    QAbstractButton* button(const char* name) const { return form.control<QAbstractButton>(name); }
    void choose(const char* option) const
    {
        button("Command33")->click();
        button(option)->click();
    }

    QtClock clock;
    std::unique_ptr<SerialLine> line;
    PanelEngine engine;
    QStringList warnings;
    PanelWindow form;
};

// A socket of the test's own on the server's port: the bare write.
int connectTo(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The projector behind ser2net: a pseudo-terminal watched from a thread,
// answering every frame with an acknowledge.
struct Bench
{
    Bench()
        : ser2net(pty.devicePath())
        , watcher(pty.masterFd(), true)
    {
        started = pty.isValid() && ser2net.start();
        if (!started)
            cannotMeasure(qPrintable(QStringLiteral("ser2net did not start: ") + ser2net.error()));
    }
    PtyPair pty;
    Ser2NetProcess ser2net;
    LineWatcher watcher;
    bool started = false;
};

bool connected(NetPanel& panel, LineWatcher& watcher)
{
    // The line stands once a frame gets through.
    const std::size_t before = watcher.frameCount();
    panel.button("Command44")->click(); // STATUS
    return watcher.waitForFrames(before + 1, 10000);
}

void pressToLine(bool quick)
{
    const int presses = quick ? 20 : 1000;
    Bench b;
    if (!b.started)
        return;
    std::vector<double> press;
    {
        NetPanel panel({b.ser2net.rfc2217Address(), QString()});
        if (!connected(panel, b.watcher)) {
            cannotMeasure("the panel's line through ser2net carried no frame");
            return;
        }
        runEventsFor(600);
        QAbstractButton* on = panel.button("Command17"); // "ON" of POWER: C00
        for (int i = 0; i < presses; ++i) {
            const std::size_t before = b.watcher.frameCount();
            const TimePoint t0 = SteadyClock::now();
            QTest::mouseClick(on, Qt::LeftButton);
            if (!b.watcher.waitForFrames(before + 1, 2000)) {
                cannotMeasure("a press put no frame on the line");
                return;
            }
            press.push_back(msBetween(t0, b.watcher.frames()[before].at));
            runEventsFor(1);
        }
    } // the panel lets go of ser2net's one connection
    runEventsFor(300);

    // The floor: the same bytes by a bare write() on a socket to the same
    // ser2net port (plain data needs no Telnet of its own).
    std::vector<double> floor;
    const int fd = connectTo(b.ser2net.rfc2217Port());
    runEventsFor(300);
    for (int i = 0; i < presses && fd >= 0; ++i) {
        const std::size_t before = b.watcher.frameCount();
        const TimePoint t0 = SteadyClock::now();
        if (::write(fd, "C00\r", 4) != 4 || !b.watcher.waitForFrames(before + 1, 2000))
            break;
        floor.push_back(msBetween(t0, b.watcher.frames()[before].at));
        runEventsFor(1);
    }
    if (fd >= 0)
        ::close(fd);
    if (floor.size() != press.size()) {
        cannotMeasure("a bare socket write did not reach the far end");
        return;
    }
    const Summary p = summarize(press);
    const Summary f = summarize(floor);
    printRow(QStringLiteral("rfc2217 press to line, median (%1)").arg(p.count), ms(p.median),
        QStringLiteral("floor ") + ms(f.median), QStringLiteral("within 0.5 ms of floor"),
        verdict(p.median - f.median <= 0.5));
    printRow(QStringLiteral("rfc2217 press to line, p99"), ms(p.p99), QStringLiteral("floor ") + ms(f.p99), QString(),
        QString());
}

// The longest gap between ticks of a 1 ms timer from the port choice until
// the failure is told.
void connectStall(bool quick)
{
    const BlackHole hole;
    const struct
    {
        const char* what;
        QString address;
    } cases[] = {
        {"refusing", QStringLiteral("rfc2217://127.0.0.1:%1").arg(Ser2NetProcess::freePort())},
        {"dead", QStringLiteral("rfc2217://127.0.0.1:%1").arg(hole.port())},
    };
    for (const auto& c : cases) {
        NetPanel panel({QStringLiteral("/dev/null"), c.address});
        runEventsFor(200);
        double longest = 0;
        const int rounds = quick ? 1 : 5;
        for (int round = 0; round < rounds; ++round) {
            const qsizetype told = panel.warnings.size();
            TimePoint last = SteadyClock::now();
            QTimer ticker;
            ticker.setTimerType(Qt::PreciseTimer);
            QObject::connect(&ticker, &QTimer::timeout, [&] {
                const TimePoint now = SteadyClock::now();
                longest = std::max(longest, msBetween(last, now));
                last = now;
            });
            ticker.start(1);
            last = SteadyClock::now();
            panel.choose("Option2");
            QElapsedTimer patience;
            patience.start();
            while (panel.warnings.size() == told && patience.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            longest = std::max(longest, msBetween(last, SteadyClock::now())); // up to the warning
            if (panel.warnings.size() == told)
                cannotMeasure("a failed connection was not told");
        }
        printRow(QStringLiteral("stall connecting to a %1 port (%2x)").arg(QLatin1String(c.what)).arg(rounds),
            ms(longest, 2), QStringLiteral("1 ms timer"), QStringLiteral("under 20 ms"), verdict(longest < 20));
    }
}

void arrowRepeat(bool quick)
{
    Bench b;
    if (!b.started)
        return;
    NetPanel panel({b.ser2net.rfc2217Address(), QString()});
    if (!connected(panel, b.watcher)) {
        cannotMeasure("the panel's line through ser2net carried no frame");
        return;
    }
    // A "D.Zoom" press and release leaves the arrows repeating every 5 ms;
    // the arrow is held for whole periods and half a period more.
    QTest::mouseClick(panel.button("Command48"), Qt::LeftButton);
    runEventsFor(600);
    const int period = 5;
    const int whole = (quick ? 200 : 2000) / period;
    b.watcher.clear();
    QTest::mousePress(panel.button("Command5"), Qt::LeftButton);
    runEventsFor(whole * period + period / 2);
    QTest::mouseRelease(panel.button("Command5"), Qt::LeftButton);
    runEventsFor(500);
    std::size_t frames = 0;
    for (const LineWatcher::Frame& frame : b.watcher.frames())
        frames += frame.bytes == "C3C" ? 1 : 0;
    const auto ideal = std::size_t(whole) + 1;
    const double off = 100.0 * (double(frames) - double(ideal)) / double(ideal);
    printRow(QStringLiteral("rfc2217 arrow repeat %1 s: frames").arg(whole * period / 1000.0),
        QStringLiteral("%1 (%2%)").arg(frames).arg(off, 0, 'f', 1), QStringLiteral("ideal %1").arg(ideal),
        QStringLiteral("within 2% of ideal"), verdict(std::fabs(off) <= 2.0));
}

} // namespace

int main(int argc, char* argv[])
{
    QtEnvironment environment;
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption quickOption(QStringLiteral("quick"));
    parser.addOption(quickOption);
    if (const std::optional<int> status
        = readCommandLine(parser, app.arguments(), QStringLiteral("orva-net-bench [--quick]")))
        return *status;
    const bool quick = parser.isSet(quickOption);
    std::printf("ser2net %s; %d cores%s\n\n", qPrintable(Ser2NetProcess::program()), QThread::idealThreadCount(),
        quick ? ", quick run: figures are not meaningful" : "");
    printTableHeader();
    pressToLine(quick);
    connectStall(quick);
    arrowRepeat(quick);
    return measurementFailed ? 1 : 0;
}
