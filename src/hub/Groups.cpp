#include "hub/Groups.h"

#include "hub/Projector.h"

#include <map>

namespace orva::hub {

std::vector<Group> groupsOf(const std::vector<Projector*>& served)
{
    std::map<QString, std::vector<Projector*>> named;
    for (Projector* projector : served) {
        for (const QString& group : projector->config().groups)
            named[group].push_back(projector);
    }
    std::vector<Group> all{Group{QString::fromLatin1(AllGroup), served}};
    for (auto& [name, members] : named)
        all.push_back(Group{name, std::move(members)});
    return all;
}

std::optional<std::vector<Projector*>> membersOf(const QString& group, const std::vector<Projector*>& served)
{
    if (group == QLatin1String(AllGroup))
        return served.empty() ? std::nullopt : std::optional(served);
    std::vector<Projector*> members;
    for (Projector* projector : served) {
        if (projector->config().groups.contains(group))
            members.push_back(projector);
    }
    return members.empty() ? std::nullopt : std::optional(std::move(members));
}

} // namespace orva::hub
