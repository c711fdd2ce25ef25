#include "hub/ShareSession.h"

#include "engine/protocol/ReplyRules.h"

#include <algorithm>

namespace orva::hub {

ShareSession::ShareSession(Projector& projector, const HubLog& log, Projector::Requester requester, QString peer,
    Write write, Close close, QObject* parent)
    : QObject(parent)
    , m_projector(projector)
    , m_log(log)
    , m_requester(requester)
    , m_peer(std::move(peer))
    , m_write(std::move(write))
    , m_close(std::move(close))
{
    // Late characters belong to whoever sent the last frame.
    connect(&m_projector, &Projector::lateReply, this, [this](Projector::Requester lastBy, const QString& characters) {
        if (lastBy == m_requester)
            this->write(characters.toLatin1());
    });
}

ShareSession::~ShareSession()
{
    // No answer of the projector reaches a session that is gone.
    m_projector.forget(m_requester);
}

void ShareSession::receive(const QByteArray& bytes)
{
    if (m_closed)
        return;
    for (const ShareFraming::Piece& piece : m_framing.take(bytes)) {
        // A write below may have closed the session: what is left of the
        // chunk is the input of a client that is gone.
        if (m_closed)
            return;
        if (piece.refused)
            refuse(QStringLiteral("a frame over %1 bytes").arg(ShareFraming::MaxFrame));
        else
            send(piece.frame);
    }
}

void ShareSession::send(const QByteArray& frame)
{
    const QByteArray code = frame.chopped(1);
    // The line carries ASCII; a byte beyond it would reach the projector
    // changed, so the frame is refused instead.
    if (std::any_of(code.begin(), code.end(), [](char c) { return static_cast<unsigned char>(c) > 127; })) {
        m_projector.auditUnsent(
            m_requester, m_peer, QString::fromLatin1(code), QStringLiteral("refused"), QStringLiteral("not-ascii"));
        refuse(QStringLiteral("not ASCII"));
        return;
    }
    ++m_outstanding;
    m_projector.submit(m_requester, m_peer,
        ExchangeRequest::ofCode(QString::fromLatin1(code), m_projector.replyTimeoutMs()),
        [this](const ExchangeResult& result) {
            --m_outstanding;
            if (result.outcome == ExchangeOutcome::QueueFull)
                write(QByteArray(1, char(Nak.unicode())));
            else if (!result.reply.isEmpty())
                write(result.reply.toLatin1());
            if (m_inputDone && m_outstanding == 0)
                close(QStringLiteral("closed"));
        });
}

void ShareSession::refuse(const QString& why)
{
    // Told through the refusal log: a client may send such frames by the
    // million.
    m_log.refused({m_projector.name(), m_peer, QStringLiteral("frames"), why,
        QStringLiteral("%1: refused a frame: %2").arg(m_peer, why)});
    write(QByteArray(1, char(Nak.unicode())));
}

void ShareSession::write(const QByteArray& bytes)
{
    if (m_closed || bytes.isEmpty())
        return;
    if (!m_write(bytes))
        close(QStringLiteral("closed: it does not read its replies"), false);
}

void ShareSession::finishInput()
{
    m_inputDone = true;
    if (m_outstanding == 0)
        close(QStringLiteral("closed"));
}

void ShareSession::close(const QString& why, bool flush)
{
    if (m_closed)
        return;
    m_closed = true;
    m_projector.forget(m_requester);
    m_outstanding = 0;
    m_close(why, flush);
}

} // namespace orva::hub
