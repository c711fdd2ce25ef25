// Figures of the panel's speed on this machine, each beside its floor or
// reference and its target. Not a test: it prints, it does not judge a
// build. Run through scripts/bench.sh (Release build), or directly:
//
//   orva-bench [--quick] [FIGURE...]
//
// FIGURE is one of press, repeat, notify, stream, startup, idle (default:
// all). --quick runs each with tiny counts (a smoke run, figures
// meaningless); --stream-seconds N and --hold-seconds N shorten the stream
// and the VOL hold.
#include "BenchSupport.h"
#include "PanelFixture.h"
#include "PtyPair.h"

#include "engine/protocol/Frame.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"
#include "window/Layout.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <limits>
#include <map>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace orva;
using namespace orva::bench;

namespace {

// Set when a figure could not be measured at all (nothing reached the line,
// a program did not start); the run then ends with status 1.
bool measurementFailed = false;

void cannotMeasure(const char* what)
{
    std::fprintf(stderr, "orva-bench: %s\n", what);
    measurementFailed = true;
}

struct Options
{
    bool quick = false;
    int streamSeconds = 60;
    int holdSeconds = 10;
};

// Says how the far end was watched: stamps taken by an ordinary thread on a
// busy machine can arrive late and make the panel look worse than it is.
void printWatcher(const QString& what, const LineWatcher& watcher)
{
    printRow(what + QStringLiteral(": far-end watcher"),
        watcher.realTime() ? QStringLiteral("real-time priority") : QStringLiteral("ordinary priority"), QString(),
        QString(), QString());
}

// --- press to line -------------------------------------------------------

void pressToLine(const Options& o)
{
    const int presses = o.quick ? 20 : 1000;
    PtyPair pty;
    LineWatcher watcher(pty.masterFd(), true);
    // The floor's own descriptor on the line, opened before the panel takes
    // the device for itself.
    const int fd = ::open(pty.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    LivePanel panel(pty.devicePath(), false);
    QAbstractButton* on = panel.button("Command17"); // "ON" of POWER: C00
    runEventsFor(100);

    // A click on the real button, until the frame's carriage return can be
    // read at the projector's end.
    std::vector<double> press;
    for (int i = 0; i < presses; ++i) {
        const std::size_t before = watcher.frameCount();
        const TimePoint t0 = SteadyClock::now();
        QTest::mouseClick(on, Qt::LeftButton);
        if (!watcher.waitForFrames(before + 1, 2000)) {
            cannotMeasure("a press put no frame on the line");
            if (fd >= 0)
                ::close(fd);
            return;
        }
        press.push_back(msBetween(t0, watcher.frames()[before].at));
        runEventsFor(1); // the acknowledge comes back and is shown
    }

    // The floor: the same bytes by a bare write() to the same line.
    std::vector<double> floor;
    for (int i = 0; i < presses && fd >= 0; ++i) {
        const std::size_t before = watcher.frameCount();
        const TimePoint t0 = SteadyClock::now();
        if (::write(fd, "C00\r", 4) != 4 || !watcher.waitForFrames(before + 1, 2000))
            break;
        floor.push_back(msBetween(t0, watcher.frames()[before].at));
        runEventsFor(1);
    }
    if (fd >= 0)
        ::close(fd);
    if (floor.size() != press.size()) {
        cannotMeasure("a bare write did not reach the far end");
        return;
    }

    printWatcher(QStringLiteral("press to line"), watcher);
    const Summary p = summarize(press);
    const Summary f = summarize(floor);
    printRow(QStringLiteral("press to line, median (%1 presses)").arg(p.count), ms(p.median),
        QStringLiteral("floor ") + ms(f.median), QStringLiteral("within 0.5 ms of floor"),
        verdict(p.median - f.median <= 0.5));
    printRow(QStringLiteral("press to line, 99th percentile"), ms(p.p99), QStringLiteral("floor ") + ms(f.p99),
        QString(), QString());
}

// --- repeat cadence ------------------------------------------------------

struct Cadence
{
    std::size_t frames = 0;
    std::size_t ideal = 0;
    Summary gaps;   // gap between frames
    Summary errors; // |gap - period|
};

// The frames with this code among those the watcher saw: their count
// against ideal, and the spread of the gaps between them.
Cadence cadenceOf(const LineWatcher& watcher, const QByteArray& code, int period, std::size_t ideal)
{
    Cadence c;
    c.ideal = ideal;
    std::vector<TimePoint> times;
    for (const LineWatcher::Frame& frame : watcher.frames())
        if (frame.bytes == code)
            times.push_back(frame.at);
    c.frames = times.size();
    std::vector<double> gaps;
    std::vector<double> errors;
    for (std::size_t i = 1; i < times.size(); ++i) {
        gaps.push_back(msBetween(times[i - 1], times[i]));
        errors.push_back(std::fabs(gaps.back() - period));
    }
    c.gaps = summarize(gaps);
    c.errors = summarize(errors);
    return c;
}

// Holds the button for whole periods and half a period more, so that the
// ideal count (the press and one frame a period) is not decided by a race.
Cadence hold(LivePanel& panel, LineWatcher& watcher, const char* button, const QByteArray& code, int period, int holdMs)
{
    const int whole = holdMs / period;
    watcher.clear();
    QTest::mousePress(panel.button(button), Qt::LeftButton);
    runEventsFor(whole * period + period / 2);
    QTest::mouseRelease(panel.button(button), Qt::LeftButton);
    runEventsFor(300);
    const Cadence c = cadenceOf(watcher, code, period, std::size_t(whole) + 1);
    if (c.frames == 0)
        cannotMeasure("a held button put no frame on the line");
    return c;
}

// The floor of a cadence: the same frame put on the line by a bare write()
// at every tick of a bare precise timer in the same event loop, for as long.
Cadence bareTimer(LineWatcher& watcher, int fd, const QByteArray& code, int period, int holdMs)
{
    const int whole = holdMs / period;
    const QByteArray frame = code + '\r';
    watcher.clear();
    auto put = [fd, &frame] { [[maybe_unused]] const ssize_t n = ::write(fd, frame.constData(), frame.size()); };
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(period);
    QObject::connect(&timer, &QTimer::timeout, put);
    put();
    timer.start();
    runEventsFor(whole * period + period / 2);
    timer.stop();
    runEventsFor(300);
    return cadenceOf(watcher, code, period, std::size_t(whole) + 1);
}

void printCadence(const QString& what, const Cadence& c, int period, const Cadence* floor)
{
    const double off = c.ideal ? 100.0 * (double(c.frames) - double(c.ideal)) / double(c.ideal) : 0;
    printRow(what + QStringLiteral(": frames"), QStringLiteral("%1 (%2%)").arg(c.frames).arg(off, 0, 'f', 1),
        QStringLiteral("ideal %1").arg(c.ideal), QStringLiteral("within 2% of ideal"), verdict(std::fabs(off) <= 2.0));
    printRow(what + QStringLiteral(": gap median / worst"),
        ms(c.gaps.median, 2) + QStringLiteral(" / ") + ms(c.gaps.worst, 2), QStringLiteral("period ") + ms(period, 0),
        QString(), QString());
    const QString errors = ms(c.errors.p99, 2) + QStringLiteral(" / ") + ms(c.errors.worst, 2);
    if (!floor) {
        printRow(what + QStringLiteral(": gap error p99 / worst"), errors, QString(), QString(), QString());
        return;
    }
    printRow(what + QStringLiteral(": gap error p99 / worst"), errors,
        QStringLiteral("floor ") + ms(floor->errors.p99, 2) + QStringLiteral(" / ") + ms(floor->errors.worst, 2),
        QStringLiteral("p99 under 2 ms"), verdict(c.errors.p99 < 2.0));
}

void repeatCadence(const Options& o)
{
    PtyPair pty;
    LineWatcher watcher(pty.masterFd(), true);
    // The floor's own descriptor on the line, opened before the panel takes
    // the device for itself.
    const int fd = ::open(pty.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    LivePanel panel(pty.devicePath(), false);
    runEventsFor(100);

    const int volMs = o.quick ? 1000 : o.holdSeconds * 1000;
    printWatcher(QStringLiteral("hold"), watcher);
    const Cadence vol = hold(panel, watcher, "Command1", "C09", 250, volMs);
    printCadence(QStringLiteral("hold VOL + %1 s").arg(volMs / 1000), vol, 250, nullptr);

    // A "D.Zoom" press and release leaves the arrows repeating every 5 ms.
    QTest::mouseClick(panel.button("Command48"), Qt::LeftButton);
    runEventsFor(300);
    const int arrowMs = o.quick ? 200 : 2000;
    const Cadence arrow = hold(panel, watcher, "Command5", "C3C", 5, arrowMs);
    const Cadence floor = fd >= 0 ? bareTimer(watcher, fd, "C3C", 5, arrowMs) : Cadence{};
    if (fd >= 0)
        ::close(fd);
    if (floor.frames == 0)
        cannotMeasure("a bare timer's writes did not reach the far end");
    printCadence(QStringLiteral("hold arrow after D.Zoom %1 s").arg(arrowMs / 1000.0), arrow, 5, &floor);
    printRow(QStringLiteral("floor: bare 5 ms timer and write(), frames"), QString::number(floor.frames),
        QStringLiteral("ideal %1").arg(floor.ideal), QString(), QString());
}

// --- one notification with a full reply buffer -----------------------------

void fullBufferNotification(const Options& o)
{
    const int iterations = o.quick ? 20 : 1000;
    PanelFixture f;
    f.openFullPanel();
    f.window.show();
    if (!QTest::qWaitForWindowExposed(&f.window)) {
        cannotMeasure("the window was not shown");
        return;
    }

    QByteArray fill;
    for (int i = 0; i < ReplyWindow::MaxReplyLength; ++i)
        fill.append(char('a' + i % 26));

    // CR9 shows the whole reply on the status line too: the costliest case.
    for (const char* code : {"C00", "CR9"}) {
        f.replies().sendCode(QString::fromLatin1(code));
        f.line.receive(fill);
        QCoreApplication::processEvents();

        std::vector<double> handler;
        std::vector<double> withPaint;
        std::vector<double> model;
        for (int i = 0; i < iterations; ++i) {
            const TimePoint t0 = SteadyClock::now();
            f.line.receive("x");
            const TimePoint t1 = SteadyClock::now();
            QCoreApplication::processEvents(); // the repaint the new text asks for
            const TimePoint t2 = SteadyClock::now();
            handler.push_back(msBetween(t0, t1));
            withPaint.push_back(msBetween(t0, t2));

            // Reference: the same work without a window (render and decode).
            const TimePoint m0 = SteadyClock::now();
            const QString rendered = renderTraffic(f.replies().reply());
            const auto status = decodeStatus(f.replies().lastFrame(), CommandPrefix, rendered);
            Q_UNUSED(status);
            model.push_back(msBetween(m0, SteadyClock::now()));
        }
        const Summary h = summarize(handler);
        const Summary w = summarize(withPaint);
        const Summary m = summarize(model);
        const QString after = QStringLiteral(" after %1").arg(QLatin1String(code));
        printRow(QStringLiteral("notification at 32767 chars") + after + QStringLiteral(", median"),
            ms(w.median) + QStringLiteral(" (handler ") + ms(h.median) + QLatin1Char(')'),
            QStringLiteral("render+decode ") + ms(m.median), QStringLiteral("under 1 ms"), verdict(w.median < 1.0));
        printRow(QStringLiteral("notification at 32767 chars") + after + QStringLiteral(", p99"),
            ms(w.p99) + QStringLiteral(" (handler ") + ms(h.p99) + QLatin1Char(')'),
            QStringLiteral("render+decode ") + ms(m.p99), QString(), QString());
    }
}

// --- unsolicited stream at line rate ----------------------------------------

void lineRateStream(const Options& o)
{
    const int seconds = o.quick ? 2 : o.streamSeconds;
    SimulatorProcess sim({QStringLiteral("--stream"), QStringLiteral("1920")});
    if (!sim.start()) {
        cannotMeasure("the simulated projector did not start");
        return;
    }
    LivePanel panel(sim.device(), true);
    int notifications = 0;
    QObject::connect(&panel.line, &SerialLine::received, [&notifications] { ++notifications; });
    runEventsFor(500);

    // Probes: a 50 ms timer re-armed at each tick, and every other tick a
    // click (press and release events queued for "CLS", which sends nothing).
    std::vector<double> timerLate;
    std::vector<double> clickLate;
    std::deque<TimePoint> clicksPosted;
    QAbstractButton* cls = panel.button("Command96");
    QObject::connect(cls, &QAbstractButton::clicked, [&] {
        if (!clicksPosted.empty()) {
            clickLate.push_back(msBetween(clicksPosted.front(), SteadyClock::now()));
            clicksPosted.pop_front();
        }
    });
    const QPointF centre = QRectF(cls->rect()).center();
    bool running = true;
    int ticks = 0;
    std::function<void()> arm = [&] {
        const TimePoint due = SteadyClock::now() + std::chrono::milliseconds(50);
        QTimer::singleShot(50, Qt::PreciseTimer, cls, [&, due] {
            timerLate.push_back(std::max(0.0, msBetween(due, SteadyClock::now())));
            if (++ticks % 2 == 0) {
                clicksPosted.push_back(SteadyClock::now());
                QCoreApplication::postEvent(cls,
                    new QMouseEvent(QEvent::MouseButtonPress, centre, cls->mapToGlobal(centre), Qt::LeftButton,
                        Qt::LeftButton, {}));
                QCoreApplication::postEvent(cls,
                    new QMouseEvent(QEvent::MouseButtonRelease, centre, cls->mapToGlobal(centre), Qt::LeftButton,
                        Qt::NoButton, {}));
            }
            if (running)
                arm();
        });
    };
    arm();

    notifications = 0;
    const double cpu0 = cpuSeconds();
    const TimePoint t0 = SteadyClock::now();
    runEventsFor(seconds * 1000);
    const double wall = msBetween(t0, SteadyClock::now()) / 1000.0;
    const double cpu = 100.0 * (cpuSeconds() - cpu0) / wall;
    running = false;
    runEventsFor(100);

    const Summary t = summarize(timerLate);
    const Summary c = summarize(clickLate);
    printRow(QStringLiteral("stream 1920 chars/s %1 s: CPU").arg(seconds),
        QStringLiteral("%1% of one core").arg(cpu, 0, 'f', 1),
        QStringLiteral("%1 notifications/s").arg(double(notifications) / wall, 0, 'f', 0), QStringLiteral("under 25%"),
        verdict(cpu < 25.0));
    printRow(QStringLiteral("stream: timer tick lateness p99 / worst"),
        ms(t.p99, 2) + QStringLiteral(" / ") + ms(t.worst, 2), QStringLiteral("%1 ticks").arg(t.count),
        QStringLiteral("p99 under 30 ms"), verdict(t.p99 < 30.0));
    printRow(QStringLiteral("stream: click lateness p99 / worst"),
        ms(c.p99, 2) + QStringLiteral(" / ") + ms(c.worst, 2), QStringLiteral("%1 clicks").arg(c.count),
        QStringLiteral("p99 under 30 ms"), verdict(c.count > 0 && c.p99 < 30.0));
}

// --- start-up -----------------------------------------------------------

struct Start
{
    double ms = -1;
    long peakKb = -1; // VmHWM at the first paint, as the probe reads it
};

// Starts a probe program and waits for its "painted" line: the time from
// the start of the process to its first painted window, and the peak
// resident size it reports then.
Start startProbe(const std::vector<QByteArray>& command)
{
    Start s;
    const TimePoint t0 = SteadyClock::now();
    const Child child = spawnChild(command);
    if (child.pid < 0)
        return s;
    QByteArray line;
    char c;
    while (!line.endsWith('\n') && ::read(child.output, &c, 1) == 1)
        line.append(c);
    if (line.startsWith("painted")) {
        s.ms = msBetween(t0, SteadyClock::now());
        s.peakKb = line.mid(8).trimmed().toLong();
    }
    ::close(child.output);
    int status = 0;
    ::waitpid(pid_t(child.pid), &status, 0);
    return s;
}

void startUp(const Options& o)
{
    const int runs = o.quick ? 2 : 15;
    PtyPair pty;
    const QByteArray size = QByteArray::number(twipsToPixels(ClientWidthTwips)) + 'x'
        + QByteArray::number(clientPixelsForOuterHeight(DataPanel::CompactHeight));
    std::vector<double> panelMs, bareMs, textMs, panelKb, bareKb;
    for (int i = 0; i < runs; ++i) {
        // Interleaved, so that all three see the same load on the machine.
        const Start bare = startProbe({ORVA_STARTUP_BARE_PATH, size});
        const Start text = startProbe({ORVA_STARTUP_BARE_PATH, size, "text"});
        const Start panel = startProbe({ORVA_STARTUP_PANEL_PATH, pty.devicePath().toLocal8Bit()});
        if (bare.ms < 0 || text.ms < 0 || panel.ms < 0) {
            cannotMeasure("a start-up probe did not paint");
            return;
        }
        bareMs.push_back(bare.ms);
        textMs.push_back(text.ms);
        panelMs.push_back(panel.ms);
        bareKb.push_back(double(bare.peakKb));
        panelKb.push_back(double(panel.peakKb));
    }
    const Summary pt = summarize(panelMs), bt = summarize(bareMs), tt = summarize(textMs);
    const Summary pm = summarize(panelKb), bm = summarize(bareKb);
    const double timeRatio = pt.median / bt.median;
    const double memRatio = pm.median / bm.median;
    printRow(QStringLiteral("start-up to first paint, median of %1").arg(runs),
        ms(pt.median, 1) + QStringLiteral(" (x%1)").arg(timeRatio, 0, 'f', 2),
        QStringLiteral("bare window ") + ms(bt.median, 1), QStringLiteral("under 1.5x bare"), verdict(timeRatio < 1.5));
    printRow(QStringLiteral("start-up: bare window with one line of text"),
        ms(tt.median, 1) + QStringLiteral(" (x%1)").arg(tt.median / bt.median, 0, 'f', 2),
        QStringLiteral("panel is x%1 of it").arg(pt.median / tt.median, 0, 'f', 2), QString(), QString());
    printRow(QStringLiteral("start-up peak resident size"),
        QStringLiteral("%1 MB (x%2)").arg(pm.median / 1024.0, 0, 'f', 1).arg(memRatio, 0, 'f', 2),
        QStringLiteral("bare window %1 MB").arg(bm.median / 1024.0, 0, 'f', 1), QStringLiteral("under 1.5x bare"),
        verdict(memRatio < 1.5));
}

// --- idle ----------------------------------------------------------------

// Counts the event loop's wake-ups and timer events while nothing happens.
class WakeCounter : public QObject
{
public:
    int timerEvents = 0;
    std::map<QString, int> byReceiver;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer) {
            ++timerEvents;
            ++byReceiver[QString::fromLatin1(watched->metaObject()->className()) + QLatin1Char(' ')
                + watched->objectName()];
        }
        return false;
    }
};

void idle(const Options& o)
{
    const int seconds = o.quick ? 1 : 5;
    PtyPair pty;
    LivePanel panel(pty.devicePath(), false);
    runEventsFor(1000);

    // Counting starts 100 ms into the loop (that timer's own wake-up ends in
    // the first counted sleep); every further sleep follows a wake-up. The
    // timer that ends the measurement wakes the loop for good and is not
    // counted.
    WakeCounter counter;
    int sleeps = 0;
    auto* dispatcher = QAbstractEventDispatcher::instance();
    QMetaObject::Connection connection;
    rusage before{};
    QTimer::singleShot(100, Qt::PreciseTimer, [&] {
        qApp->installEventFilter(&counter);
        connection = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [&sleeps] { ++sleeps; });
        ::getrusage(RUSAGE_SELF, &before);
    });
    runEventsFor(100 + seconds * 1000);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    QObject::disconnect(connection);
    qApp->removeEventFilter(&counter);

    const int wakeUps = std::max(0, sleeps - 1);
    const long switches = (after.ru_nvcsw - before.ru_nvcsw) + (after.ru_nivcsw - before.ru_nivcsw);
    printRow(QStringLiteral("idle %1 s: event-loop wake-ups").arg(seconds), QString::number(wakeUps),
        QStringLiteral("%1 timer events, %2 context switches").arg(std::max(0, counter.timerEvents - 1)).arg(switches),
        QStringLiteral("none"), verdict(wakeUps == 0));
    for (const auto& [receiver, count] : counter.byReceiver)
        if (count > 1)
            std::printf("    timer events for %s: %d\n", qPrintable(receiver), count);
}

} // namespace

int main(int argc, char* argv[])
{
    QtEnvironment environment;
    QApplication app(argc, argv);

    Options o;
    QCommandLineParser parser;
    const QCommandLineOption quick(QStringLiteral("quick"));
    const QCommandLineOption streamSeconds(QStringLiteral("stream-seconds"), QString(), QStringLiteral("N"));
    const QCommandLineOption holdSeconds(QStringLiteral("hold-seconds"), QString(), QStringLiteral("N"));
    parser.addOptions({quick, streamSeconds, holdSeconds});
    if (const std::optional<int> status = readCommandLine(parser, app.arguments(),
            QStringLiteral("orva-bench [--quick] [--stream-seconds N] [--hold-seconds N] "
                           "[press|repeat|notify|stream|startup|idle...]"),
            std::numeric_limits<qsizetype>::max()))
        return *status;
    o.quick = parser.isSet(quick);
    if (parser.isSet(streamSeconds))
        o.streamSeconds = std::max(1, parser.value(streamSeconds).toInt());
    if (parser.isSet(holdSeconds))
        o.holdSeconds = std::max(1, parser.value(holdSeconds).toInt());
    const QStringList figures = parser.positionalArguments();
    const std::vector<std::pair<QString, void (*)(const Options&)>> all = {
        {QStringLiteral("press"), pressToLine},
        {QStringLiteral("repeat"), repeatCadence},
        {QStringLiteral("notify"), fullBufferNotification},
        {QStringLiteral("stream"), lineRateStream},
        {QStringLiteral("startup"), startUp},
        {QStringLiteral("idle"), idle},
    };
    for (const QString& f : figures)
        if (std::none_of(all.begin(), all.end(), [&f](const auto& e) { return e.first == f; })) {
            std::fprintf(stderr, "orva-bench: no figure named %s\n", qPrintable(f));
            return 2;
        }

    std::printf("platform %s, %d cores%s\n\n", qPrintable(QGuiApplication::platformName()), QThread::idealThreadCount(),
        o.quick ? ", quick run: figures are not meaningful" : "");
    printTableHeader();
    for (const auto& [name, run] : all)
        if (figures.isEmpty() || figures.contains(name))
            run(o);
    return measurementFailed ? 1 : 0;
}
