#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace orva {

// The two ports the panel chooses between. Each stands for a line (a
// device path or a network address, see LineAddress) named in PortNames.
enum class Port : quint8 { Com1 = 1, Com2 = 2 };

// How a port is written for people: "COM1".
QString portName(Port port);

// What stands behind the two port choices, COM1 and COM2: a device path or
// a network address each (LineAddress). An empty name stands for none given.
struct PortNames
{
    QString com1;
    QString com2;

    // "COM1"/"COM2" on Windows, /dev/ttyS0 and /dev/ttyS1 elsewhere: the
    // lines when nothing else names them.
    static PortNames platformDefaults();
    QString device(Port port) const { return port == Port::Com2 ? com2 : com1; }
};

// A serial port the system has, as the default rule needs to know it.
struct AvailablePort
{
    QString path;         // /dev/ttyS0, /dev/ttyUSB0
    bool usb = false;     // an adapter on USB (it has a USB vendor id)
    quint16 vendorId = 0; // USB only
    quint16 productId = 0;
    QString serialNumber; // USB only; empty when the adapter has none
};

// The serial ports that really exist, by Qt Serial Port's list (which leaves
// out device nodes with no port behind them), in no particular order.
QList<AvailablePort> availableSerialPorts();

// The lines behind COM1 and COM2, each from the first of:
//  1. the command line (--com1, --com2),
//  2. the user's configuration file (readPortConfig()),
//  3. the serial ports that really exist, taken in order: on-board ports
//     first, by device name in natural order (ttyS2 before ttyS10), then USB
//     adapters by vendor id, product id, serial number and device name, so
//     that the same adapters give the same order whatever order they were
//     plugged in; a port already named for the other choice is skipped,
//  4. the platform's defaults (/dev/ttyS0, /dev/ttyS1).
PortNames choosePortNames(const PortNames& commandLine, const PortNames& config, QList<AvailablePort> available);

// What the user's configuration file named, and what was wrong in it.
struct PortConfig
{
    PortNames names;      // empty where the file names nothing
    QStringList problems; // one message a bad line, naming file and line
};

// $XDG_CONFIG_HOME/orva/panel.conf, or ~/.config/orva/panel.conf.
QString portConfigPath();

// Reads the configuration file: lines "com1 = LINE" and "com2 = LINE" (LINE
// a device path or a network address), blank lines and lines starting with
// '#' ignored. A bad line (no '=', another key, a key given twice, a LINE
// that LineAddress refuses) is left out, with a message in problems; the
// rest still counts. A missing file names nothing and is no problem. At
// most MaxConfigBytes are read.
PortConfig readPortConfig(const QString& path);
inline constexpr qint64 MaxConfigBytes = 64 * 1024;

} // namespace orva
