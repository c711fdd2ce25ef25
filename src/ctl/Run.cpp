#include "ctl/Run.h"

#include "ctl/Report.h"
#include "ctl/Session.h"
#include "engine/line/LineFactory.h"
#include "engine/timing/QtClock.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <vector>

namespace orva::ctl {

namespace {

void print(std::FILE* stream, const QString& line)
{
    std::fputs(line.toUtf8().append('\n').constData(), stream);
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

// The whole life of some ports' sessions, on one thread with its own event
// loop and clock: each is opened and sent its code in turn, then all wait
// for their replies together, then all are closed.
void serve(const std::vector<Port*>& ports, const Request& request)
{
    QtClock clock;
    std::vector<std::unique_ptr<Session>> sessions;
    sessions.reserve(ports.size());
    QEventLoop loop;
    int waiting = 0;
    const auto replied = [&loop, &waiting] {
        if (--waiting == 0)
            loop.quit();
    };
    for (const Port* port : ports) {
        sessions.push_back(std::make_unique<Session>(port->line, makeLine(), clock));
        Session& session = *sessions.back();
        if (session.open(request.speed))
            session.send(request.code, request.timeoutMs, replied);
    }
    // Replies come from the event loop only, so none is counted before this.
    for (const auto& session : sessions)
        waiting += session->isWaiting() ? 1 : 0;
    if (waiting > 0)
        loop.exec();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        ports[i]->exchange = sessions[i]->exchange();
        sessions[i].reset(); // closes the line
        ports[i]->done.store(true, std::memory_order_release);
    }
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
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t t = 0; t < threadCount; ++t) {
        std::vector<Port*> share;
        for (std::size_t i = t; i < ports.size(); i += threadCount)
            share.push_back(&ports[i]);
        threads.emplace_back(QThread::create([share, &request] { serve(share, request); }));
        threads.back()->start();
    }
    const QDeadlineTimer deadline(request.timeoutMs + Backstop);
    bool stuck = false;
    for (auto& thread : threads) {
        if (!thread->wait(deadline))
            stuck = true;
    }

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
        if (request.json)
            print(out, jsonLine(action, request.code, exchange, outcome));
        if (!outcome.ok || !request.json)
            print(outcome.ok ? out : err, plainLine(exchange, outcome, several));
    }
    std::fflush(out);
    std::fflush(err);
    const int status = exitStatus(outcomes);
    // A thread still caught in its line cannot be stopped safely; the
    // process ends without waiting for it.
    if (stuck)
        std::_Exit(status);
    return status;
}

} // namespace orva::ctl
