#include "ctl/Run.h"

#include "ctl/Report.h"
#include "ctl/Session.h"
#include "engine/line/LineFactory.h"
#include "engine/timing/QtClock.h"
#include "program/StopSignals.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace orva::ctl {

namespace {

// The first error met writing standard output, kept for closeOutput(): a
// later successful call may have put another value in errno.
int g_writeErrno = 0;

void print(std::FILE* stream, const QString& line)
{
    const QByteArray bytes = line.toUtf8().append('\n');
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) != std::size_t(bytes.size())
        && g_writeErrno == 0)
        g_writeErrno = errno;
}

// Beyond every port's own timeout: the program ends even if a line never
// reports back (an opening that blocks, a close that waits).
constexpr int Backstop = 5000;

// At most this many threads serve the ports, each several at once.
constexpr std::size_t MaxThreads = 8;

// One port: what happened on it, written by the thread that served it.
struct Port
{
    QString line;
    Exchange exchange;
    std::atomic<bool> done{false};
};

// The ports one thread serves. Requests to stop arrive at inbox, which lives
// on that thread while it serves; stop is set and called there only.
struct Crew
{
    std::vector<Port*> ports;
    QObject inbox;
    std::function<void(const QString&)> stop;
};

// The whole life of some ports' sessions, on one thread with its own event
// loop and clock: each is opened and sent its code in turn, then all wait
// for their replies together, then all are closed.
void serve(Crew& crew, const Request& request)
{
    QtClock clock;
    std::vector<std::unique_ptr<Session>> sessions;
    sessions.reserve(crew.ports.size());
    QEventLoop loop;
    int waiting = 0;
    const auto replied = [&loop, &waiting] {
        if (--waiting == 0)
            loop.quit();
    };
    for (const Port* port : crew.ports) {
        sessions.push_back(std::make_unique<Session>(port->line, makeLine(), clock));
        Session& session = *sessions.back();
        if (session.open(request.speed))
            session.send(request.code, request.timeoutMs, replied);
    }
    crew.stop = [&sessions](const QString& reason) {
        for (const auto& session : sessions)
            session->abandon(reason);
    };
    // Replies come from the event loop only, so none is counted before this.
    for (const auto& session : sessions)
        waiting += session->isWaiting() ? 1 : 0;
    if (waiting > 0)
        loop.exec();
    crew.stop = nullptr;
    for (std::size_t i = 0; i < crew.ports.size(); ++i) {
        crew.ports[i]->exchange = sessions[i]->exchange();
        sessions[i].reset(); // closes the line
        crew.ports[i]->done.store(true, std::memory_order_release);
    }
    // A request to stop that comes later finds nothing to stop.
    crew.inbox.moveToThread(QCoreApplication::instance()->thread());
}

void writeError(std::FILE* err, int error)
{
    if (error != 0)
        std::fprintf(err, "orva-ctl: write error: %s\n", std::strerror(error));
    else
        std::fputs("orva-ctl: write error\n", err);
    std::fflush(err);
}

} // namespace

int run(const Request& request, std::FILE* out, std::FILE* err)
{
    const Action& action = *request.action;
    if (action.kind == ActionKind::List) {
        for (const QString& line : listLines(request.json))
            print(out, line);
        return 0;
    }

    // The ports are dealt out to a few threads: the openings and closings of
    // the devices (lock files, drivers, network connections) then overlap
    // instead of adding up, and every reply is waited for at once; a thread
    // and its event loop for each of many ports would cost more than they
    // save.
    std::vector<Port> ports(std::size_t(request.ports.size()));
    for (std::size_t i = 0; i < ports.size(); ++i)
        ports[i].line = request.ports.at(qsizetype(i));
    const std::size_t threadCount = std::min(ports.size(), MaxThreads);

    // This thread waits for the others on an event loop of its own, so that
    // a signal to stop reaches it and through it every session.
    const StopSignals stops;
    QEventLoop loop;
    int running = int(threadCount);
    std::vector<std::unique_ptr<Crew>> crews;
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t t = 0; t < threadCount; ++t) {
        crews.push_back(std::make_unique<Crew>());
        Crew* crew = crews.back().get();
        for (std::size_t i = t; i < ports.size(); i += threadCount)
            crew->ports.push_back(&ports[i]);
        threads.emplace_back(QThread::create([crew, &request] { serve(*crew, request); }));
        crew->inbox.moveToThread(threads.back().get());
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&loop, &running] {
            if (--running == 0)
                loop.quit();
        });
        threads.back()->start();
    }
    QTimer backstop;
    backstop.setSingleShot(true);
    QObject::connect(&backstop, &QTimer::timeout, &loop, &QEventLoop::quit);
    backstop.start(request.timeoutMs + Backstop);
    int stoppedBy = 0;
    QObject::connect(&stops, &StopSignals::received, &loop, [&](int signalNumber) {
        stoppedBy = signalNumber;
        const QString reason = QStringLiteral("stopped by %1").arg(StopSignals::name(signalNumber));
        for (const auto& crew : crews) {
            QMetaObject::invokeMethod(
                &crew->inbox,
                [crew = crew.get(), reason] {
                    if (crew->stop)
                        crew->stop(reason);
                },
                Qt::QueuedConnection);
        }
        backstop.start(std::min(backstop.remainingTime(), Backstop));
    });
    if (running > 0)
        loop.exec();
    const bool stuck = std::any_of(threads.begin(), threads.end(), [](const auto& t) { return !t->wait(0); });

    QList<Outcome> outcomes;
    const bool several = ports.size() > 1;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        Exchange exchange;
        if (ports[i].done.load(std::memory_order_acquire)) {
            exchange = ports[i].exchange;
        } else {
            exchange.port = request.ports.at(qsizetype(i));
            exchange.timeoutMs = request.timeoutMs;
            exchange.lineError
                = QStringLiteral("the line did not report back within %1 ms").arg(request.timeoutMs + Backstop);
            exchange.errorKind = LineErrorKind::NoAnswer;
        }
        const Outcome outcome = evaluate(action, exchange);
        outcomes.append(outcome);
        if (const QString warning = warningLine(exchange); !warning.isEmpty())
            print(err, printable(warning));
        if (request.json)
            print(out, jsonLine(action, request.code, exchange, outcome));
        if (!outcome.ok || !request.json)
            print(outcome.ok ? out : err, plainLine(exchange, outcome, several));
    }
    std::fflush(err);
    const int status = stoppedBy != 0 ? 128 + stoppedBy : exitStatus(outcomes);
    // A thread still caught in its line cannot be stopped safely; the
    // process ends without waiting for it.
    if (stuck)
        std::_Exit(closeOutput(out, err, status));
    return status;
}

bool outputIsOpen(std::FILE* out, std::FILE* err)
{
    if (::fcntl(::fileno(out), F_GETFL) != -1)
        return true;
    writeError(err, errno);
    return false;
}

int closeOutput(std::FILE* out, std::FILE* err, int status)
{
    int error = g_writeErrno;
    const bool earlier = std::ferror(out) != 0;
    errno = 0;
    if (std::fflush(out) != 0 && error == 0)
        error = errno;
    errno = 0;
    if (std::fclose(out) != 0 && error == 0)
        error = errno;
    if (!earlier && error == 0)
        return status;
    writeError(err, error);
    return 1;
}

} // namespace orva::ctl
