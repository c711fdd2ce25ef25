// Figures of orva-hub on this machine, each beside its floor or reference
// and its target. Not a test: it prints, it does not judge a build.
//
//   orva-hub-bench [--quick] [--only FIGURE]
//
//  - "POWR ?" over PJLink answered from the hub's values, round trip,
//    beside a bare TCP request and reply of the same sizes;
//  - 64 PJLink controllers polling (each every 50 ms, 1280 requests a
//    second in all) and 4 share clients asking the projector as fast as it
//    answers, for 60 s: no reply lost or given to another client; the share
//    clients' exchanges a second beside what a 19200 baud line carries for
//    their frames and replies (the line's use; a pseudo-terminal has no
//    baud rate, so the simulator alone answers far faster), and beside what
//    one program alone gets from the same simulated projector; the hub's
//    CPU and resident size;
//  - 32 projectors: the hub's resident size, and its wake-ups between two
//    poll rounds; then GET /metrics under wrk (4 connections, 20 s):
//    requests a second and the 99th percentile, and a frame's round trip
//    through a share door (what the panel's press costs) beside the same
//    without the scrapes;
//  - a POST action's round trip through the HTTP door beside the same
//    query on the exchange layer alone, straight on the simulator's device;
//  - a group power-off across 64 projectors (each answering in 20 ms)
//    through the HTTP door beside the slowest of the same projectors'
//    single power-offs;
//  - a thousand projectors at the default poll interval (LargeFleet.h):
//    the hub's resident size, CPU share and descriptors.
// --quick runs each briefly with few clients (a smoke run, figures
// meaningless).
#include "BenchSupport.h"
#include "BlockingClient.h"
#include "FreePort.h"
#include "HubProcess.h"
#include "LargeFleet.h"
#include "SimulatorProcess.h"
#include "engine/CommandExchange.h"
#include "engine/line/LineAddress.h"
#include "engine/line/LineFactory.h"
#include "engine/line/SerialLine.h"
#include "engine/timing/QtClock.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace orva;
using namespace orva::bench;

namespace {

bool measurementFailed = false;

void fail(const char* what)
{
    std::fprintf(stderr, "orva-hub-bench: %s\n", what);
    measurementFailed = true;
}

// The floor of a round trip: a thread answering each line on a bare TCP
// socket, and a blocking client.
std::vector<double> bareRoundTrips(int count)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener);
        return {};
    }
    std::thread server([listener] {
        const int fd = ::accept(listener, nullptr, nullptr);
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char buffer[256];
        while (::read(fd, buffer, sizeof buffer) > 0) {
            if (::write(fd, "%1POWR=0\r", 9) != 9)
                break;
        }
        ::close(fd);
    });
    std::vector<double> samples;
    {
        BlockingClient client(ntohs(address.sin_port));
        for (int i = 0; client.ok() && i < count; ++i) {
            const TimePoint t0 = SteadyClock::now();
            if (!client.send("%1POWR ?\r") || client.line().isEmpty())
                break;
            samples.push_back(msBetween(t0, SteadyClock::now()));
        }
    }
    server.join();
    ::close(listener);
    return samples;
}

void roundTrip(bool quick)
{
    SimulatorProcess sim;
    HubProcess hub;
    const quint16 door = freePort();
    if (!sim.start() || !hub.start(HubProcess::projectorTable(QStringLiteral("a101"), sim.device(), 0, door))) {
        fail("the hub or the simulator did not start");
        return;
    }
    const int count = quick ? 50 : 2000;
    BlockingClient client(door);
    if (!client.ok() || client.line() != "PJLINK 0\r") {
        fail("no PJLink greeting");
        return;
    }
    // Until the first poll has filled the values in.
    runEventsFor(1000);
    std::vector<double> samples;
    for (int i = 0; i < count + 20; ++i) {
        const TimePoint t0 = SteadyClock::now();
        if (!client.send("%1POWR ?\r") || client.line() != "%1POWR=0\r") {
            fail("POWR ? was not answered 0");
            return;
        }
        if (i >= 20)
            samples.push_back(msBetween(t0, SteadyClock::now()));
    }
    const std::vector<double> bare = bareRoundTrips(count);
    if (bare.empty()) {
        fail("the bare round trip failed");
        return;
    }
    const Summary h = summarize(samples), b = summarize(bare);
    printRow(QStringLiteral("POWR ? from the hub's values, median of %1").arg(count),
        ms(h.median) + QStringLiteral(" (+%1)").arg(ms(h.median - b.median)),
        QStringLiteral("bare TCP ") + ms(b.median), QStringLiteral("within 0.3 ms"),
        verdict(h.median - b.median <= 0.3));
    printRow(QStringLiteral("POWR ? from the hub's values, 99th percentile"), ms(h.p99),
        QStringLiteral("bare TCP ") + ms(b.p99), QString(), QString());
}

// What one program alone gets from the simulated projector: the share
// clients' four queries in turn, straight on its device, for seconds.
double directExchangesPerSecond(const QString& device, double seconds)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(fd, TCSANOW, &settings);
    const char* queries[] = {"CR1\r", "CR3\r", "CR4\r", "CR9\r"};
    long exchanges = 0;
    const TimePoint t0 = SteadyClock::now();
    while (msBetween(t0, SteadyClock::now()) < seconds * 1000) {
        const char* query = queries[exchanges % 4];
        if (::write(fd, query, 4) != 4)
            break;
        char c = 0;
        while (::read(fd, &c, 1) == 1 && c != '\r') { }
        ++exchanges;
    }
    ::close(fd);
    return double(exchanges) / seconds;
}

void load(bool quick)
{
    SimulatorProcess sim;
    if (!sim.start()) {
        fail("the simulator did not start");
        return;
    }
    const double seconds = quick ? 2 : 60;
    const double direct = directExchangesPerSecond(sim.device(), quick ? 1 : 10);
    HubProcess hub;
    const quint16 share = freePort();
    const quint16 door = freePort();
    if (direct <= 0 || !hub.start(HubProcess::projectorTable(QStringLiteral("a101"), sim.device(), share, door))) {
        fail("the hub did not start");
        return;
    }
    const int controllers = quick ? 4 : 64;
    std::atomic<bool> stop{false};
    std::atomic<long> answers{0}, shareExchanges{0}, wrong{0}, lost{0};
    std::vector<std::thread> threads;
    threads.reserve(std::size_t(controllers) + 4);
    for (int i = 0; i < controllers; ++i) {
        threads.emplace_back([&, i] {
            BlockingClient client(door, 1 + i % 8);
            if (!client.ok() || client.line().isEmpty()) {
                ++lost;
                return;
            }
            const char* bodies[] = {"POWR", "LAMP", "INPT", "AVMT"};
            for (long n = i; !stop; ++n) {
                const QByteArray body = bodies[n % 4];
                if (!client.send("%1" + body + " ?\r")) {
                    ++lost;
                    return;
                }
                const QByteArray answer = client.line();
                if (answer.isEmpty()) {
                    ++lost;
                    return;
                }
                (answer.startsWith("%1" + body + '=') ? answers : wrong)++;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    // Each share client asks its own question, whose answer has a shape of its own.
    const std::pair<const char*, const char*> questions[]
        = {{"CR1\r", "1\r"}, {"CR3\r", "01234\r"}, {"CR4\r", "11\r"}, {"CR9\r", "TK600\r"}};
    for (const auto& pair : questions) {
        threads.emplace_back([&, question = pair.first, reply = pair.second] {
            BlockingClient client(share);
            while (!stop) {
                if (!client.send(question)) {
                    ++lost;
                    return;
                }
                const QByteArray answer = client.line();
                if (answer.isEmpty()) {
                    ++lost;
                    return;
                }
                (answer == reply ? shareExchanges : wrong)++;
            }
        });
    }
    const double cpu0 = hub.cpuSeconds();
    const TimePoint t0 = SteadyClock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = hub.cpuSeconds() - cpu0;
    const double elapsed = msBetween(t0, SteadyClock::now()) / 1000;
    const qint64 rss = hub.status("VmRSS:");
    stop = true;
    for (std::thread& thread : threads)
        thread.join();

    // What a 19200 baud line carries of these exchanges: the four frames
    // and their replies, 10 bits a byte, one after the other.
    double bits = 0;
    for (const auto& [question, reply] : questions)
        bits += 10.0 * double(qstrlen(question) + qstrlen(reply));
    const double baudCapacity = 19200.0 / (bits / double(std::size(questions)));
    const double rate = double(shareExchanges) / elapsed;
    const double use = rate / baudCapacity;
    printRow(QStringLiteral("%1 PJLink + 4 share clients, %2 s: replies").arg(controllers).arg(seconds),
        QStringLiteral("%1 PJLink, %2 share").arg(answers.load()).arg(shareExchanges.load()),
        QStringLiteral("wrong %1, lost %2").arg(wrong.load()).arg(lost.load()), QStringLiteral("none wrong or lost"),
        verdict(wrong == 0 && lost == 0));
    printRow(QStringLiteral("line's use by the share clients"),
        QStringLiteral("%1/s (%2% of 19200 baud)").arg(rate, 0, 'f', 0).arg(use * 100, 0, 'f', 0),
        QStringLiteral("19200 baud %1/s").arg(baudCapacity, 0, 'f', 0), QStringLiteral(">= 90%"), verdict(use >= 0.9));
    printRow(QStringLiteral("the same beside the simulator alone"),
        QStringLiteral("%1%").arg(rate / direct * 100, 0, 'f', 1),
        QStringLiteral("alone on the device %1/s").arg(direct, 0, 'f', 0), QString(), QString());
    printRow(QStringLiteral("hub under that load: CPU, resident"),
        QStringLiteral("%1% of a core, %2 MB").arg(cpu / elapsed * 100, 0, 'f', 1).arg(double(rss) / 1024, 0, 'f', 1),
        QString(), QString(), QString());
}

// Frames through a share door for ms: each one's round trip.
std::vector<double> shareRoundTrips(quint16 share, int ms)
{
    BlockingClient client(share);
    std::vector<double> samples;
    const TimePoint start = SteadyClock::now();
    while (client.ok() && msBetween(start, SteadyClock::now()) < ms) {
        const TimePoint t0 = SteadyClock::now();
        if (!client.send("CR1\r") || client.line() != "1\r")
            return {};
        samples.push_back(msBetween(t0, SteadyClock::now()));
    }
    return samples;
}

// wrk on a URL: requests a second and the 99th percentile, in ms; none
// when wrk is missing or failed.
std::optional<std::pair<double, double>> wrk(const QString& url, int seconds)
{
    QProcess process;
    process.start(QStringLiteral("wrk"),
        {QStringLiteral("-t2"), QStringLiteral("-c4"), QStringLiteral("-d%1s").arg(seconds),
            QStringLiteral("--latency"), url});
    if (!process.waitForFinished((seconds + 30) * 1000) || process.exitCode() != 0)
        return std::nullopt;
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpressionMatch rate = QRegularExpression(QStringLiteral("Requests/sec:\\s+([\\d.]+)")).match(output);
    const QRegularExpressionMatch p99 = QRegularExpression(QStringLiteral("99%\\s+([\\d.]+)(us|ms|s)")).match(output);
    if (!rate.hasMatch() || !p99.hasMatch())
        return std::nullopt;
    const double scale = p99.captured(2) == QLatin1String("us") ? 0.001
        : p99.captured(2) == QLatin1String("s")                 ? 1000
                                                                : 1;
    return std::pair{rate.captured(1).toDouble(), p99.captured(1).toDouble() * scale};
}

void fleet(bool quick)
{
    const int count = quick ? 4 : 32;
    std::vector<std::unique_ptr<SimulatorProcess>> sims;
    const quint16 http = freePort();
    const quint16 firstShare = freePort();
    QString config = QStringLiteral("poll-interval-ms = 10000\nhttp-port = %1\n").arg(http);
    for (int i = 0; i < count; ++i) {
        sims.push_back(std::make_unique<SimulatorProcess>());
        if (!sims.back()->start()) {
            fail("a simulator did not start");
            return;
        }
        config += HubProcess::projectorTable(
            QStringLiteral("p%1").arg(i), sims.back()->device(), i == 0 ? firstShare : freePort(), freePort());
    }
    HubProcess hub;
    if (!hub.start(config)) {
        fail("the hub did not start");
        return;
    }
    // The first round is over within a few seconds; the next comes 10 s
    // after the start.
    std::this_thread::sleep_for(std::chrono::seconds(quick ? 2 : 4));
    const qint64 before = hub.wakeUps();
    std::this_thread::sleep_for(std::chrono::seconds(quick ? 1 : 4));
    const qint64 wakeUps = hub.wakeUps() - before;
    const qint64 rss = hub.status("VmRSS:");
    printRow(QStringLiteral("%1 projectors: resident size").arg(count),
        QStringLiteral("%1 MB").arg(double(rss) / 1024, 0, 'f', 1), QString(), QStringLiteral("under 25 MB"),
        verdict(rss < 25 * 1024));
    printRow(QStringLiteral("%1 projectors: wake-ups between polls, %2 s").arg(count).arg(quick ? 1 : 4),
        QString::number(wakeUps), QString(), QStringLiteral("0"), verdict(wakeUps == 0));

    const int seconds = quick ? 3 : 20;
    const Summary quiet = summarize(shareRoundTrips(firstShare, quick ? 500 : 5000));
    std::optional<std::pair<double, double>> scraped;
    std::thread scraper([&] { scraped = wrk(QStringLiteral("http://127.0.0.1:%1/metrics").arg(http), seconds); });
    // While wrk runs, leaving its first and last second aside.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const Summary loaded = summarize(shareRoundTrips(firstShare, (seconds - 2) * 1000));
    scraper.join();
    if (!scraped || quiet.count == 0 || loaded.count == 0) {
        fail("wrk on /metrics or the share door's round trips failed (is wrk installed?)");
        return;
    }
    printRow(QStringLiteral("GET /metrics, %1 projectors, wrk 4 connections %2 s").arg(count).arg(seconds),
        QStringLiteral("%1 req/s, p99 %2").arg(scraped->first, 0, 'f', 0).arg(ms(scraped->second)), QString(),
        QString(), QString());
    printRow(QStringLiteral("a frame through the share door meanwhile, median"),
        ms(loaded.median) + QStringLiteral(" (p99 %1)").arg(ms(loaded.p99)),
        QStringLiteral("without scrapes ") + ms(quiet.median) + QStringLiteral(" (p99 %1)").arg(ms(quiet.p99)),
        QStringLiteral("unchanged: within 0.5 ms"), verdict(loaded.median - quiet.median <= 0.5));
}

// The query of the input on the exchange layer alone, straight on the
// device: the floor of any door's round trip.
std::vector<double> exchangeRoundTrips(const QString& device, int count)
{
    QtClock clock;
    std::unique_ptr<SerialLine> line = makeLine();
    const std::optional<LineAddress> address = LineAddress::parse(device);
    if (!address || !line->open(*address, LineSpeed::Baud19200))
        return {};
    CommandExchange exchange(*line, clock);
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        QEventLoop loop;
        bool answered = false;
        const TimePoint t0 = SteadyClock::now();
        exchange.submit(ExchangeRequest::of(Command::InputQuery), [&](const ExchangeResult& result) {
            answered = result.outcome == ExchangeOutcome::Replied;
            loop.quit();
        });
        loop.exec();
        if (!answered)
            return {};
        samples.push_back(msBetween(t0, SteadyClock::now()));
    }
    line->close();
    return samples;
}

void httpAction(bool quick)
{
    SimulatorProcess sim;
    if (!sim.start()) {
        fail("the simulator did not start");
        return;
    }
    const int count = quick ? 50 : 1000;
    const std::vector<double> bare = exchangeRoundTrips(sim.device(), count);
    HubProcess hub;
    const quint16 http = freePort();
    if (bare.empty()
        || !hub.start(QStringLiteral("poll-interval-ms = 0\nhttp-port = %1\n").arg(http)
            + HubProcess::projectorTable(QStringLiteral("a101"), sim.device(), 0, 0))) {
        fail("the exchange on the device or the hub failed");
        return;
    }
    BlockingClient client(http);
    const QByteArray request = "POST /api/projectors/a101/actions/input-query HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                               "Content-Length: 0\r\n\r\n";
    std::vector<double> samples;
    for (int i = 0; client.ok() && i < count + 20; ++i) {
        const TimePoint t0 = SteadyClock::now();
        if (!client.send(request) || client.httpResponse() != "HTTP/1.1 200 OK") {
            fail("POST input-query was not answered 200");
            return;
        }
        if (i >= 20)
            samples.push_back(msBetween(t0, SteadyClock::now()));
    }
    const Summary h = summarize(samples), b = summarize(bare);
    printRow(QStringLiteral("POST action (input-query), median of %1").arg(count),
        ms(h.median) + QStringLiteral(" (+%1)").arg(ms(h.median - b.median)),
        QStringLiteral("exchange layer alone ") + ms(b.median), QStringLiteral("within 1 ms"),
        verdict(h.median - b.median <= 1.0));
}

// One POST's round trip in ms, or nothing when it was not answered 200.
std::optional<double> postRoundTrip(BlockingClient& client, const QByteArray& target)
{
    const QByteArray request = "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n";
    const TimePoint t0 = SteadyClock::now();
    if (!client.send(request))
        return std::nullopt;
    if (const QByteArray status = client.httpResponse(); status != "HTTP/1.1 200 OK") {
        std::fprintf(stderr, "orva-hub-bench: POST %s: %s\n", target.constData(), status.constData());
        return std::nullopt;
    }
    return msBetween(t0, SteadyClock::now());
}

// Each projector holds its replies ReplyMs, as a real one takes tens of
// milliseconds to answer: what the group costs beside what one costs is
// then the hub's doing, not the simulators' scheduling on a few cores.
void groupAction(bool quick)
{
    constexpr int ReplyMs = 20;
    const int count = quick ? 4 : 64;
    const int rounds = quick ? 3 : 20;
    std::vector<std::unique_ptr<SimulatorProcess>> sims;
    const quint16 http = freePort();
    QString config = QStringLiteral("poll-interval-ms = 0\nhttp-port = %1\n").arg(http);
    for (int i = 0; i < count; ++i) {
        sims.push_back(
            std::make_unique<SimulatorProcess>(QStringList{QStringLiteral("--delay"), QString::number(ReplyMs)}));
        if (!sims.back()->start()) {
            fail("a simulator did not start");
            return;
        }
        config += HubProcess::projectorTable(QStringLiteral("p%1").arg(i), sims.back()->device(), 0, 0)
            + QStringLiteral("groups = [\"fleet\"]\n");
    }
    HubProcess hub;
    if (!hub.start(config)) {
        fail("the hub did not start");
        return;
    }
    BlockingClient client(http);
    // Each projector's own power-off, its median of a few; the slowest of them.
    double slowest = 0;
    for (int i = 0; client.ok() && i < count; ++i) {
        std::vector<double> own;
        for (int r = 0; r < 5; ++r) {
            const auto took
                = postRoundTrip(client, QStringLiteral("/api/projectors/p%1/actions/power-off").arg(i).toLatin1());
            if (!took) {
                fail("a single power-off was not answered 200");
                return;
            }
            own.push_back(*took);
        }
        slowest = std::max(slowest, summarize(own).median);
        hub.drain();
    }
    std::vector<double> group;
    for (int r = 0; client.ok() && r < rounds; ++r) {
        const auto took = postRoundTrip(client, "/api/groups/fleet/actions/power-off");
        if (!took) {
            std::fprintf(stderr, "%s", hub.log().constData());
            fail("the group power-off was not answered 200");
            return;
        }
        group.push_back(*took);
        hub.drain();
    }
    const Summary g = summarize(group);
    printRow(QStringLiteral("group power-off, %1 projectors (replies in %2 ms), median of %3")
                 .arg(count)
                 .arg(ReplyMs)
                 .arg(rounds),
        ms(g.median) + QStringLiteral(" (p99 %1)").arg(ms(g.p99)), QStringLiteral("slowest single ") + ms(slowest),
        QStringLiteral("within 1.5x"), verdict(g.median <= 1.5 * slowest));
}

void largeFleet(bool quick)
{
    if (!measureLargeFleet(quick))
        fail("the large fleet could not be measured");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption quickOption(
        QStringLiteral("quick"), QStringLiteral("Run each figure briefly (a smoke run, figures meaningless)."));
    parser.addOption(quickOption);
    const QCommandLineOption onlyOption(QStringLiteral("only"),
        QStringLiteral("Measure this figure alone: round-trip, load, fleet, http-action, group-action or large-fleet."),
        QStringLiteral("FIGURE"));
    parser.addOption(onlyOption);
    if (const std::optional<int> status
        = readCommandLine(parser, app.arguments(), QStringLiteral("orva-hub-bench [--quick] [--only FIGURE]")))
        return *status;
    const bool quick = parser.isSet(quickOption);
    std::printf("orva-hub, %d cores%s\n\n", QThread::idealThreadCount(),
        quick ? ", quick run: figures are not meaningful" : "");
    printTableHeader();
    const struct
    {
        const char* name;
        void (*measure)(bool quick);
    } figures[] = {{"round-trip", roundTrip}, {"load", load}, {"fleet", fleet}, {"http-action", httpAction},
        {"group-action", groupAction}, {"large-fleet", largeFleet}};
    const QString only = parser.value(onlyOption);
    for (const auto& figure : figures) {
        if (only.isEmpty() || only == QLatin1String(figure.name))
            figure.measure(quick);
    }
    if (measurementFailed)
        std::fprintf(stderr, "orva-hub-bench: a figure could not be measured\n");
    return measurementFailed ? 1 : 0;
}
