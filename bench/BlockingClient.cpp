#include "BlockingClient.h"

#include <QRegularExpression>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orva::bench {

BlockingClient::BlockingClient(quint16 port, int from)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(INADDR_LOOPBACK - 1 + quint32(from));
    // Should the address not be had, the system picks one: the bench
    // then shows the door's bound as lost replies.
    (void)::bind(m_fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval patience{10, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

BlockingClient::~BlockingClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool BlockingClient::send(const QByteArray& bytes)
{
    return ::write(m_fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
}

bool BlockingClient::readMore(qsizetype chunk)
{
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + chunk);
    const ssize_t got = ::read(m_fd, m_buffer.data() + had, std::size_t(chunk));
    m_buffer.resize(had + std::max<qsizetype>(got, 0));
    return got > 0;
}

QByteArray BlockingClient::line()
{
    for (;;) {
        if (const qsizetype end = m_buffer.indexOf('\r'); end >= 0) {
            QByteArray line = m_buffer.first(end + 1);
            m_buffer.remove(0, end + 1);
            return line;
        }
        if (!readMore(512))
            return QByteArray();
    }
}

QByteArray BlockingClient::httpResponse(QByteArray* body)
{
    qsizetype headEnd = -1;
    while ((headEnd = m_buffer.indexOf("\r\n\r\n")) < 0) {
        if (!readMore(4096))
            return QByteArray();
    }
    static const QRegularExpression length(QStringLiteral("\r\nContent-Length: (\\d+)"));
    const QRegularExpressionMatch match = length.match(QString::fromLatin1(m_buffer.first(headEnd)));
    const qsizetype total = headEnd + 4 + (match.hasMatch() ? match.captured(1).toLongLong() : 0);
    // A large body (the metrics of a big fleet) in large reads.
    while (m_buffer.size() < total) {
        if (!readMore(std::max<qsizetype>(4096, total - m_buffer.size())))
            return QByteArray();
    }
    QByteArray status = m_buffer.first(m_buffer.indexOf("\r\n"));
    if (body)
        *body = m_buffer.sliced(headEnd + 4, total - headEnd - 4);
    m_buffer.remove(0, total);
    return status;
}

} // namespace orva::bench
