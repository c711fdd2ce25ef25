#include "SimOptions.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

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

} // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments)
{
    ParsedOptions result;
    SimOptions& o = result.options;
    bool gapGiven = false;
    auto fail = [&result](std::string message) {
        result.action = ParsedOptions::Action::Error;
        result.message = std::move(message);
        return result;
    };

    // Options with a whole number as value, and where each one goes.
    struct NumberOption
    {
        std::string_view name;
        std::int64_t min;
        std::int64_t max;
        const char* unit;
        std::int64_t* wide;
        int* narrow;
    };
    const NumberOption numberOptions[] = {
        {"--warmup", 0, MaxMs, "milliseconds", &o.model.warmupMs, nullptr},
        {"--cooldown", 0, MaxMs, "milliseconds", &o.model.cooldownMs, nullptr},
        {"--lamp-hours", 0, 99999, "hours", &o.model.lampHours, nullptr},
        {"--hour-ms", 1, MaxMs, "milliseconds", &o.model.hourMs, nullptr},
        {"--delay", 0, MaxMs, "milliseconds", &o.faults.delayMs, nullptr},
        {"--gap", 0, MaxMs, "milliseconds", &o.faults.gapMs, nullptr},
        {"--split", 1, 4096, "bytes", nullptr, &o.faults.splitBytes},
        {"--stream", 1, 1'000'000, "characters per second", nullptr, &o.faults.streamRate},
        {"--hangup-after", 1, 1'000'000, "frames", nullptr, &o.faults.hangupAfter},
    };

    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            result.action = ParsedOptions::Action::Help;
            return result;
        }
        if (arg == "--version") {
            result.action = ParsedOptions::Action::Version;
            return result;
        }

        std::optional<std::string> attached;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            attached = arg.substr(eq + 1);
            arg.resize(eq);
        }

        bool* flag = nullptr;
        if (arg == "--silent")
            flag = &o.faults.silent;
        else if (arg == "--noise")
            flag = &o.faults.noise;
        else if (arg == "--verbose")
            flag = &o.verbose;
        if (flag) {
            if (attached)
                return fail("option '" + arg + "' takes no value");
            *flag = true;
            continue;
        }

        // Every other option takes a value.
        auto value = [&]() -> std::optional<std::string> {
            if (attached)
                return attached;
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };

        if (arg == "--link") {
            const auto path = value();
            if (!path || path->empty())
                return fail("option '--link' needs a path");
            o.link = *path;
            continue;
        }

        const NumberOption* option = nullptr;
        for (const NumberOption& candidate : numberOptions)
            if (arg == candidate.name)
                option = &candidate;
        if (!option && !arg.starts_with("-"))
            return fail("unexpected argument '" + arguments[i] + "'");
        if (!option)
            return fail("unknown option '" + arguments[i] + "'");
        if (arg == "--gap")
            gapGiven = true;

        const auto text = value();
        const std::string range = std::to_string(option->min) + " to " + std::to_string(option->max);
        if (!text)
            return fail(std::string("option '")
                            .append(arg)
                            .append("' needs a number of ")
                            .append(option->unit)
                            .append(" (")
                            .append(range)
                            .append(")"));
        const auto number = parseNumber(*text, option->min, option->max);
        if (!number)
            return fail(std::string("option '")
                            .append(arg)
                            .append("': '")
                            .append(*text)
                            .append("' is not a whole number from ")
                            .append(range));
        if (option->wide)
            *option->wide = *number;
        else
            *option->narrow = int(*number);
    }

    if (gapGiven && o.faults.splitBytes == 0)
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
  --verbose           log every frame and reply on standard error
  --help              show this text and exit
  --version           show the version and exit

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
