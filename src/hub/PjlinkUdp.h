#pragma once

#include "engine/timing/IntervalTimer.h"
#include "hub/HubLog.h"
#include "hub/SearchLimit.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QUdpSocket;

namespace orva::hub {

class PjlinkNotifier;
class Projector;

// PJLink class 2 over UDP for every projector with a PJLink door: the
// search and the notifications.
//
// Search: one socket on the port, on every IPv4 address (0.0.0.0), so that
// it hears broadcasts too. "%2SRCH" is answered by each projector with
// pjlink-search on (the default while its door is) that has a listen
// address in a network of the interface the search came in on, one
// datagram each, "%2ACKN=MAC" to the port of the searcher's address, sent
// from that listen address. A projector listening on 0.0.0.0 answers from
// the interface's address in the searcher's network (else its first).
// One address is answered at most once a second (SearchLimit); anything
// but a search is ignored.
//
// Notifications: a PjlinkNotifier for each projector, made when its door is
// there (and told to announce itself), sent from its IPv4 listen address
// (a loopback one to a loopback target, another to the rest) to the port
// of each target.
class PjlinkUdp : public QObject
{
    Q_OBJECT
public:
    PjlinkUdp(Clock& clock, const HubLog& log, QByteArray machineId, QObject* parent = nullptr);
    ~PjlinkUdp() override;

    // Binds the search's socket; port 0 binds nothing and sends nothing.
    // False, with the reason, when it cannot be bound.
    bool listen(quint16 port, QString* error);
    quint16 port() const { return m_port; }

    // The projectors served now. Each with a PJLink door keeps its notifier
    // (its MAC and targets brought up to date) or gets one, which
    // announces itself; the others lose theirs.
    void setServed(const std::vector<Projector*>& projectors);
    // A controller's request was taken by that projector's PJLink door.
    void controllerServed(const Projector* projector, const QString& address);
    // The hardware address a projector answers searches with.
    QString macOf(const Projector& projector) const;

private:
    void readSearches();
    void answerSearch(const QHostAddress& searcher, int interfaceIndex);
    void send(const QHostAddress& from, const QHostAddress& to, const QByteArray& datagram);
    PjlinkNotifier* notifierOf(const Projector* projector) const;

    Clock& m_clock;
    const HubLog& m_log;
    const QByteArray m_machineId;
    quint16 m_port = 0;
    std::unique_ptr<QUdpSocket> m_search;
    SearchLimit m_limit;
    std::vector<std::unique_ptr<PjlinkNotifier>> m_notifiers;
    // A socket for each address the hub sends from, bound to it.
    QHash<QHostAddress, QUdpSocket*> m_senders;
};

} // namespace orva::hub
