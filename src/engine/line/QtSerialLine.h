#pragma once

#include "engine/line/PortNames.h"
#include "engine/line/SerialLine.h"

#include <QSerialPort>

namespace orva {

// The serial line on a real device, through QSerialPort. Received bytes
// are signalled once per batch, on the thread of the event loop.
//
// Faults of an open line:
//  - The device goes away (an adapter pulled, the far end of a
//    pseudo-terminal closed): the line reports a hang-up or an I/O error.
//    The port is closed at once, which also retires its event notifiers (a
//    dead descriptor would otherwise keep the event loop busy), and one
//    deviceLost() follows from the event loop.
//  - A write fails on a live device: the unwritten rest is dropped, so it is
//    neither retried at every turn of the event loop nor sent later in front
//    of the next frame, and one writeFailed() follows.
//
// A device held by another program is refused as in use: by the lock file
// of QSerialPort, by the exclusive mode another program has put the device
// in (root is exempt from that by the kernel, so it is looked at first), and
// by an flock() on the open descriptor, which also keeps two openers of this
// program from sharing the device.
class QtSerialLine final : public SerialLine
{
    Q_OBJECT
public:
    explicit QtSerialLine(PortNames names, QObject* parent = nullptr);
    ~QtSerialLine() override;

    void setPort(Port port) override { m_portChoice = port; }
    Port port() const override { return m_portChoice; }

    bool setSpeed(LineSpeed speed) override;
    LineSpeed speed() const override { return m_speed; }

    bool isOpen() const override { return m_port.isOpen(); }
    [[nodiscard]] bool open() override;
    void close() override;

    bool write(const QString& text) override;
    QString readAll() override;
    QString errorString() const override { return m_error; }

private:
    void onError(QSerialPort::SerialPortError error);
    void loseDevice();

    PortNames m_names;
    QSerialPort m_port{this}; // a child, so that its notifiers can be looked at
    Port m_portChoice = Port::Com1;
    LineSpeed m_speed = LineSpeed::Baud9600;
    QString m_openPath; // the device of the current (or last) opening
    QString m_error;
};

} // namespace orva
