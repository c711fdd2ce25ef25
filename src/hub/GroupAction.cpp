#include "hub/GroupAction.h"

#include "hub/Projector.h"

#include <algorithm>

namespace orva::hub {

GroupAction::GroupAction(QString group, QString action, std::vector<Projector*> members)
    : m_group(std::move(group))
    , m_action(std::move(action))
    , m_members(std::move(members))
    , m_results(m_members.size())
    , m_missing(m_members.size())
{
}

std::vector<Projector*> GroupAction::pending() const
{
    std::vector<Projector*> out;
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        if (m_results[i].isEmpty())
            out.push_back(m_members[i]);
    }
    return out;
}

QJsonObject GroupAction::record(const Projector* member, const QJsonObject& result)
{
    const auto it = std::find(m_members.begin(), m_members.end(), member);
    if (it == m_members.end())
        return {};
    QJsonObject& slot = m_results[std::size_t(it - m_members.begin())];
    if (!slot.isEmpty())
        return {};
    slot = QJsonObject{{QStringLiteral("projector"), member->name()}};
    for (const char* key : {"ok", "error", "error_kind", "ms"})
        slot.insert(QLatin1String(key), result.value(QLatin1String(key)));
    --m_missing;
    return slot;
}

QJsonObject GroupAction::answer() const
{
    QJsonArray results;
    for (const QJsonObject& result : m_results)
        results.append(result);
    return QJsonObject{
        {QStringLiteral("group"), m_group}, {QStringLiteral("action"), m_action}, {QStringLiteral("results"), results}};
}

} // namespace orva::hub
