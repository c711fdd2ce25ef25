#pragma once

#include "engine/line/LineAddress.h"
#include "engine/line/SerialLine.h"
#include "engine/line/TelnetCodec.h"

#include <QTcpSocket>
#include <QTimer>

namespace orva {

// The serial line on a network serial server: ser2net or a hardware
// converter holding the projector's RS-232C port, reached over TCP at the
// address it is opened on (rfc2217://HOST:PORT or tcp://HOST:PORT).
// Everything runs on the thread of the event loop; nothing waits.
//
//  - open() only starts the connection (from the event loop, so that a
//    close() straight after costs no connection) and returns true. A
//    connection refused (connection-refused), a host name that does not
//    resolve (host-not-found), or no answer within ConnectTimeoutMs
//    (no-answer) is told by openFailed() and closes the line.
//  - Frames written while the connection is being made wait, up to
//    MaxWaitingBytes (the output buffer of a serial port), and go out once
//    it stands; beyond that write() refuses them. A failed connection drops
//    them.
//  - rfc2217: Telnet with the Com Port Control option (TelnetCodec). Once
//    the server accepts the option the line is set to the current speed, 8
//    data bits, no parity, 1 stop bit, and setSpeed() sends a new speed at
//    once. A server that refuses the option still carries the data: told
//    once by settingsRefused().
//  - tcp: raw bytes both ways; the speed changes nothing on the wire (the
//    converter is set up on its own).
//  - A connection lost while open (the server stopped, a reset, a peer that
//    vanished silently, found by TCP keep-alive: KeepAliveIdleS of silence,
//    then KeepAliveCount probes KeepAliveIntervalS apart) closes the line and
//    is told once by deviceLost(), as lost.
// Every description starts with the address as the operator wrote it.
class NetworkLine final : public SerialLine
{
    Q_OBJECT
public:
    static constexpr int ConnectTimeoutMs = 3000;
    static constexpr int KeepAliveIdleS = 30;
    static constexpr int KeepAliveIntervalS = 10;
    static constexpr int KeepAliveCount = 3;
    static constexpr qsizetype MaxWaitingBytes = 512;

    explicit NetworkLine(QObject* parent = nullptr);
    ~NetworkLine() override;

    [[nodiscard]] bool open(const LineAddress& address, LineSpeed speed) override;
    bool isOpen() const override { return m_state != State::Closed; }
    void close() override;

    bool setSpeed(LineSpeed speed) override;

    bool write(const QString& text) override;
    QString readAll() override;
    LineError lastError() const override { return m_error; }

private:
    enum class State { Closed, Starting, Connecting, Connected };

    void connectToServer();
    void onConnected();
    void onReadyRead();
    void onSocketError();
    void fail(LineErrorKind kind, const QString& reason);
    void setUpSocket();
    bool send(const QByteArray& wire);
    // Emits from the event loop, unless the line has been opened anew since.
    void tellLater(void (SerialLine::*signal)(const LineError&), const LineError& error);
    void tellLater(void (SerialLine::*signal)(const QString&), const QString& description);
    QString described(const QString& reason) const { return m_address.text + QStringLiteral(": ") + reason; }

    QTcpSocket m_socket{this};
    QTimer m_start{this};
    QTimer m_connectTimeout{this};
    LineSpeed m_speed = LineSpeed::Baud9600;
    State m_state = State::Closed;
    LineAddress m_address;
    TelnetCodec m_telnet;
    QByteArray m_waiting;  // written before the connection stood
    QByteArray m_received; // not read yet
    quint64 m_opening = 0; // counts openings, so that news of an old one is dropped
    LineError m_error;
};

} // namespace orva
