#pragma once

#include "engine/protocol/Commands.h"
#include "engine/timing/IntervalTimer.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

namespace orva::hub {

class Projector;

// What one projector tells PJLink class 2 controllers without being asked:
// "%2LKUP=MAC" when announce() is called (its PJLink door starts), and a
// notification whenever a value it reads comes out differently in PJLink:
//
//   POWR  the power digit of the power state (0 1 2 3)
//   ERST  the six error digits of the power state
//   INPT  the class 2 input code: the input read, with the source the
//         hub picked last, so a source switch counts once acknowledged
//
// Values are those the projector reads (its poller, or a door's query): a
// change is told once, when it is read, never more often than that. What
// was known when the notifier was made, or first read after, is where it
// starts from, not a change.
//
// The targets are the configured addresses and every controller that was
// served by the projector's PJLink door within RememberMs, at most
// MaxControllers of them (the one seen longest ago goes first).
class PjlinkNotifier : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxControllers = 64;
    static constexpr std::int64_t RememberMs = 24LL * 3600 * 1000;

    using Send = std::function<void(const QHostAddress& to, const QByteArray& datagram)>;

    PjlinkNotifier(Projector& projector, Clock& clock, Send send, QObject* parent = nullptr);

    Projector& projector() const { return m_projector; }
    void setMac(const QString& mac) { m_mac = mac; }
    const QString& mac() const { return m_mac; }
    void setConfigured(const QList<QHostAddress>& addresses) { m_configured = addresses; }
    // A controller's request was taken by the PJLink door (past its password).
    void controllerServed(const QHostAddress& address);
    // "%2LKUP=MAC" to every target.
    void announce();
    // Every address notified now, each once, the configured ones first.
    QList<QHostAddress> targets();

private:
    struct Seen
    {
        QHostAddress address;
        std::int64_t atMs;
    };

    void onValueChanged(StatusQuery query);
    void onAcknowledged(Command command);
    void recheckInput();
    std::optional<QByteArray> inputCode() const;
    void tell(const char* body, std::optional<QByteArray>& told, const std::optional<QByteArray>& now);

    Projector& m_projector;
    Clock& m_clock;
    Send m_send;
    QString m_mac;
    QList<QHostAddress> m_configured;
    QList<Seen> m_controllers; // the one seen longest ago first
    // What the controllers were told (or the first value known) of each.
    std::optional<QByteArray> m_power;
    std::optional<QByteArray> m_errors;
    std::optional<QByteArray> m_input;
};

} // namespace orva::hub
