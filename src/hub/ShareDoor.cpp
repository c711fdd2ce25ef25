#include "hub/ShareDoor.h"

#include "engine/protocol/ReplyRules.h"
#include "hub/Projector.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

namespace orva::hub {

namespace {

constexpr char NakByte = 21;

// Requesters of the share door are numbered apart from those of other
// doors: the top bits name the door.
constexpr quint64 ShareRequesters = Projector::requestersOf(Projector::Door::Share);

QString peerOf(const QTcpSocket& socket)
{
    return QStringLiteral("share %1:%2").arg(socket.peerAddress().toString()).arg(socket.peerPort());
}

} // namespace

struct ShareDoor::Client
{
    Projector::Requester id = 0;
    QString peer;
    QTcpSocket* socket = nullptr; // owned by its server (or the door, once moved) until dropped
    ShareFraming framing;
};

ShareDoor::ShareDoor(Projector& projector, const HubLog& log, QObject* parent)
    : TcpDoor(parent)
    , m_projector(projector)
    , m_log(log)
{
    // Late characters belong to whoever sent the last frame.
    connect(
        &m_projector, &Projector::lateReply, this, [this](Projector::Requester requester, const QString& characters) {
            for (const auto& client : m_clients) {
                if (client->id == requester)
                    client->socket->write(characters.toLatin1());
            }
        });
}

ShareDoor::~ShareDoor()
{
    for (const auto& client : m_clients)
        m_projector.forget(client->id);
}

void ShareDoor::onNewConnection(QTcpServer& server)
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        const QString peer = peerOf(*socket);
        if (!admit(*socket, peer))
            continue;
        if (int(m_clients.size()) >= MaxClients) {
            m_log.warning(
                m_projector.name(), QStringLiteral("%1: refused: %2 share clients already").arg(peer).arg(MaxClients));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto client = std::make_unique<Client>();
        client->id = ShareRequesters | m_nextClient++;
        client->peer = peer;
        client->socket = socket;
        Client& added = *client;
        m_clients.push_back(std::move(client));
        m_log.info(m_projector.name(), QStringLiteral("%1: connected").arg(peer));
        connect(socket, &QTcpSocket::readyRead, this, [this, &added] { onReadable(added); });
        connect(socket, &QTcpSocket::disconnected, this, [this, &added] { drop(added, QStringLiteral("closed")); });
    }
}

void ShareDoor::setAllowed(const AddressRanges& allowed)
{
    m_allowed = allowed;
    std::vector<Client*> outside;
    for (const auto& client : m_clients) {
        if (!m_allowed.admits(client->socket->peerAddress()))
            outside.push_back(client.get());
    }
    for (Client* client : outside)
        drop(*client, QStringLiteral("closed: its network is no longer allowed (share-allow)"));
}

// The share door has no authentication: who may use it is told by where
// the connection comes from, before anything of it is read.
bool ShareDoor::admit(QTcpSocket& socket, const QString& peer)
{
    if (m_allowed.admits(socket.peerAddress()))
        return true;
    m_log.warning(m_projector.name(), QStringLiteral("%1: refused: not in share-allow").arg(peer));
    socket.abort();
    socket.deleteLater();
    return false;
}

void ShareDoor::onReadable(Client& client)
{
    const QByteArray chunk = client.socket->readAll();
    for (const ShareFraming::Piece& piece : client.framing.take(chunk)) {
        if (piece.refused) {
            m_log.warning(m_projector.name(),
                QStringLiteral("%1: refused a frame over %2 bytes").arg(client.peer).arg(ShareFraming::MaxFrame));
            client.socket->write(&NakByte, 1);
            continue;
        }
        sendFrame(client, piece.frame);
    }
}

void ShareDoor::sendFrame(Client& client, const QByteArray& frame)
{
    const QByteArray code = frame.chopped(1);
    // The line carries ASCII; a byte beyond it would reach the projector
    // changed, so the frame is refused instead.
    if (std::any_of(code.begin(), code.end(), [](char c) { return static_cast<unsigned char>(c) > 127; })) {
        m_log.warning(m_projector.name(), QStringLiteral("%1: refused a frame that is not ASCII").arg(client.peer));
        client.socket->write(&NakByte, 1);
        return;
    }
    QTcpSocket* socket = client.socket;
    const Projector::Requester id = client.id;
    m_projector.submit(id, client.peer,
        ExchangeRequest::ofCode(QString::fromLatin1(code), m_projector.replyTimeoutMs()),
        [this, socket, id](const ExchangeResult& result) {
            // The client may have gone since; its requests were forgotten then.
            const auto it = std::find_if(
                m_clients.begin(), m_clients.end(), [id](const std::unique_ptr<Client>& c) { return c->id == id; });
            if (it == m_clients.end() || (*it)->socket != socket)
                return;
            if (result.outcome == ExchangeOutcome::QueueFull) {
                socket->write(&NakByte, 1);
                return;
            }
            if (!result.reply.isEmpty())
                socket->write(result.reply.toLatin1());
            if (socket->bytesToWrite() > MaxUnread)
                drop(**it, QStringLiteral("closed: it does not read its replies"));
        });
}

void ShareDoor::drop(Client& client, const QString& why)
{
    const auto it = std::find_if(
        m_clients.begin(), m_clients.end(), [&client](const std::unique_ptr<Client>& c) { return c.get() == &client; });
    if (it == m_clients.end())
        return;
    m_log.info(m_projector.name(), QStringLiteral("%1: %2").arg(client.peer, why));
    m_projector.forget(client.id);
    QTcpSocket* socket = client.socket;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    m_clients.erase(it);
}

} // namespace orva::hub
