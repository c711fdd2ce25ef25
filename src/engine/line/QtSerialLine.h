#pragma once

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
//
// Kinds of failure: a path that names nothing is no-such-device; a device
// this user may not open is permission-denied; a device held as above is
// in-use; a hang-up or an I/O error of an open line is lost; a write that
// fails on a live device is write-failed.
class QtSerialLine final : public SerialLine
{
    Q_OBJECT
public:
    explicit QtSerialLine(QObject* parent = nullptr);
    ~QtSerialLine() override;

    [[nodiscard]] bool open(const LineAddress& address, LineSpeed speed) override;
    bool isOpen() const override { return m_port.isOpen(); }
    void close() override;

    bool setSpeed(LineSpeed speed) override;

    bool write(const QString& text) override;
    QString readAll() override;
    LineError lastError() const override { return m_error; }

private:
    void onError(QSerialPort::SerialPortError error);
    void loseDevice();

    QSerialPort m_port{this}; // a child, so that its notifiers can be looked at
    QString m_openPath;       // the device of the current (or last) opening
    LineError m_error;
};

} // namespace orva
