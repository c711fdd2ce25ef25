#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace orva::hub {

class Projector;

// The groups the served projectors name in their configuration, and "all",
// which every projector is in without naming it. A group exists while a
// projector is in it; members keep the order the projectors are served in.
struct Group
{
    QString name;
    std::vector<Projector*> members;
};

inline constexpr char AllGroup[] = "all";

// Every group: "all" first, then the others by name.
std::vector<Group> groupsOf(const std::vector<Projector*>& served);

// The members of one group; none when no projector is in it.
std::optional<std::vector<Projector*>> membersOf(const QString& group, const std::vector<Projector*>& served);

} // namespace orva::hub
