#pragma once

#include "hub/HubLog.h"
#include "hub/Projector.h"
#include "hub/ShareFraming.h"

#include <QByteArray>
#include <QObject>

#include <functional>

namespace orva::hub {

// One share-door client, apart from its socket: cuts its bytes into frames,
// hands each to the projector's queue as this client's requests, and writes
// back exactly what the projector answered, late replies included. A frame
// refused (too long, not ASCII, too many queued) is answered by one NAK; a
// frame the projector does not answer gets no reply, as on a line of one's
// own.
//
// Every write goes through write, which says whether the client still
// reads; when it does not, the session closes. A client that finished
// sending (finishInput) still gets the answers to what it sent, and the
// session closes once they are written. Once closed it takes no more input
// and writes nothing more, and its requests are withdrawn; the owner frees
// it from the event loop, never from inside one of its calls.
class ShareSession : public QObject
{
    Q_OBJECT
public:
    // False: the client leaves too much unread, and is to be closed.
    using Write = std::function<bool(const QByteArray&)>;
    // flush: whether what was written may still go out (false for a client
    // closed because it does not read).
    using Close = std::function<void(const QString& why, bool flush)>;

    ShareSession(Projector& projector, const HubLog& log, Projector::Requester requester, QString peer, Write write,
        Close close, QObject* parent = nullptr);
    ~ShareSession() override;

    // Bytes from the client.
    void receive(const QByteArray& bytes);
    // The client sent its last byte: the session closes once the answers to
    // what it sent are written.
    void finishInput();
    // Ends the session: its requests are withdrawn, close is called once.
    void close(const QString& why, bool flush = true);
    bool isClosed() const { return m_closed; }
    // Requests of this client in the projector's queue or on the line.
    int outstanding() const { return m_outstanding; }

private:
    void send(const QByteArray& frame);
    void refuse(const QString& why);
    void write(const QByteArray& bytes);

    Projector& m_projector;
    const HubLog& m_log;
    const Projector::Requester m_requester;
    const QString m_peer;
    Write m_write;
    Close m_close;
    ShareFraming m_framing;
    int m_outstanding = 0;
    bool m_inputDone = false;
    bool m_closed = false;
};

} // namespace orva::hub
