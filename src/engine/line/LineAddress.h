#pragma once

#include <QString>

#include <optional>

namespace orva {

// What was given for a port choice: a serial device, or a serial port on a
// network serial server (ser2net, a hardware converter) reached over TCP,
// either speaking Telnet with the Com Port Control option (rfc2217://) or
// carrying raw bytes (tcp://).
struct LineAddress
{
    enum class Kind { Device, Rfc2217, Tcp };

    Kind kind = Kind::Device;
    QString text; // as the operator wrote it; every message names the line by it
    QString path; // Device: the device path
    QString host; // Rfc2217, Tcp: a host name or an address, without brackets
    quint16 port = 0;

    bool isNetwork() const { return kind != Kind::Device; }

    // A device path as an address, as parse() reads one.
    static LineAddress device(const QString& path)
    {
        LineAddress address;
        address.text = path;
        address.path = path;
        return address;
    }

    // Reads a port's address: "rfc2217://HOST:PORT", "tcp://HOST:PORT" (HOST
    // a name, an IPv4 address or an IPv6 address in brackets, PORT 1..65535)
    // or a device path. Anything else that looks like a URL, a missing or
    // out-of-range port, an empty host, a bad address in brackets is refused:
    // nullopt, with the reason in *error.
    static std::optional<LineAddress> parse(const QString& text, QString* error = nullptr);
};

} // namespace orva
