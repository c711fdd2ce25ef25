// Soak: the real window (event-loop timers, the serial line on a device)
// against the simulated projector on a noisy line, with an arrow held at the
// 5 ms repeat that a "D.Zoom" press and release leaves, for a long time.
//
//   orva-soak [SECONDS]      (default 600)
//
// Prints the resident size at the start and the end, the frames that
// reached the projector against the cadence, the CPU used, and how quickly
// the panel still answers at the end. Exits 1 when memory grew, the panel
// stopped answering, or the frames fell outside the cadence.
#include "BenchSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace orva;
using namespace orva::bench;

namespace {

// Resident size may grow this much over the hold (allocator noise, caches
// that fill once); a leak of even a few bytes a frame shows far beyond it.
constexpr double FlatLimitMb = 4.0;
// Frames below this share of the cadence fail the soak: timer ticks were
// lost (the panel fell behind, or the machine was too busy to tell).
constexpr double CadenceShare = 0.90;
constexpr int PeriodMs = 5;

} // namespace

int main(int argc, char* argv[])
{
    QtEnvironment environment;
    QApplication app(argc, argv);
    QCommandLineParser parser;
    if (const std::optional<int> status
        = readCommandLine(parser, app.arguments(), QStringLiteral("orva-soak [SECONDS]"), 1))
        return *status;
    const QStringList words = parser.positionalArguments();
    const int seconds = words.isEmpty() ? 600 : std::max(1, words.first().toInt());

    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("projector.log"));
    SimulatorProcess sim({QStringLiteral("--noise"), QStringLiteral("--verbose")});
    sim.setErrorLog(log);
    if (!sim.start()) {
        std::fprintf(stderr, "orva-soak: the simulated projector did not start\n");
        return 1;
    }
    LivePanel panel(sim.device(), true);
    if (!panel.warnings.isEmpty())
        return 1;

    // A "D.Zoom" press and release: the arrows now repeat every 5 ms.
    QTest::mouseClick(panel.button("Command48"), Qt::LeftButton);
    runEventsFor(300);

    std::printf("orva-soak: holding the up arrow at the %d ms repeat for %d s on a noisy line\n", PeriodMs, seconds);
    QAbstractButton* arrow = panel.button("Command5");
    QTest::mousePress(arrow, Qt::LeftButton);
    const TimePoint pressed = SteadyClock::now();
    // Start figures once the hold has settled (the first few seconds fill
    // caches that stay).
    const int warmUpMs = std::min(5000, seconds * 1000 / 5);
    runEventsFor(warmUpMs);
    const std::int64_t startKb = residentKb();
    const double cpu0 = cpuSeconds();
    const TimePoint t0 = SteadyClock::now();
    std::int64_t highKb = startKb;
    for (int left = seconds * 1000 - warmUpMs; left > 0; left -= 1000) {
        runEventsFor(std::min(left, 1000));
        highKb = std::max(highKb, residentKb());
    }
    const std::int64_t endKb = residentKb();
    const double cpu = 100.0 * (cpuSeconds() - cpu0) / (msBetween(t0, SteadyClock::now()) / 1000.0);
    QTest::mouseRelease(arrow, Qt::LeftButton);
    const double heldMs = msBetween(pressed, SteadyClock::now());
    runEventsFor(1500); // the clear delay after the release runs out

    // Still answering: "STATUS" is clicked, its reply shows within moments.
    const TimePoint asked = SteadyClock::now();
    QTest::mouseClick(panel.button("Command44"), Qt::LeftButton);
    double answeredMs = -1;
    for (int i = 0; i < 300 && answeredMs < 0; ++i) {
        runEventsFor(10);
        if (panel.engine.replies().text(TrafficLine::Receive).contains(QLatin1String(" CR ")))
            answeredMs = msBetween(asked, SteadyClock::now());
    }
    sim.stop();

    int frames = 0;
    QFile file(log);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.contains("<- C3C<CR>"))
                ++frames;
    const int ideal = int(heldMs) / PeriodMs + 1;

    const double grewMb = double(endKb - startKb) / 1024.0;
    const bool flat = grewMb <= FlatLimitMb;
    const bool cadence = frames >= CadenceShare * ideal && frames <= ideal + 1;
    const bool answered = answeredMs >= 0;
    std::printf("resident size   start %.1f MB, end %.1f MB (%+.2f MB, highest %.1f MB): %s\n",
        double(startKb) / 1024.0, double(endKb) / 1024.0, grewMb, double(highKb) / 1024.0, flat ? "flat" : "GREW");
    std::printf("frames          %d of %d at the cadence (%.1f%%): %s\n", frames, ideal, 100.0 * frames / ideal,
        cadence ? "ok" : "OUTSIDE (90 to 100 percent)");
    std::printf("CPU             %.1f%% of one core while held\n", cpu);
    if (answered)
        std::printf("responsive      STATUS answered %.0f ms after the click: ok\n", answeredMs);
    else
        std::printf("responsive      STATUS not answered within 3 s: NO ANSWER\n");
    const bool ok = flat && answered && cadence;
    std::printf("%s\n", ok ? "orva-soak: passed" : "orva-soak: FAILED");
    return ok ? 0 : 1;
}
