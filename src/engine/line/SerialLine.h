#pragma once

#include "engine/line/LineAddress.h"
#include "engine/line/LineError.h"

#include <QObject>
#include <QString>

namespace orva {

// The two line speeds; the rest of the line is fixed: no parity, 8 data
// bits, 1 stop bit.
enum class LineSpeed : quint8 { Baud19200, Baud9600 };

constexpr int baudRate(LineSpeed speed)
{
    return speed == LineSpeed::Baud19200 ? 19200 : 9600;
}

// How a speed is written for people: "19200".
QString speedName(LineSpeed speed);

// The serial line as the engine sees it, and all it needs of one. One
// implementation drives a real device through QSerialPort; tests use a fake
// that records every byte.
//
// A line opens one address (a device path or a network serial server, see
// LineAddress) at one speed; which address stands behind which port choice
// is the business of the port selection, not of the line.
//
// Contract relied on by the engine:
//  - open() opens the address at the speed; a failure returns false and
//    leaves the error in lastError(). A device that another
//    program holds is refused as in use, never shared. Nothing written or
//    received before an earlier closing survives into a new opening.
//    close() on a closed line is harmless.
//  - setSpeed() applies at once to an open line; the next opening takes
//    its own speed.
//  - An opening that takes time (a connection to a network serial server)
//    returns true at once, and the line counts as open from then on. When
//    it fails later, openFailed() follows from the event loop and the line
//    is closed; the caller treats it as a failed opening.
//  - write() writes the characters in order, one byte each; a character
//    above 127 goes out as '?'. Writing to a closed line writes nothing and
//    returns false. A write the line refuses returns false with the error
//    in lastError(), or, when it fails only after write() has returned, is
//    signalled later by writeFailed(); either way the unwritten rest of the
//    text is dropped and never reaches the line in front of a later text.
//  - readAll() returns every character received since the last read (each
//    byte as one character of the same code) and empties the receive buffer.
//  - received() is emitted on the thread of the event loop after characters
//    have arrived. deviceLost() and writeFailed() are emitted from the event
//    loop, never from inside a call on this interface. After deviceLost()
//    the line is closed, once per loss.
class SerialLine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialLine() override = default;

    [[nodiscard]] virtual bool open(const LineAddress& address, LineSpeed speed) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    [[nodiscard]] virtual bool setSpeed(LineSpeed speed) = 0;

    virtual bool write(const QString& text) = 0;
    virtual QString readAll() = 0;

    // The latest failure: its kind, and the system's description naming
    // the line.
    virtual LineError lastError() const = 0;

    // The bytes a text puts on the line: one byte a character, '?' for
    // anything beyond ASCII.
    static QByteArray toLineBytes(const QString& text);
    // The characters a chunk of received bytes stands for.
    static QString fromLineBytes(const QByteArray& bytes);

Q_SIGNALS:
    // Characters have arrived; readAll() takes them.
    void received();
    // The device went away while open; the line is closed now.
    void deviceLost(const orva::LineError& error);
    // Characters already accepted by write() could not be written.
    void writeFailed(const orva::LineError& error);
    // An opening that returned true has failed after all; the line is closed.
    void openFailed(const orva::LineError& error);
    // The far end carries the data but does not take the line settings; the
    // line stays open at the far end's own settings. Once per opening.
    void settingsRefused(const QString& description);
};

} // namespace orva
