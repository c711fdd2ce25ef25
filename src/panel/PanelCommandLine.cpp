#include "panel/PanelCommandLine.h"

#include "engine/line/LineAddress.h"
#include "engine/line/LineFactory.h"
#include "program/OptionText.h"

#include <QCommandLineParser>

namespace orva {

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine result;
    auto fail = [&result](const QString& message) {
        result.action = CommandLine::Action::Usage;
        result.message = message;
        return result;
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption com1(QStringLiteral("com1"), QString(), QStringLiteral("LINE"));
    const QCommandLineOption com2(QStringLiteral("com2"), QString(), QStringLiteral("LINE"));
    parser.addOptions({help, version, com1, com2});
    const bool parsed = parser.parse(arguments);

    // Help and version are answered whatever else the line holds.
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::Help;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::Version;
        return result;
    }
    if (!parsed) {
        if (!parser.unknownOptionNames().isEmpty())
            return fail(QStringLiteral("unknown option '%1'")
                            .arg(optionAsWritten(arguments, parser.unknownOptionNames().first())));
        // An option that takes a line is the last argument, with no value.
        if (arguments.last().endsWith(QLatin1String("com1")) || arguments.last().endsWith(QLatin1String("com2")))
            return fail(QStringLiteral("option '%1' needs a device path").arg(arguments.last()));
        return fail(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unknown option '%1'").arg(parser.positionalArguments().first()));

    for (const auto& [option, field] : {std::pair{&com1, &result.ports.com1}, std::pair{&com2, &result.ports.com2}}) {
        const QStringList values = parser.values(*option);
        const QString name = QStringLiteral("--") + option->names().first();
        if (values.isEmpty())
            continue;
        if (values.size() > 1)
            return fail(QStringLiteral("option '%1' is given more than once").arg(name));
        const QString& value = values.first();
        if (value.isEmpty())
            return fail(QStringLiteral("option '%1' needs a device path").arg(name));
        QString reason;
        if (!LineAddress::parse(value, &reason))
            return fail(QStringLiteral("option '%1': %2").arg(name, reason));
        *field = value;
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
                          "  --com1 LINE    line behind the \"COM1\" choice\n"
                          "  --com2 LINE    line behind the \"COM2\" choice\n"
                          "                 LINE is a serial device or a port on a network serial\n"
                          "                 server such as ser2net:\n"
                          "%4"
                          "                 HOST is a name, an IPv4 address or an IPv6 address in [ ].\n"
                          "                 Network lines are plain text and unauthenticated.\n"
                          "  -h, --help     show this text and exit\n"
                          "  -v, --version  show the version and exit\n"
                          "\n"
                          "The line behind each choice is the first of:\n"
                          "  1. its option above;\n"
                          "  2. the file %5\n"
                          "     (lines \"com1 = LINE\", \"com2 = LINE\"; read once at start);\n"
                          "  3. the serial ports this computer really has: on-board ports first,\n"
                          "     by name, then USB adapters by vendor, product and serial number;\n"
                          "  4. %2 for COM1, %3 for COM2.\n"
                          "Every start begins on COM1 at 19200 baud; nothing is saved.\n")
        .arg(program, defaults.com1, defaults.com2, lineFormsHelp(19), portConfigPath());
}

} // namespace orva
