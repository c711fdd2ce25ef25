#include "hub/HttpFleetRoutes.h"

#include "engine/protocol/ValueNames.h"
#include "hub/GroupAction.h"
#include "hub/Groups.h"
#include "hub/HubJson.h"

#include <QJsonArray>

#include <algorithm>

namespace orva::hub {

HttpFleetRoutes::HttpFleetRoutes(HttpEvents& events, const HubLog& log)
    : m_events(events)
    , m_log(log)
{
}

HttpFleetRoutes::~HttpFleetRoutes() = default;

HttpResponse HttpFleetRoutes::groups(const std::vector<Projector*>& served) const
{
    QJsonArray list;
    for (const Group& group : groupsOf(served)) {
        QJsonArray names;
        for (const Projector* member : group.members)
            names.append(member->name());
        list.append(QJsonObject{{QStringLiteral("name"), group.name}, {QStringLiteral("projectors"), names}});
    }
    return jsonResponse(200, QJsonObject{{QStringLiteral("groups"), list}});
}

void HttpFleetRoutes::groupAction(const QString& group, const QString& action, const std::vector<Projector*>& served,
    Projector::Requester requester, const QString& peer, const QString& who, Respond respond)
{
    const std::optional<std::vector<Projector*>> members = membersOf(group, served);
    if (!members) {
        respond(jsonError(404, QStringLiteral("no group named '%1'").arg(group)));
        return;
    }
    const std::optional<Command> command = commandOfHttpAction(action);
    if (!command) {
        respond(jsonError(404, QStringLiteral("no action named '%1'").arg(action)));
        return;
    }
    m_inFlight[requester] = InFlight{std::make_unique<GroupAction>(group, action, *members), std::move(respond)};
    const AuditTag tag{QStringLiteral("group"), {}, who, action};
    // Every member at once, each on its own queue; one whose line is down
    // has its result now, as the one-projector route answers at once.
    for (Projector* member : *members) {
        const ExchangeRequest request = ExchangeRequest::of(*command, member->replyTimeoutMs());
        if (!member->isLineOpen()) {
            ExchangeResult down;
            down.outcome = ExchangeOutcome::LineFailed;
            down.error = member->lineError();
            member->auditUnsent(
                requester, peer, request.code, QStringLiteral("error"), lineErrorKindName(down.error->kind), tag);
            finishMember(requester, member, resultJson(down, request, false).body);
            continue;
        }
        m_log.info(member->name(), QStringLiteral("%1: %2 (group %3)").arg(peer, action, group));
        member->submit(
            requester, peer, request,
            [this, requester, member, request](const ExchangeResult& result) {
                finishMember(requester, member, resultJson(result, request, false).body);
            },
            tag);
    }
}

void HttpFleetRoutes::setServed(const std::vector<Projector*>& served)
{
    std::vector<std::pair<Projector::Requester, Projector*>> gone;
    for (const auto& [requester, waiting] : m_inFlight) {
        for (Projector* member : waiting.run->pending()) {
            if (std::find(served.begin(), served.end(), member) == served.end())
                gone.emplace_back(requester, member);
        }
    }
    for (const auto& [requester, member] : gone) {
        member->forget(requester);
        finishMember(requester, member,
            QJsonObject{{QStringLiteral("ok"), false},
                {QStringLiteral("error"), QStringLiteral("the projector is no longer served (the hub was reloaded)")}});
    }
}

void HttpFleetRoutes::forget(Projector::Requester requester)
{
    m_inFlight.erase(requester);
}

void HttpFleetRoutes::finishMember(Projector::Requester requester, const Projector* member, const QJsonObject& result)
{
    const auto it = m_inFlight.find(requester);
    if (it == m_inFlight.end())
        return;
    GroupAction& run = *it->second.run;
    QJsonObject event = run.record(member, result);
    if (event.isEmpty())
        return;
    event.insert(QStringLiteral("group"), run.group());
    event.insert(QStringLiteral("action"), run.action());
    m_events.publish("group-result", event);
    if (!run.done())
        return;
    const HttpResponse response = jsonResponse(200, run.answer());
    const Respond respond = std::move(it->second.respond);
    m_inFlight.erase(it);
    respond(response);
}

} // namespace orva::hub
