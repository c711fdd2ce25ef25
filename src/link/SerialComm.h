#pragma once

#include <QObject>
#include <QString>

namespace orva {

// The serial line as the panel's handlers see it: the few operations of a
// serial-communications control, nothing more. One implementation drives a
// real device through QSerialPort; tests use a fake that records every byte.
//
// Contract relied on by the handlers:
//  - setCommPort() selects COM1 (1) or COM2 (2); it takes effect at the next
//    opening.
//  - setSettings() takes "19200,N,8,1" or "9600,N,8,1" and applies at once,
//    also to an open port.
//  - setPortOpen(true) opens with the current port number and settings;
//    false closes (closing a closed port is harmless). A failure returns
//    false and leaves a description in errorString(). A device that another
//    program holds is refused as in use, never shared. Nothing written or
//    received before an earlier closing survives into a new opening.
//  - output() writes the characters in order, one byte each; a character
//    above 127 goes out as '?'. Writing to a closed port writes nothing and
//    returns false. A write the line refuses returns false with a
//    description, or, when it fails only after output() has returned, is
//    raised later as EventWriteFailed; either way the unwritten rest of the
//    text is dropped and never reaches the line in front of a later text.
//  - input() returns every character received since the last read (each byte
//    as one character of the same code) and empties the receive buffer.
//  - onComm() is raised on the window thread after characters have arrived,
//    and for the line's faults; commEvent() then tells the kind of the
//    latest notification and, for a fault, errorString() describes it.
//    Faults are raised from the event loop, never from inside a call on
//    this interface.
class SerialComm : public QObject
{
    Q_OBJECT
public:
    // Kinds of notification, as commEvent() reports them.
    enum Event : int {
        EventNone = 0,
        EventReceive = 2,        // characters were received
        EventDeviceLost = 1012,  // the device went away while open; the port is closed, once per loss
        EventWriteFailed = 1013, // characters already accepted by output() could not be written
    };

    using QObject::QObject;
    ~SerialComm() override = default;

    virtual void setCommPort(int port) = 0;
    virtual int commPort() const = 0;

    virtual bool setSettings(const QString& settings) = 0;
    virtual QString settings() const = 0;

    virtual bool portOpen() const = 0;
    [[nodiscard]] virtual bool setPortOpen(bool open) = 0;

    virtual bool output(const QString& text) = 0;
    virtual QString input() = 0;
    virtual int commEvent() const = 0;

    // Description of the latest failure, in the serial layer's own words.
    virtual QString errorString() const = 0;

    // The bytes a frame puts on the line: one byte a character, '?' for
    // anything beyond ASCII.
    static QByteArray toLineBytes(const QString& text);
    // The characters a chunk of received bytes stands for.
    static QString fromLineBytes(const QByteArray& bytes);
    // Baud rate of a settings text, 0 when the text is not one we know.
    static int baudRateOf(const QString& settings);

Q_SIGNALS:
    void onComm();
};

} // namespace orva
