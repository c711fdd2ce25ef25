#include "LargeFleet.h"

#include "BenchSupport.h"
#include "BlockingClient.h"
#include "FreePort.h"
#include "HubProcess.h"
#include "SimulatorProcess.h"

#include <QList>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace orva::bench {

namespace {

constexpr int DefaultPollIntervalMs = 5000; // the hub's, when the configuration names none
constexpr int QueriesPerRound = 6;          // the poller's round; the first asks the model too
constexpr int MaxBatches = 10;              // reloads that spread the lines over the interval

struct Fleet
{
    int count = 0;
    int pollIntervalMs = DefaultPollIntervalMs;
    double windowSeconds = 30;
    quint16 http = 0;
    std::vector<std::unique_ptr<SimulatorProcess>> sims;
    std::vector<std::pair<quint16, quint16>> doors; // each projector's share and PJLink ports

    // The configuration with the first `projectors` of the fleet.
    QString config(int projectors) const
    {
        QString text = QStringLiteral("http-port = %1\n").arg(http);
        if (pollIntervalMs != DefaultPollIntervalMs)
            text += QStringLiteral("poll-interval-ms = %1\n").arg(pollIntervalMs);
        for (int i = 0; i < projectors; ++i) {
            text += HubProcess::projectorTable(QStringLiteral("p%1").arg(i), sims[std::size_t(i)]->device(),
                doors[std::size_t(i)].first, doors[std::size_t(i)].second);
        }
        return text;
    }
};

// What the hub's metrics say of the fleet: projectors up, frames the
// poller sent, reply timeouts.
struct FleetCounters
{
    int up = 0;
    qint64 polled = 0;
    qint64 timeouts = 0;
};

std::optional<FleetCounters> readCounters(quint16 http)
{
    BlockingClient client(http);
    QByteArray body;
    if (!client.send("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        || client.httpResponse(&body) != "HTTP/1.1 200 OK")
        return std::nullopt;
    FleetCounters counters;
    for (const QByteArray& line : body.split('\n')) {
        const QByteArray value = line.mid(line.lastIndexOf(' ') + 1);
        if (line.startsWith("orva_projector_up{"))
            counters.up += value == "1" ? 1 : 0;
        else if (line.startsWith("orva_hub_frames_total{") && line.contains("door=\"poll\""))
            counters.polled += value.toLongLong();
        else if (line.startsWith("orva_hub_reply_timeouts_total{"))
            counters.timeouts += value.toLongLong();
    }
    return counters;
}

// Until every projector is up and has had its first round (with the model
// name); false when that takes longer than a minute.
bool waitForFirstRound(HubProcess& hub, const Fleet& fleet)
{
    const TimePoint start = SteadyClock::now();
    while (msBetween(start, SteadyClock::now()) < 60'000) {
        const std::optional<FleetCounters> counters = readCounters(fleet.http);
        if (counters && counters->up == fleet.count && counters->polled >= qint64(fleet.count) * (QueriesPerRound + 1))
            return true;
        hub.drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

struct Window
{
    double cpuShare = 0; // of one core
    double wakeUpsPerSecond = 0;
    qint64 residentKb = 0;
    int descriptors = 0;
    FleetCounters end;   // at its end
    qint64 polled = 0;   // frames the poller sent within it
    qint64 timeouts = 0; // reply timeouts within it
};

// The hub left alone for the fleet's window, read from /proc before and
// after (its metrics are read outside it).
std::optional<Window> measureWindow(HubProcess& hub, const Fleet& fleet)
{
    const std::optional<FleetCounters> before = readCounters(fleet.http);
    const double cpu0 = hub.cpuSeconds();
    const qint64 wakeUps0 = hub.wakeUps();
    const TimePoint t0 = SteadyClock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(fleet.windowSeconds));
    const double cpu = hub.cpuSeconds() - cpu0;
    const qint64 wakeUps = hub.wakeUps() - wakeUps0;
    const double elapsed = msBetween(t0, SteadyClock::now()) / 1000;
    Window window;
    window.residentKb = hub.status("VmRSS:");
    window.descriptors = hub.descriptors();
    const std::optional<FleetCounters> after = readCounters(fleet.http);
    hub.drain();
    if (!before || !after || cpu0 < 0 || window.residentKb < 0)
        return std::nullopt;
    window.cpuShare = cpu / elapsed;
    window.wakeUpsPerSecond = double(wakeUps) / elapsed;
    window.end = *after;
    window.polled = after->polled - before->polled;
    window.timeouts = after->timeouts - before->timeouts;
    return window;
}

void printCpu(const QString& figure, const Window& w)
{
    const double usPerWakeUp = w.wakeUpsPerSecond > 0 ? w.cpuShare * 1e6 / w.wakeUpsPerSecond : 0;
    printRow(figure, QStringLiteral("%1% of a core").arg(w.cpuShare * 100, 0, 'f', 1),
        QStringLiteral("%1 wake-ups/s, %2 us each").arg(w.wakeUpsPerSecond, 0, 'f', 0).arg(usPerWakeUp, 0, 'f', 0),
        QStringLiteral("under 25% of a core"), verdict(w.cpuShare < 0.25));
}

// Whether the window saw every projector up and polled every round.
void printPolls(const QString& figure, const Fleet& fleet, const Window& w)
{
    const double expected
        = double(fleet.count) * QueriesPerRound * fleet.windowSeconds * 1000 / double(fleet.pollIntervalMs);
    const double share = double(w.polled) / expected;
    printRow(figure, QStringLiteral("%1 frames, %2% of rounds").arg(w.polled).arg(share * 100, 0, 'f', 0),
        QStringLiteral("%1 up, %2 timed out").arg(w.end.up).arg(w.timeouts), QStringLiteral("all up and polled"),
        verdict(w.end.up == fleet.count && share >= 0.95 && w.timeouts == 0));
}

// The open-file limit raised as far as it goes: the bench holds pipes to
// every simulator, and the hub, which inherits it, a line, its lock file
// and two doors for every projector. Returns the limit.
rlim_t raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ::getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_cur;
}

} // namespace

bool measureLargeFleet(bool quick)
{
    const rlim_t openFileLimit = raiseOpenFileLimit();
    Fleet fleet;
    fleet.count = quick ? 8 : 1000;
    fleet.pollIntervalMs = quick ? 1000 : DefaultPollIntervalMs;
    fleet.windowSeconds = quick ? 2 : 30;
    fleet.http = freePort();
    for (int i = 0; i < fleet.count; ++i) {
        fleet.sims.push_back(std::make_unique<SimulatorProcess>());
        if (!fleet.sims.back()->start()) {
            std::fprintf(
                stderr, "orva-hub-bench: simulator %d did not start: %s\n", i, qPrintable(fleet.sims.back()->error()));
            return false;
        }
        fleet.doors.emplace_back(freePort(), freePort());
    }
    const QString name
        = QStringLiteral("%1 projectors, polled every %2 s").arg(fleet.count).arg(fleet.pollIntervalMs / 1000);

    // Started with every line: the first rounds, and so all later ones,
    // fall together, and each wake-up of the hub serves many lines.
    std::optional<Window> together;
    {
        HubProcess hub;
        if (!hub.start(fleet.config(fleet.count)) || !waitForFirstRound(hub, fleet)
            || !(together = measureWindow(hub, fleet))) {
            std::fprintf(stderr, "orva-hub-bench: the hub with %d projectors did not serve them all\n", fleet.count);
            return false;
        }
    }
    // The lines added by reloads, a batch every so often over one interval:
    // their rounds fall apart, as lines that reopened at their own times
    // do, and the hub wakes for each batch.
    std::optional<Window> spread;
    {
        HubProcess hub;
        const int batches = std::min(MaxBatches, fleet.count);
        bool served = hub.start(fleet.config(fleet.count / batches));
        const TimePoint start = SteadyClock::now();
        for (int b = 1; served && b < batches; ++b) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(fleet.pollIntervalMs * b / batches));
            served = hub.reload(fleet.config(fleet.count * (b + 1) / batches));
        }
        if (!served || !waitForFirstRound(hub, fleet) || !(spread = measureWindow(hub, fleet))) {
            std::fprintf(stderr, "orva-hub-bench: the hub did not take the fleet in batches\n");
            return false;
        }
    }

    printRow(name + QStringLiteral(": resident size"),
        QStringLiteral("%1 MB").arg(double(std::max(together->residentKb, spread->residentKb)) / 1024, 0, 'f', 1),
        QStringLiteral("started %1, reloaded %2")
            .arg(double(together->residentKb) / 1024, 0, 'f', 1)
            .arg(double(spread->residentKb) / 1024, 0, 'f', 1),
        QStringLiteral("under 100 MB"), verdict(std::max(together->residentKb, spread->residentKb) < 100 * 1024));
    const QString window = QStringLiteral(", %1 s").arg(fleet.windowSeconds, 0, 'f', 0);
    printCpu(QStringLiteral("  CPU, rounds together (as started)") + window, *together);
    printCpu(QStringLiteral("  CPU, rounds spread over the interval") + window, *spread);
    printPolls(QStringLiteral("  polls, rounds together"), fleet, *together);
    printPolls(QStringLiteral("  polls, rounds spread"), fleet, *spread);
    printRow(QStringLiteral("  descriptors the hub holds"),
        QStringLiteral("%1 (%2 a projector)")
            .arg(together->descriptors)
            .arg(double(together->descriptors) / fleet.count, 0, 'f', 1),
        QStringLiteral("open-file limit %1").arg(qulonglong(openFileLimit)), QString(), QString());
    return true;
}

} // namespace orva::bench
