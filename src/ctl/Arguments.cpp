#include "ctl/Arguments.h"

#include "engine/PortNames.h"
#include "engine/line/LineAddress.h"
#include "engine/line/LineFactory.h"
#include "engine/protocol/Frame.h"
#include "program/OptionText.h"

#include <QCommandLineParser>

#include <algorithm>
#include <optional>

namespace orva::ctl {

namespace {

Request usage(const QString& message)
{
    Request request;
    request.mode = Request::Mode::Usage;
    request.message = message;
    return request;
}

// Whole milliseconds in digits alone: no sign, no blanks, no other base.
std::optional<int> milliseconds(const QString& text)
{
    if (text.isEmpty() || text.size() > 9
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return text.toInt();
}

} // namespace

Request parseArguments(const QStringList& arguments)
{
    Request request;

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("LINE"));
    const QCommandLineOption speed(QStringLiteral("speed"), QString(), QStringLiteral("BAUD"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("MS"));
    const QList<QCommandLineOption> options{help, version, json, port, speed, timeout};
    parser.addOptions(options);

    // The action and its argument are set apart before the parser sees the
    // rest: a code such as "-5" is a word, not an option, so only "--NAME",
    // -h and -v are options here, and a word after "--" is never one.
    const auto takesValue = [&options](const QString& arg) {
        QString name = arg.section(QLatin1Char('='), 0, 0);
        while (name.startsWith(QLatin1Char('-')))
            name.remove(0, 1);
        return !arg.contains(QLatin1Char('=')) && std::any_of(options.begin(), options.end(), [&name](const auto& o) {
            return !o.valueName().isEmpty() && o.names().contains(name);
        });
    };
    QStringList optionArguments{arguments.value(0)};
    QStringList words;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        const bool isOption = !optionsEnded
            && (arg.startsWith(QLatin1String("--")) || arg == QLatin1String("-h") || arg == QLatin1String("-v"));
        if (!isOption) {
            words.append(arg);
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else {
            optionArguments.append(arg);
            if (takesValue(arg) && i + 1 < arguments.size())
                optionArguments.append(arguments.at(++i));
        }
    }

    const bool parsed = parser.parse(optionArguments);
    // Help and version are answered whatever else the line holds.
    if (parser.isSet(help)) {
        request.mode = Request::Mode::Help;
        return request;
    }
    if (parser.isSet(version)) {
        request.mode = Request::Mode::Version;
        return request;
    }
    if (!parsed) {
        if (!parser.unknownOptionNames().isEmpty())
            return usage(QStringLiteral("unknown option '%1'")
                             .arg(optionAsWritten(optionArguments, parser.unknownOptionNames().constFirst())));
        // An option that takes a value is the last argument, with none.
        if (takesValue(optionArguments.constLast()))
            return usage(QStringLiteral("option '%1' needs a value").arg(optionArguments.constLast()));
        return usage(parser.errorText());
    }
    request.json = parser.isSet(json);

    for (const QString& value : parser.values(port)) {
        if (value.isEmpty())
            return usage(QStringLiteral("option '--port' needs a line"));
        // The forms the panel's --com1 takes, refused the same way.
        QString error;
        if (!LineAddress::parse(value, &error))
            return usage(error);
        // The second opening of a line would find it held by the first.
        if (request.ports.contains(value))
            return usage(QStringLiteral("line '%1' given twice").arg(value));
        request.ports.append(value);
    }
    // A later --speed or --timeout overrides an earlier one.
    if (parser.isSet(speed)) {
        const QString value = parser.value(speed);
        if (value == QLatin1String("19200"))
            request.speed = LineSpeed::Baud19200;
        else if (value == QLatin1String("9600"))
            request.speed = LineSpeed::Baud9600;
        else
            return usage(QStringLiteral("speed '%1' is not 19200 or 9600").arg(value));
    }
    if (parser.isSet(timeout)) {
        const QString value = parser.value(timeout);
        const std::optional<int> ms = milliseconds(value);
        if (!ms || *ms < 1 || *ms > Request::MaxTimeoutMs)
            return usage(
                QStringLiteral("timeout '%1' is not 1 to %2 milliseconds").arg(value).arg(Request::MaxTimeoutMs));
        request.timeoutMs = *ms;
    }

    if (words.isEmpty())
        return usage(QStringLiteral("no action given"));
    const QString name = words.takeFirst();
    if (!isActionName(name))
        return usage(QStringLiteral("unknown action '%1'").arg(name));

    const QString choices = argumentsOf(name);
    if (name == QLatin1String("send")) {
        if (words.isEmpty())
            return usage(QStringLiteral("'send' needs a code"));
        // "send CR PRESSURE" unquoted is the code "CR PRESSURE".
        request.code = words.join(QLatin1Char(' '));
        words.clear();
        if (!isSendableCode(request.code))
            return usage(QStringLiteral("the code holds a character that is not printable ASCII"));
    } else if (!choices.isEmpty()) {
        if (words.isEmpty())
            return usage(QStringLiteral("'%1' needs one of %2").arg(name, choices));
        const QString argument = words.takeFirst();
        if (!findAction(name, argument))
            return usage(QStringLiteral("'%1' takes %2, not '%3'").arg(name, choices, argument));
        request.action = findAction(name, argument);
    }
    if (!words.isEmpty())
        return usage(QStringLiteral("unexpected argument '%1'").arg(words.first()));

    if (!request.action)
        request.action = findAction(name, QString());
    if (request.action->kind != ActionKind::Send)
        request.code = codeOf(*request.action);
    if (request.ports.isEmpty())
        request.ports.append(PortNames::platformDefaults().com1);
    return request;
}

QString usageLine()
{
    return QStringLiteral("Usage: orva-ctl [--port LINE]... [--speed 19200|9600] [--timeout MS] [--json] ACTION [ARG]");
}

QString helpText()
{
    QString text = usageLine()
        + QStringLiteral("\n\n"
                         "Sends the control panel's commands and status queries to ORVA TK500 / TK600\n"
                         "projectors and prints their replies, on one line or on many at once.\n"
                         "\n"
                         "Options:\n"
                         "  --port LINE    the projector's line (default %1), one of:\n"
                         "%3"
                         "                 repeat it to address several projectors in parallel\n"
                         "  --speed BAUD   19200 (default) or 9600\n"
                         "  --timeout MS   how long to wait for each reply (default %2)\n"
                         "  --json         one JSON object per line for each port\n"
                         "  -h, --help     show this text and exit\n"
                         "  -v, --version  show the version and exit\n"
                         "Options may stand before or after the action; after \"--\" every word\n"
                         "is the action's, and a code may begin with \"-\".\n"
                         "\n"
                         "Actions (\"orva-ctl list\" shows the code of each):\n")
              .arg(PortNames::platformDefaults().com1, QString::number(Request::DefaultTimeoutMs), lineFormsHelp(17));
    QString previous;
    for (const Action& action : actions()) {
        const QString name = QLatin1String(action.name);
        if (name == previous)
            continue;
        previous = name;
        QString synopsis = name;
        if (action.kind == ActionKind::Send)
            synopsis += QStringLiteral(" CODE");
        else if (const QString choices = argumentsOf(name); !choices.isEmpty())
            synopsis += QLatin1Char(' ') + choices;
        text += QStringLiteral("  ") + synopsis + QLatin1Char('\n');
    }
    text += QStringLiteral("\n"
                           "Exit status: 0 every port answered as expected, 1 a port gave no or an\n"
                           "unexpected reply (or the output could not be written), 3 a port could not\n"
                           "be opened, 2 a usage error, 128+N stopped by signal N.\n");
    return text;
}

} // namespace orva::ctl
