#pragma once

#include "link/PortNames.h"
#include "link/SerialComm.h"

#include <QSerialPort>

namespace orva {

// The serial line on a real device, through QSerialPort. Received bytes
// raise one notification per batch, on the window thread.
//
// Faults of an open line:
//  - The device goes away (an adapter pulled, the far end of a
//    pseudo-terminal closed): the line reports a hang-up or an I/O error.
//    The port is closed at once, which also retires its event notifiers (a
//    dead descriptor would otherwise keep the event loop busy), and one
//    EventDeviceLost notification follows from the event loop.
//  - A write fails on a live device: the unwritten rest is dropped, so it is
//    neither retried at every turn of the event loop nor sent later in front
//    of the next frame, and one EventWriteFailed notification follows.
//
// A device held by another program is refused as in use: by the lock file
// of QSerialPort, by the exclusive mode another program has put the device
// in (root is exempt from that by the kernel, so it is looked at first), and
// by an flock() on the open descriptor, which also keeps two openers of this
// program from sharing the device.
class QtSerialComm final : public SerialComm
{
    Q_OBJECT
public:
    explicit QtSerialComm(PortNames names, QObject* parent = nullptr);
    ~QtSerialComm() override;

    void setCommPort(int port) override { m_commPort = port; }
    int commPort() const override { return m_commPort; }

    bool setSettings(const QString& settings) override;
    QString settings() const override { return m_settings; }

    bool portOpen() const override { return m_port.isOpen(); }
    [[nodiscard]] bool setPortOpen(bool open) override;

    bool output(const QString& text) override;
    QString input() override;
    int commEvent() const override { return m_event; }
    QString errorString() const override { return m_error; }

    const PortNames& names() const { return m_names; }

private:
    bool open();
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void loseDevice();
    // Raises a fault notification from the event loop, after the call in
    // progress has returned.
    void raiseLater(int event, const QString& description);

    PortNames m_names;
    QSerialPort m_port{this}; // a child, so that its notifiers can be looked at
    int m_commPort = 1;
    QString m_openPath; // the device of the current (or last) opening
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_event = EventNone;
    QString m_error;
};

} // namespace orva
