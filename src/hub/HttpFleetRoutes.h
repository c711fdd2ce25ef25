#pragma once

#include "hub/HttpEvents.h"
#include "hub/HttpMessage.h"
#include "hub/HubLog.h"
#include "hub/Projector.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace orva::hub {

class GroupAction;

// The HTTP door's routes over groups of projectors rather than one:
//
//   GET  /api/groups                       each group (and "all") with its members
//   POST /api/groups/GROUP/actions/ACTION  the action on every member at once
//
// A group action runs on every member's own queue at once (GroupAction),
// publishes each member's result as a "group-result" event as it comes,
// and answers once every member has one: 200 even when some failed, 404 for
// a group or action there is not. One group action a connection at a time.
// HttpApi routes the requests here and decides who may make them.
class HttpFleetRoutes
{
public:
    using Respond = std::function<void(const HttpResponse&)>;

    HttpFleetRoutes(HttpEvents& events, const HubLog& log);
    ~HttpFleetRoutes();

    HttpResponse groups(const std::vector<Projector*>& served) const;
    // who names the requester in the audit (a token's holder, or "local").
    void groupAction(const QString& group, const QString& action, const std::vector<Projector*>& served,
        Projector::Requester requester, const QString& peer, const QString& who, Respond respond);

    // After a reload: a waiting member no longer served has its result now.
    void setServed(const std::vector<Projector*>& served);
    // A connection went away: its group action is dropped unanswered.
    void forget(Projector::Requester requester);

private:
    void finishMember(Projector::Requester requester, const Projector* member, const QJsonObject& result);

    HttpEvents& m_events;
    const HubLog& m_log;
    // Each connection's group action waiting for its members (one at most).
    struct InFlight
    {
        std::unique_ptr<GroupAction> run;
        Respond respond;
    };
    std::map<Projector::Requester, InFlight> m_inFlight;
};

} // namespace orva::hub
