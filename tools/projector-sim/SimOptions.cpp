#include "SimOptions.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>

namespace orva::sim {

namespace {

constexpr std::int64_t MaxMs = 3'600'000;

std::optional<std::int64_t> parseNumber(const std::string& text, std::int64_t min, std::int64_t max)
{
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max)
        return std::nullopt;
    return value;
}

// Arguments are bytes; Latin-1 carries every byte to a character and back
// unchanged, so a link path or a value quoted in a complaint is as given.
QString text(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

std::string bytes(const QString& text)
{
    return text.toLatin1().toStdString();
}

// The option name an argument as written stands for ("delay" for
// "--delay=5"), and whether a value was attached with "=".
QString optionName(const QString& argument)
{
    QString name = argument.section(QLatin1Char('='), 0, 0);
    while (name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    return name;
}

} // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments)
{
    ParsedOptions result;
    SimOptions& o = result.options;
    auto fail = [&result](std::string message) {
        result.action = ParsedOptions::Action::Usage;
        result.message = std::move(message);
        return result;
    };

    // Options with a whole number as value, and where each one goes.
    struct NumberOption
    {
        const char* name;
        std::int64_t min;
        std::int64_t max;
        const char* unit;
        std::int64_t* wide;
        int* narrow;
    };
    const NumberOption numberOptions[] = {
        {"warmup", 0, MaxMs, "milliseconds", &o.model.warmupMs, nullptr},
        {"cooldown", 0, MaxMs, "milliseconds", &o.model.cooldownMs, nullptr},
        {"lamp-hours", 0, 99999, "hours", &o.model.lampHours, nullptr},
        {"hour-ms", 1, MaxMs, "milliseconds", &o.model.hourMs, nullptr},
        {"overheat-after", 1, MaxMs, "milliseconds", &o.model.overheatAfterMs, nullptr},
        {"delay", 0, MaxMs, "milliseconds", &o.faults.delayMs, nullptr},
        {"gap", 0, MaxMs, "milliseconds", &o.faults.gapMs, nullptr},
        {"split", 1, 4096, "bytes", nullptr, &o.faults.splitBytes},
        {"stream", 1, 1'000'000, "characters per second", nullptr, &o.faults.streamRate},
        {"hangup-after", 1, 1'000'000, "frames", nullptr, &o.faults.hangupAfter},
    };
    auto range
        = [](const NumberOption& option) { return std::to_string(option.min) + " to " + std::to_string(option.max); };
    // What an option that takes a value says when it has none.
    auto missingValue = [&](const QString& name) {
        for (const NumberOption& option : numberOptions)
            if (name == QLatin1String(option.name))
                return "option '--" + bytes(name) + "' needs a number of " + option.unit + " (" + range(option) + ")";
        return "option '--" + bytes(name) + "' needs a path";
    };

    QStringList args;
    for (const std::string& argument : arguments)
        args.append(text(argument));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption silent(QStringLiteral("silent"));
    const QCommandLineOption noise(QStringLiteral("noise"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    const QCommandLineOption link(QStringLiteral("link"), QString(), QStringLiteral("PATH"));
    parser.addOptions({help, version, silent, noise, verbose, link});
    for (const NumberOption& option : numberOptions)
        parser.addOption(QCommandLineOption(QLatin1String(option.name), QString(), QStringLiteral("N")));
    const bool parsed = parser.parse(args);

    // Help and version are answered whatever else the line holds.
    if (parser.isSet(help)) {
        result.action = ParsedOptions::Action::Help;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = ParsedOptions::Action::Version;
        return result;
    }
    if (!parsed) {
        if (!parser.unknownOptionNames().isEmpty()) {
            const QString name = parser.unknownOptionNames().constFirst();
            const auto written = std::find_if(
                args.begin() + 1, args.end(), [&name](const QString& a) { return optionName(a) == name; });
            return fail(
                "unknown option '" + bytes(written != args.end() ? *written : QStringLiteral("--") + name) + "'");
        }
        for (const QCommandLineOption* flag : {&silent, &noise, &verbose})
            for (const QString& arg : std::as_const(args))
                if (arg.contains(QLatin1Char('=')) && optionName(arg) == flag->names().constFirst())
                    return fail("option '--" + bytes(optionName(arg)) + "' takes no value");
        // Else an option that takes a value is the last argument, with none.
        return fail(missingValue(optionName(args.constLast())));
    }
    if (!parser.positionalArguments().isEmpty())
        return fail("unexpected argument '" + bytes(parser.positionalArguments().constFirst()) + "'");

    o.faults.silent = parser.isSet(silent);
    o.faults.noise = parser.isSet(noise);
    o.verbose = parser.isSet(verbose);
    if (parser.isSet(link)) {
        o.link = bytes(parser.value(link));
        if (o.link.empty())
            return fail(missingValue(link.names().constFirst()));
    }
    // A later value of an option overrides an earlier one.
    for (const NumberOption& option : numberOptions) {
        const QString name = QLatin1String(option.name);
        if (!parser.isSet(name))
            continue;
        const std::string value = bytes(parser.value(name));
        const auto number = parseNumber(value, option.min, option.max);
        if (!number)
            return fail(std::string("option '--")
                            .append(option.name)
                            .append("': '")
                            .append(value)
                            .append("' is not a whole number from ")
                            .append(range(option)));
        if (option.wide)
            *option.wide = *number;
        else
            *option.narrow = int(*number);
    }

    if (parser.isSet(QStringLiteral("gap")) && o.faults.splitBytes == 0)
        return fail("option '--gap' needs '--split N'");
    return result;
}

std::string helpText(const std::string& program)
{
    return "Usage: " + program
        + " [OPTION]...\n"
          R"(
A simulated ORVA TK500 / TK600 projector on a pseudo-terminal, for running
the control panel (or a test) without the hardware. It opens a new
pseudo-terminal in raw mode, prints its device path as the first line on
standard output, and answers the frames it reads from it (each ended by a
carriage return) until it gets SIGINT or SIGTERM.

Replies (ACK is character 6; every other reply ends with a carriage return):
  C + two hex digits  ACK   (an operation, e.g. C00 power on, C01 power off)
  CF ...              ACK   (a setting, e.g. CF FANMODE L1)
  CR0  power state    80 standby; after C00: 40 (count-down), then 00 (on);
                      after C01: 20 (cool-down), then 80
  CR1  input          1, 2 or 3, as chosen by C05, C06, C07 (and by the
                      input-signal codes)
  CR3  lamp hours     five digits, growing while the lamp is lit
  CR4  orientation    11
  CR6  temperatures   three fields like " 38.5, 52.0, 44.0", rising while lit
  CR7  lamp mode      01 lit, 00 off
  CR9  model name     TK600
  CRA  mute state     00 none, 01 picture blanked (C0D/C0E), 02 sound muted
                      (C0B/C0C), 03 both; FF in standby
  CR PRESSURE         853 (the panel reads it as 1013 hPa)
  anything else       "?" and a carriage return: the error reply

Options:
  --link PATH         also make a symbolic link PATH to the device (an old
                      link there is replaced); removed on exit
  --warmup MS         length of the count-down after C00 (default 5000)
  --cooldown MS       length of the cool-down after C01 (default 5000)
  --lamp-hours N      lamp hours at start (default 1234)
  --hour-ms MS        length of one lamp hour (default 3600000)
  --overheat-after MS warn of the temperature (power state 08) MS
                      milliseconds after the picture came on
  --verbose           log every frame and reply on standard error
  -h, --help          show this text and exit
  -v, --version       show the version and exit

Line faults:
  --silent            read every frame, never answer
  --delay MS          hold every reply MS milliseconds
  --split N           send replies in pieces of N bytes ...
  --gap MS            ... MS milliseconds apart (default 100; needs --split)
  --noise             put a burst of 1 to 3 garbage bytes (control
                      characters, bytes beyond ASCII) before every reply
  --stream RATE       send unsolicited characters (a-z, repeated) at RATE
                      characters per second, answering frames as usual;
                      characters nobody reads are dropped
  --hangup-after N    after answering N frames, close the line (the far end
                      sees a hang-up) and exit

Exit status: 0 after SIGINT/SIGTERM or a hang-up, 1 when the pseudo-terminal
or the link cannot be made, 2 for a bad option.
)";
}

} // namespace orva::sim
