#include "engine/line/PortNames.h"

#include "engine/line/LineAddress.h"

namespace orva {

PortNames PortNames::platformDefaults()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("COM1"), QStringLiteral("COM2")};
#else
    return {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")};
#endif
}

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine result;
    auto fail = [&result](const QString& message) {
        result.action = CommandLine::Action::Error;
        result.message = message;
        return result;
    };

    QStringList given; // the port options met so far
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.action = CommandLine::Action::Help;
            return result;
        }
        if (arg == QLatin1String("--version") || arg == QLatin1String("-v")) {
            result.action = CommandLine::Action::Version;
            return result;
        }

        QString* target = nullptr;
        QString value;
        bool hasValue = false;
        for (const auto& [option, field] : {std::pair{QLatin1String("--com1"), &result.ports.com1},
                 std::pair{QLatin1String("--com2"), &result.ports.com2}}) {
            if (arg == option) {
                target = field;
            } else if (arg.startsWith(option + QLatin1Char('='))) {
                target = field;
                value = arg.mid(option.size() + 1);
                hasValue = true;
            }
        }
        if (!target)
            return fail(QStringLiteral("unknown option '%1'").arg(arg));
        const QString option = arg.section(QLatin1Char('='), 0, 0);
        if (given.contains(option))
            return fail(QStringLiteral("option '%1' given twice").arg(option));
        given.append(option);
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("option '%1' needs a device path").arg(arg));
            value = arguments.at(++i);
        }
        if (value.isEmpty())
            return fail(QStringLiteral("option '%1' needs a device path").arg(option));
        QString reason;
        if (!LineAddress::parse(value, &reason))
            return fail(QStringLiteral("option '%1': %2").arg(option, reason));
        *target = value;
    }
    return result;
}

QString commandLineHelp(const QString& program)
{
    const PortNames defaults = PortNames::platformDefaults();
    return QStringLiteral("Usage: %1 [--com1 LINE] [--com2 LINE]\n"
                          "\n"
                          "Control panel for ORVA TK500 / TK600 projectors over an RS-232C line\n"
                          "(19200 or 9600 baud, no parity, 8 data bits, 1 stop bit).\n"
                          "\n"
                          "Options:\n"
                          "  --com1 LINE  line behind the \"COM1\" choice (default %2)\n"
                          "  --com2 LINE  line behind the \"COM2\" choice (default %3)\n"
                          "               LINE is a serial device (/dev/ttyUSB0, a pseudo-terminal)\n"
                          "               or a port on a network serial server such as ser2net:\n"
                          "                 rfc2217://HOST:PORT  Telnet with RFC 2217 port control\n"
                          "                 tcp://HOST:PORT      raw TCP (the speed is set on the server)\n"
                          "               HOST is a name, an IPv4 address or an IPv6 address in [ ].\n"
                          "               Network lines are plain text and unauthenticated.\n"
                          "  --help       show this text and exit\n"
                          "  --version    show the version and exit\n"
                          "\n"
                          "Every start begins on COM1 at 19200 baud; nothing is saved.\n")
        .arg(program, defaults.com1, defaults.com2);
}

} // namespace orva
