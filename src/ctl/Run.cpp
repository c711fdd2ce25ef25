#include "ctl/Run.h"

#include "ctl/Report.h"
#include "ctl/Session.h"
#include "engine/line/LineFactory.h"
#include "engine/timing/QtClock.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>
#include <vector>

namespace orva::ctl {

namespace {

void print(std::FILE* stream, const QString& line)
{
    std::fputs(line.toUtf8().append('\n').constData(), stream);
}

// Beyond every port's own timeout: the program ends even if a line never
// reports back.
constexpr int Backstop = 5000;

} // namespace

int run(const Request& request, std::FILE* out, std::FILE* err)
{
    const Action& action = *request.action;
    if (action.kind == ActionKind::List) {
        for (const QString& line : listLines(request.json))
            print(out, line);
        return 0;
    }

    QtClock clock;
    QEventLoop loop;
    std::vector<std::unique_ptr<Session>> sessions;
    sessions.reserve(std::size_t(request.ports.size()));
    for (const QString& port : request.ports) {
        // The second port choice stays unused: orva-ctl addresses each
        // projector on its own line.
        sessions.push_back(std::make_unique<Session>(port, makeLine(PortNames{port, QString()}), clock));
    }

    // All ports are opened first, so that the frames then go out together.
    std::vector<Session*> opened;
    for (const auto& session : sessions) {
        if (session->open(request.speed))
            opened.push_back(session.get());
    }
    auto waiting = [&opened] {
        return std::any_of(opened.begin(), opened.end(), [](const Session* s) { return s->isWaiting(); });
    };
    for (Session* session : opened)
        session->send(request.code, request.timeoutMs, [&] {
            if (!waiting())
                loop.quit();
        });

    QTimer backstop;
    backstop.setSingleShot(true);
    QObject::connect(&backstop, &QTimer::timeout, &loop, [&] {
        for (Session* session : opened)
            session->abandon();
        loop.quit();
    });
    if (waiting()) {
        backstop.start(request.timeoutMs + Backstop);
        loop.exec();
    }

    QList<Outcome> outcomes;
    const bool several = sessions.size() > 1;
    for (const auto& session : sessions) {
        const Exchange& exchange = session->exchange();
        const Outcome outcome = evaluate(action, exchange);
        outcomes.append(outcome);
        if (request.json)
            print(out, jsonLine(action, request.code, exchange, outcome));
        if (!outcome.ok || !request.json)
            print(outcome.ok ? out : err, plainLine(exchange, outcome, several));
    }
    std::fflush(out);
    return exitStatus(outcomes);
}

} // namespace orva::ctl
