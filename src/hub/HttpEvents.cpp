#include "hub/HttpEvents.h"

#include "engine/protocol/ValueNames.h"
#include "hub/HubJson.h"

#include <QJsonDocument>

namespace orva::hub {

HttpEvents::HttpEvents(EpochOf epochOf, QObject* parent)
    : QObject(parent)
    , m_epochOf(std::move(epochOf))
{
}

HttpEvents::~HttpEvents() = default;

void HttpEvents::watch(const std::vector<Projector*>& projectors)
{
    for (const QMetaObject::Connection& connection : m_watching)
        disconnect(connection);
    m_watching.clear();
    for (Projector* projector : projectors) {
        m_watching.push_back(connect(projector, &Projector::valueChanged, this, [this, projector](StatusQuery query) {
            const Projector::Cached& cached = projector->cached(query);
            QJsonObject data = valueJson(cached.value, m_epochOf(cached.readAtMs), m_epochOf(cached.sinceMs));
            data.insert(QStringLiteral("projector"), projector->name());
            data.insert(QStringLiteral("name"), QString(valueKey(query)));
            Q_EMIT published(next("value", data));
        }));
        m_watching.push_back(connect(projector, &Projector::lineChanged, this, [this, projector] {
            Q_EMIT published(next("line",
                QJsonObject{{QStringLiteral("projector"), projector->name()}, {QStringLiteral("up"), projector->isUp()},
                    {QStringLiteral("line_open"), projector->isLineOpen()},
                    {QStringLiteral("line_error"), lineErrorOf(*projector)}}));
        }));
        m_watching.push_back(connect(projector, &Projector::polled, this, [this, projector] {
            Q_EMIT published(next("read",
                QJsonObject{{QStringLiteral("projector"), projector->name()},
                    {QStringLiteral("read_at"), readAtOf(*projector)}}));
        }));
    }
}

QJsonValue HttpEvents::lineErrorOf(const Projector& projector)
{
    return projector.isLineOpen() ? QJsonValue() : QJsonValue(lineErrorJson(projector.lineError()));
}

QJsonValue HttpEvents::readAtOf(const Projector& projector) const
{
    return projector.lastPollAtMs() < 0 ? QJsonValue() : QJsonValue(isoTime(m_epochOf(projector.lastPollAtMs())));
}

QByteArray HttpEvents::snapshot(const QJsonObject& everything)
{
    return next("snapshot", everything);
}

QByteArray HttpEvents::next(const char* name, const QJsonObject& data)
{
    return QByteArray("id: ") + QByteArray::number(m_nextId++) + "\nevent: " + name
        + "\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact) + "\n\n";
}

} // namespace orva::hub
