#include "engine/line/NetworkLine.h"

#include <utility>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace orva {

namespace {

// The kind of a socket error while the connection is being made.
LineErrorKind connectingKind(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return LineErrorKind::ConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return LineErrorKind::HostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return LineErrorKind::NoAnswer;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::NetworkError:
        return LineErrorKind::Lost;
    default:
        return LineErrorKind::Other;
    }
}

} // namespace

NetworkLine::NetworkLine(QObject* parent)
    : SerialLine(parent)
{
    m_start.setSingleShot(true);
    m_start.setInterval(0);
    m_connectTimeout.setSingleShot(true);
    m_connectTimeout.setInterval(ConnectTimeoutMs);
    connect(&m_start, &QTimer::timeout, this, &NetworkLine::connectToServer);
    connect(&m_connectTimeout, &QTimer::timeout, this,
        [this] { fail(LineErrorKind::NoAnswer, QStringLiteral("Connection timed out")); });
    connect(&m_socket, &QAbstractSocket::connected, this, &NetworkLine::onConnected);
    connect(&m_socket, &QIODevice::readyRead, this, &NetworkLine::onReadyRead);
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, &NetworkLine::onSocketError);
    // A peer that closes without an error (an orderly shutdown) is a loss too.
    connect(&m_socket, &QAbstractSocket::disconnected, this, &NetworkLine::onSocketError);
}

NetworkLine::~NetworkLine()
{
    m_socket.abort();
}

bool NetworkLine::setSpeed(LineSpeed speed)
{
    if (m_state == State::Closed)
        return true; // the next opening brings its own
    m_speed = speed;
    // Over raw TCP the converter keeps its own speed; over RFC 2217 the new
    // speed goes out at once, or with the line settings once the server
    // takes the option.
    if (m_state == State::Connected && m_address.kind == LineAddress::Kind::Rfc2217
        && m_telnet.comPort() == TelnetCodec::ComPort::Accepted)
        send(TelnetCodec::setBaudRate(baudRate(speed)));
    return true;
}

bool NetworkLine::open(const LineAddress& address, LineSpeed speed)
{
    if (m_state != State::Closed)
        return true;
    if (!address.isNetwork()) {
        m_error = {LineErrorKind::Other, QStringLiteral("%1: not a network address").arg(address.text)};
        return false;
    }
    m_address = address;
    m_speed = speed;
    ++m_opening;
    m_telnet.reset();
    m_waiting.clear();
    m_received.clear();
    m_error = {};
    m_state = State::Starting;
    m_start.start();
    return true;
}

void NetworkLine::close()
{
    m_start.stop();
    m_connectTimeout.stop();
    m_state = State::Closed;
    m_waiting.clear();
    m_received.clear();
    m_socket.abort();
}

void NetworkLine::connectToServer()
{
    m_state = State::Connecting;
    m_connectTimeout.start();
    // A host name is looked up on Qt's own lookup thread; the connection is
    // made without blocking.
    m_socket.connectToHost(m_address.host, m_address.port);
}

void NetworkLine::onConnected()
{
    if (m_state != State::Connecting)
        return;
    m_connectTimeout.stop();
    m_state = State::Connected;
    setUpSocket();
    QByteArray first;
    if (m_address.kind == LineAddress::Kind::Rfc2217)
        first = m_telnet.opening() + TelnetCodec::escape(m_waiting);
    else
        first = m_waiting;
    m_waiting.clear();
    send(first);
}

void NetworkLine::setUpSocket()
{
    // Frames are small and each press should leave at once.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    // A peer that vanished without a word (cable pulled, server powered off)
    // is found within about a minute: probes after KeepAliveIdleS of
    // silence, KeepAliveIntervalS apart, KeepAliveCount unanswered. Data
    // sent and never acknowledged gives up after the same minute.
    const int fd = int(m_socket.socketDescriptor());
    const int idle = KeepAliveIdleS;
    const int interval = KeepAliveIntervalS;
    const int count = KeepAliveCount;
    const unsigned int userTimeoutMs = (KeepAliveIdleS + KeepAliveIntervalS * KeepAliveCount) * 1000;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
#endif
}

bool NetworkLine::send(const QByteArray& wire)
{
    if (wire.isEmpty())
        return true;
    if (m_socket.write(wire) != wire.size())
        return false;
    // QTcpSocket would write at the next turn of the event loop; a held
    // button's repeat is paced by its timer, so the bytes leave now. A fault
    // found on the way comes back through onSocketError().
    m_socket.flush();
    return true;
}

bool NetworkLine::write(const QString& text)
{
    const QByteArray bytes = toLineBytes(text);
    switch (m_state) {
    case State::Closed:
        m_error = {LineErrorKind::WriteFailed, QStringLiteral("Port is not open")};
        return false;
    case State::Starting:
    case State::Connecting:
        if (m_waiting.size() + bytes.size() > MaxWaitingBytes) {
            m_error = {
                LineErrorKind::WriteFailed, described(QStringLiteral("still connecting; the output buffer is full"))};
            return false;
        }
        m_waiting.append(bytes);
        return true;
    case State::Connected:
        break;
    }
    if (!send(m_address.kind == LineAddress::Kind::Rfc2217 ? TelnetCodec::escape(bytes) : bytes)) {
        m_error = {LineErrorKind::WriteFailed, described(m_socket.errorString())};
        return false;
    }
    return true;
}

QString NetworkLine::readAll()
{
    return fromLineBytes(std::exchange(m_received, QByteArray()));
}

void NetworkLine::onReadyRead()
{
    if (m_state != State::Connected)
        return;
    const QByteArray chunk = m_socket.readAll();
    if (m_address.kind == LineAddress::Kind::Tcp) {
        m_received.append(chunk);
        if (!chunk.isEmpty())
            Q_EMIT received();
        return;
    }
    TelnetCodec::Decoded decoded;
    m_telnet.decode(chunk, decoded);
    QByteArray answer = decoded.reply;
    if (decoded.comPortAccepted)
        answer += TelnetCodec::lineSettings(baudRate(m_speed));
    send(answer);
    if (decoded.comPortRefused)
        tellLater(&SerialLine::settingsRefused,
            described(QStringLiteral("the server refused the Com Port Control option; the line runs at "
                                     "the server's own settings")));
    if (!decoded.data.isEmpty()) {
        m_received.append(decoded.data);
        Q_EMIT received();
    }
}

void NetworkLine::onSocketError()
{
    if (m_state == State::Connecting) {
        fail(connectingKind(m_socket.error()), m_socket.errorString());
    } else if (m_state == State::Connected) {
        // The server closed the connection or went away; an error on a
        // connection that still stands (a write the kernel refused) ends it
        // as well, as nothing would get through it.
        const QString reason = m_socket.error() == QAbstractSocket::UnknownSocketError
            ? QStringLiteral("The connection was closed")
            : m_socket.errorString();
        close();
        m_error = {LineErrorKind::Lost, described(reason)};
        tellLater(&SerialLine::deviceLost, m_error);
    }
}

void NetworkLine::fail(LineErrorKind kind, const QString& reason)
{
    if (m_state != State::Connecting)
        return;
    close();
    m_error = {kind, described(reason)};
    tellLater(&SerialLine::openFailed, m_error);
}

void NetworkLine::tellLater(void (SerialLine::*signal)(const LineError&), const LineError& error)
{
    QMetaObject::invokeMethod(
        this,
        [this, signal, error, opening = m_opening] {
            if (opening == m_opening)
                Q_EMIT(this->*signal)(error);
        },
        Qt::QueuedConnection);
}

void NetworkLine::tellLater(void (SerialLine::*signal)(const QString&), const QString& description)
{
    QMetaObject::invokeMethod(
        this,
        [this, signal, description, opening = m_opening] {
            if (opening == m_opening)
                Q_EMIT(this->*signal)(description);
        },
        Qt::QueuedConnection);
}

} // namespace orva
