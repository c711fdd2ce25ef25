#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

class QSocketNotifier;
class QTcpSocket;
class QTimer;

namespace orva::hub {

// One accepted connection as a door uses it: what the peer sent, what the
// door writes back, and the connection's end. It owns the socket and is
// freed from the event loop once closed; what the door hangs on it (its
// session) goes with it.
//
// A peer may finish sending (shut down its side) and still wait for the
// answers to what it sent. Qt closes a socket, and drops what it had not
// written yet, as soon as the peer's end of stream arrives; so the socket is
// used for reading alone, and everything the door writes goes out through
// a duplicate of its descriptor, without blocking, with what the peer has
// not taken yet kept here. Once the peer finished, what it sent stays
// readable and peerFinished tells the door to stop waiting for more; the
// peer gets its end when the answers still due are out. The connection
// ends when the duplicate is closed, which release() does in every case.
class DoorConnection : public QObject
{
    Q_OBJECT
public:
    // How long a closed connection may take to hand over its last bytes.
    static constexpr int CloseGraceMs = 5000;

    // Takes the socket; maxUnread bounds what may wait unsent.
    DoorConnection(QTcpSocket* socket, qint64 maxUnread, QObject* parent = nullptr);
    ~DoorConnection() override;

    QTcpSocket& socket() { return *m_socket; }
    // What the peer sent and the door has not read, up to max bytes (all
    // with a negative max), also after the peer finished.
    QByteArray read(qint64 max = -1);
    qint64 bytesAvailable() const;
    // The peer sent its last byte.
    bool hasPeerFinished() const { return m_peerFinished; }
    // False when the peer leaves more than maxUnread bytes unread: the
    // door then closes it.
    bool write(const QByteArray& bytes);
    // Closes once what was written has gone out, or after CloseGraceMs;
    // frees the connection.
    void close();
    // Closes at once, dropping what the peer has not taken (it gets a
    // reset); frees the connection.
    void abort();

Q_SIGNALS:
    void readyRead();
    // The peer finished sending; what it sent before is still readable.
    void peerFinished();

private:
    void onPeerClosed();
    void flush();
    void release();

    QTcpSocket* m_socket; // a child, for reading
    const qint64 m_maxUnread;
    int m_fd = -1; // the duplicate, for writing
    QByteArray m_pending;
    std::unique_ptr<QSocketNotifier> m_writable;
    bool m_peerFinished = false;
    bool m_closing = false;
    bool m_released = false;
    bool m_reset = false; // aborted: the peer gets a reset, not the rest
};

} // namespace orva::hub
