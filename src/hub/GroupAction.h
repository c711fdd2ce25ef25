#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <vector>

namespace orva::hub {

class Projector;

// One action on every member of a group, as its results come in, one a
// member in any order. Done once every member has one; the answer lists
// them in the members' order:
//   {"group", "action", "results": [{"projector", "ok", "error",
//    "error_kind", "ms"}, ...]}
class GroupAction
{
public:
    GroupAction(QString group, QString action, std::vector<Projector*> members);

    const QString& group() const { return m_group; }
    const QString& action() const { return m_action; }
    // The members still without a result.
    std::vector<Projector*> pending() const;

    // A member's result (as the one-projector route answers it: its "ok",
    // "error", "error_kind" and "ms" are kept); the first one counts. Returns
    // the entry kept, or an empty object for a repeated or unknown member.
    QJsonObject record(const Projector* member, const QJsonObject& result);
    bool done() const { return m_missing == 0; }
    QJsonObject answer() const;

private:
    QString m_group;
    QString m_action;
    std::vector<Projector*> m_members;
    std::vector<QJsonObject> m_results; // by member; empty: none yet
    std::size_t m_missing = 0;
};

} // namespace orva::hub
