#include "hub/PjlinkUdp.h"

#include "hub/PeerName.h"
#include "hub/PjlinkDatagrams.h"
#include "hub/PjlinkNotifier.h"
#include "hub/Projector.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <algorithm>

namespace orva::hub {

namespace {

// A datagram longer than a search is no search; reading a little more
// than one tells them apart.
constexpr qint64 MaxRead = 64;

// An IPv4 address as such, also when written as IPv6 (::ffff:10.1.2.3).
std::optional<QHostAddress> ipv4Of(const QHostAddress& address)
{
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? std::optional<QHostAddress>(QHostAddress(ipv4)) : std::nullopt;
}

std::vector<QHostAddress> ipv4Listens(const Projector& projector)
{
    std::vector<QHostAddress> addresses;
    for (const QString& text : projector.config().listen) {
        if (const auto address = ipv4Of(QHostAddress(text)))
            addresses.push_back(*address);
    }
    return addresses;
}

// Where a notification to `to` goes out from: a loopback listen address
// for a loopback target and another for any other (a datagram from
// 127.0.0.2 cannot leave the machine), else the first.
std::optional<QHostAddress> notifyFrom(const Projector& projector, const QHostAddress& to)
{
    const std::vector<QHostAddress> listens = ipv4Listens(projector);
    for (const QHostAddress& listen : listens) {
        if (listen.isLoopback() == to.isLoopback())
            return listen;
    }
    return listens.empty() ? std::nullopt : std::optional<QHostAddress>(listens.front());
}

bool answersSearches(const Projector& projector)
{
    const ProjectorConfig& config = projector.config();
    return config.pjlinkPort != 0 && config.pjlinkSearch.value_or(true);
}

// The listen address a projector answers a search from, when one is on the
// interface it came in on.
std::optional<QHostAddress> answerFrom(
    const Projector& projector, const QList<QNetworkAddressEntry>& entries, const QHostAddress& searcher)
{
    for (const QHostAddress& listen : ipv4Listens(projector)) {
        if (listen == QHostAddress(QHostAddress::AnyIPv4)) {
            const QNetworkAddressEntry* first = nullptr;
            for (const QNetworkAddressEntry& entry : entries) {
                if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                    continue;
                if (searcher.isInSubnet(entry.ip(), entry.prefixLength()))
                    return entry.ip();
                first = first ? first : &entry;
            }
            if (first)
                return first->ip();
            continue;
        }
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol
                && listen.isInSubnet(entry.ip(), entry.prefixLength()))
                return listen;
        }
    }
    return std::nullopt;
}

} // namespace

PjlinkUdp::PjlinkUdp(Clock& clock, const HubLog& log, QByteArray machineId, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_log(log)
    , m_machineId(std::move(machineId))
{
}

PjlinkUdp::~PjlinkUdp() = default;

bool PjlinkUdp::listen(quint16 port, QString* error)
{
    m_search.reset();
    m_port = port;
    if (port == 0)
        return true;
    m_search = std::make_unique<QUdpSocket>();
    // Shared with a PJLink controller on the same machine, which listens on
    // the same port for the answers to its own searches.
    if (!m_search->bind(QHostAddress::AnyIPv4, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = m_search->errorString();
        m_search.reset();
        return false;
    }
    connect(m_search.get(), &QUdpSocket::readyRead, this, &PjlinkUdp::readSearches);
    return true;
}

void PjlinkUdp::readSearches()
{
    while (m_search && m_search->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_search->receiveDatagram(MaxRead);
        if (!isPjlinkSearch(datagram.data()))
            continue;
        const auto searcher = ipv4Of(datagram.senderAddress());
        if (!searcher)
            continue;
        if (!m_limit.allow(searcher->toString(), m_clock.nowMs())) {
            const QString peer = QStringLiteral("pjlink-search ") + searcher->toString();
            m_log.refused({QString(), peer, QStringLiteral("searches"), QStringLiteral("more than one a second"),
                QStringLiteral("%1: search not answered: more than one a second").arg(peer)});
            continue;
        }
        answerSearch(*searcher, int(datagram.interfaceIndex()));
    }
}

void PjlinkUdp::answerSearch(const QHostAddress& searcher, int interfaceIndex)
{
    const QList<QNetworkAddressEntry> entries = QNetworkInterface::interfaceFromIndex(interfaceIndex).addressEntries();
    int answered = 0;
    for (const auto& notifier : m_notifiers) {
        const Projector& projector = notifier->projector();
        if (!answersSearches(projector))
            continue;
        if (const auto from = answerFrom(projector, entries, searcher)) {
            send(*from, searcher, pjlinkSearchAnswer(notifier->mac()));
            ++answered;
        }
    }
    if (m_log.verbose())
        m_log.debug(QString(), QStringLiteral("pjlink-search %1: %2 answered").arg(searcher.toString()).arg(answered));
}

void PjlinkUdp::send(const QHostAddress& from, const QHostAddress& to, const QByteArray& datagram)
{
    if (m_port == 0)
        return;
    QUdpSocket*& socket = m_senders[from];
    if (!socket) {
        socket = new QUdpSocket(this);
        if (!socket->bind(from, 0)) {
            m_log.warning(QString(),
                QStringLiteral("PJLink datagrams cannot be sent from %1: %2")
                    .arg(from.toString(), socket->errorString()));
            delete socket;
            m_senders.remove(from);
            return;
        }
    }
    if (!m_log.verbose()) {
        socket->writeDatagram(datagram, to, m_port);
        return;
    }
    const bool sent = socket->writeDatagram(datagram, to, m_port) >= 0;
    m_log.debug(QString(),
        QStringLiteral("%1 from %2 to %3%4")
            .arg(QString::fromLatin1(datagram.trimmed()), from.toString(), endpointName(to.toString(), m_port),
                sent ? QString() : QStringLiteral(" not sent: ") + socket->errorString()));
}

void PjlinkUdp::setServed(const std::vector<Projector*>& projectors)
{
    std::vector<std::unique_ptr<PjlinkNotifier>> next;
    for (Projector* projector : projectors) {
        const ProjectorConfig& config = projector->config();
        if (config.pjlinkPort == 0)
            continue;
        const auto kept = std::find_if(m_notifiers.begin(), m_notifiers.end(),
            [projector](const auto& notifier) { return notifier && &notifier->projector() == projector; });
        const bool isNew = kept == m_notifiers.end();
        std::unique_ptr<PjlinkNotifier> notifier;
        if (isNew) {
            notifier = std::make_unique<PjlinkNotifier>(
                *projector, m_clock, [this, projector](const QHostAddress& to, const QByteArray& datagram) {
                    const auto target = ipv4Of(to);
                    const auto from = target ? notifyFrom(*projector, *target) : std::nullopt;
                    if (from)
                        send(*from, *target, datagram);
                });
        } else {
            notifier = std::move(*kept);
        }
        notifier->setMac(config.mac.value_or(derivedMac(m_machineId, config.name)));
        QList<QHostAddress> configured;
        for (const QString& address : config.pjlinkNotify.value_or(QStringList()))
            configured.append(QHostAddress(address));
        notifier->setConfigured(configured);
        if (isNew)
            notifier->announce();
        next.push_back(std::move(notifier));
    }
    m_notifiers = std::move(next);
}

void PjlinkUdp::controllerServed(const Projector* projector, const QString& address)
{
    PjlinkNotifier* notifier = notifierOf(projector);
    const auto ipv4 = ipv4Of(QHostAddress(address));
    if (notifier && ipv4)
        notifier->controllerServed(*ipv4);
}

QString PjlinkUdp::macOf(const Projector& projector) const
{
    const PjlinkNotifier* notifier = notifierOf(&projector);
    return notifier ? notifier->mac() : QString();
}

PjlinkNotifier* PjlinkUdp::notifierOf(const Projector* projector) const
{
    const auto it = std::find_if(m_notifiers.begin(), m_notifiers.end(),
        [projector](const auto& notifier) { return &notifier->projector() == projector; });
    return it == m_notifiers.end() ? nullptr : it->get();
}

} // namespace orva::hub
