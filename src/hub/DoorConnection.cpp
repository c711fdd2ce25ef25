#include "hub/DoorConnection.h"

#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orva::hub {

DoorConnection::DoorConnection(QTcpSocket* socket, qint64 maxUnread, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_maxUnread(maxUnread)
{
    m_socket->setParent(this);
    if (m_socket->socketDescriptor() >= 0)
        m_fd = ::fcntl(int(m_socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (m_fd >= 0) {
        m_writable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
        m_writable->setEnabled(false);
        connect(m_writable.get(), &QSocketNotifier::activated, this, &DoorConnection::flush);
    }
    connect(m_socket, &QTcpSocket::readyRead, this, &DoorConnection::readyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &DoorConnection::onPeerClosed);
}

DoorConnection::~DoorConnection()
{
    m_writable.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray DoorConnection::read(qint64 max)
{
    return max < 0 ? m_socket->readAll() : m_socket->read(max);
}

qint64 DoorConnection::bytesAvailable() const
{
    return m_socket->bytesAvailable();
}

void DoorConnection::onPeerClosed()
{
    if (m_closing)
        return;
    m_peerFinished = true;
    Q_EMIT peerFinished();
}

bool DoorConnection::write(const QByteArray& bytes)
{
    if (m_closing || m_fd < 0)
        return true; // nothing more to say, or nobody to say it to
    m_pending += bytes;
    flush();
    return m_pending.size() <= m_maxUnread;
}

void DoorConnection::flush()
{
    while (m_fd >= 0 && !m_pending.isEmpty()) {
        const ssize_t sent
            = ::send(m_fd, m_pending.constData(), std::size_t(m_pending.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0) {
            m_pending.remove(0, sent);
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            m_writable->setEnabled(true);
            return;
        }
        // The peer is gone altogether: nothing written will reach it.
        m_pending.clear();
    }
    if (m_writable)
        m_writable->setEnabled(false);
    if (m_closing)
        release();
}

void DoorConnection::close()
{
    if (m_closing)
        return;
    m_closing = true;
    auto* grace = new QTimer(this);
    grace->setSingleShot(true);
    connect(grace, &QTimer::timeout, this, &DoorConnection::release);
    grace->start(CloseGraceMs);
    flush();
}

void DoorConnection::abort()
{
    m_closing = true;
    m_pending.clear();
    // At once: what waits in the system for the peer is dropped too, and
    // the peer is told by a reset, which it sees even while it reads
    // nothing.
    if (m_fd >= 0) {
        const linger immediately{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &immediately, sizeof immediately);
    }
    m_reset = true;
    release();
}

void DoorConnection::release()
{
    if (m_released)
        return;
    m_released = true;
    m_closing = true;
    m_socket->disconnect(this);
    m_socket->abort();
    // The connection ends with the last descriptor of it; what was written
    // has gone out before the end.
    m_writable.reset();
    if (m_fd >= 0) {
        if (!m_reset)
            ::shutdown(m_fd, SHUT_WR);
        ::close(m_fd);
        m_fd = -1;
    }
    deleteLater();
}

} // namespace orva::hub
