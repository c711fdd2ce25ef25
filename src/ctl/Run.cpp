#include "ctl/Run.h"

#include "ctl/Report.h"
#include "ctl/Session.h"
#include "engine/line/LineFactory.h"
#include "engine/timing/QtClock.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

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

// One port, on a thread of its own from the opening to the closing.
struct Port
{
    Exchange exchange;
    std::atomic<bool> done{false};
    std::unique_ptr<QThread> thread;
};

// The whole life of one port's session, on its own thread with its own
// event loop and clock: open, send, wait, close.
void serve(Port& port, const QString& line, const Request& request)
{
    Exchange exchange;
    {
        QtClock clock;
        // The second port choice stays unused: orva-ctl addresses each
        // projector on a line of its own.
        Session session(line, makeLine(PortNames{line, QString()}), clock);
        if (session.open(request.speed)) {
            QEventLoop loop;
            session.send(request.code, request.timeoutMs, [&loop] { loop.quit(); });
            if (session.isWaiting())
                loop.exec();
        }
        exchange = session.exchange();
    } // closes the line
    port.exchange = std::move(exchange);
    port.done.store(true, std::memory_order_release);
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

    // Each port opens, sends and closes on a thread of its own: the
    // openings and closings of the devices (lock files, drivers, network
    // connections) then overlap instead of adding up, and a line that is
    // slow to open holds up no other.
    std::vector<Port> ports(std::size_t(request.ports.size()));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        Port& port = ports[i];
        const QString line = request.ports.at(qsizetype(i));
        port.thread.reset(QThread::create([&port, line, &request] { serve(port, line, request); }));
        port.thread->start();
    }
    const QDeadlineTimer deadline(request.timeoutMs + Backstop);
    bool stuck = false;
    for (Port& port : ports) {
        if (!port.thread->wait(deadline)) {
            stuck = true;
            continue;
        }
        port.thread.reset();
    }

    QList<Outcome> outcomes;
    const bool several = ports.size() > 1;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        Exchange exchange;
        if (ports[i].done.load(std::memory_order_acquire) && !ports[i].thread) {
            exchange = ports[i].exchange;
        } else {
            exchange.port = request.ports.at(qsizetype(i));
            exchange.timeoutMs = request.timeoutMs;
            exchange.lineError
                = QStringLiteral("the line did not report back within %1 ms").arg(request.timeoutMs + Backstop);
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
