#pragma once

#include "hub/Projector.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>

#include <cstdint>
#include <functional>
#include <vector>

namespace orva::hub {

// The HTTP door's live events, as Server-Sent Events: each value a watched
// projector reads anew is one "value" event, each change of its line or of
// whether it is up one "line" event (with why the line is down), and each
// end of the hub's own reads one "read" event with their time, changed
// values or not, so that a page can say how old what it shows is; all
// written to every stream. Events are
// numbered from 1 for the hub's life (the "id:" field), the snapshot that
// begins a stream included, so that a client can tell it missed none.
class HttpEvents : public QObject
{
    Q_OBJECT
public:
    // A time on the hub's clock as milliseconds since the epoch.
    using EpochOf = std::function<std::int64_t(std::int64_t hubMs)>;

    explicit HttpEvents(EpochOf epochOf, QObject* parent = nullptr);
    ~HttpEvents() override;

    // Watches these projectors from now on, and none watched before (a
    // projector no longer served may be gone).
    void watch(const std::vector<Projector*>& projectors);
    // The event that begins a stream: everything, as the caller gives it.
    QByteArray snapshot(const QJsonObject& everything);
    // Another event for every stream: a group action's result for one of
    // its projectors ("group-result") as it arrives.
    void publish(const char* name, const QJsonObject& data) { Q_EMIT published(next(name, data)); }

    // As the projector's JSON and its events say them: why its line is
    // down (null while it is open), when it last answered the hub's reads
    // (null before it did).
    static QJsonValue lineErrorOf(const Projector& projector);
    QJsonValue readAtOf(const Projector& projector) const;

Q_SIGNALS:
    // An event for every stream, as the bytes to write.
    void published(const QByteArray& bytes);

private:
    QByteArray next(const char* name, const QJsonObject& data);

    EpochOf m_epochOf;
    std::vector<QMetaObject::Connection> m_watching;
    quint64 m_nextId = 1;
};

} // namespace orva::hub
