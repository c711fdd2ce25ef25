#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace orva::bench {

// A blocking TCP client on 127.0.0.1: what a controller does, without Qt.
// Reads wait at most 10 s; a failed connection or read gives empty answers.
class BlockingClient
{
public:
    // from: the loopback address it connects from (127.0.0.FROM), as many
    // controllers come from many hosts and the doors bound each host.
    explicit BlockingClient(quint16 port, int from = 1);
    ~BlockingClient();
    BlockingClient(const BlockingClient&) = delete;
    BlockingClient& operator=(const BlockingClient&) = delete;

    bool ok() const { return m_fd >= 0; }
    bool send(const QByteArray& bytes);
    // The bytes up to and including the next carriage return; empty on failure.
    QByteArray line();
    // One HTTP response: its status line, or empty on failure; its body
    // goes to body when one is given.
    QByteArray httpResponse(QByteArray* body = nullptr);

private:
    bool readMore(qsizetype chunk);

    int m_fd = -1;
    QByteArray m_buffer;
};

} // namespace orva::bench
