#pragma once

#include <QLatin1String>
#include <QtGlobal>

#include <cstddef>
#include <iterator>
#include <optional>
#include <string_view>

namespace orva {

// Every command the system knows, named by what it does. The panel's
// buttons, the press-and-hold repeat and orva-ctl's actions all speak these
// names; the code each one puts on the line is written once, in Vocabulary
// below.
enum class Command : quint8 {
    PowerOn,
    PowerOff,
    InputPc1,
    InputPc2,
    InputVideo,
    SoundMuteOn,
    SoundMuteOff,
    NoShowOn,
    NoShowOff,
    FreezeOn,
    FreezeOff,
    AvSizeRegular,
    AvSizeWide,
    MenuOn,
    MenuOff,
    FanModeL1,
    FanModeL2,
    PictureStandard,
    PictureReal,
    PictureCinema,
    PictureImage1,
    PictureImage2,
    PictureImage3,
    PictureImage4,
    PictureBoard,
    PictureDynamic,
    StatusQuery,
    InputQuery,
    LampHoursQuery,
    OrientationQuery,
    TemperaturesQuery,
    LampModeQuery,
    MuteStateQuery,
    ModelQuery,
    PressureQuery,
    AutoImage,
    ImageSelect,
    PresentationTimer,
    DisplayClear,
    SourcePc1Rgb,
    SourcePc1Scart,
    SourcePc1Component,
    SourcePc2Rgb,
    SourcePc2DviPc,
    SourcePc2DviAv,
    SourceVideo,
    SourceSVideo,
    // The panel shows this one by its code alone: what the projector does
    // with it is the projector's business.
    CodeC02,
    VolumeUp,
    VolumeDown,
    BrightnessUp,
    BrightnessDown,
    ZoomIn,
    ZoomOut,
    KeystoneUp,
    KeystoneDown,
    CursorUp,
    CursorDown,
    CursorLeft,
    CursorRight,
    CursorSelect,
};

// What a command is and how the projector answers it.
enum class CommandKind : quint8 {
    Operation, // "C" and two hex digits: answered by ACK
    Query,     // "CR" and a name: answered by text ended by a carriage return
    Setting,   // "CF", a keyword and a value: answered by ACK
};

// How the reply to a query decodes, in the order the panel's status
// decoding tries them.
enum class StatusQuery : quint8 {
    PowerState,   // the thirteen power states
    InputSource,  // the input in use
    Orientation,  // the picture's orientation
    LampHours,    // a number of hours
    Temperatures, // three temperatures
    MuteState,    // video and audio mute
    ModelName,    // the reply as it stands
    AirPressure,  // a sensor reading, in hPa
    LampMode,     // the lamps lit and the lamp mode
};
inline constexpr std::size_t StatusQueryCount = std::size_t(StatusQuery::LampMode) + 1;

struct CommandEntry
{
    Command command;
    const char* code; // sent framed: prefix, code, carriage return
    CommandKind kind;
    // orva-ctl's action and its argument; no action when orva-ctl does not
    // offer the command, no argument for an action that takes none.
    const char* action = nullptr;
    const char* argument = nullptr;
    std::optional<StatusQuery> decoding = std::nullopt; // queries only
};

// One row a command, in the order of Command. orva-ctl lists its actions in
// this order.
// clang-format off
inline constexpr CommandEntry Vocabulary[] = {
    {Command::PowerOn,            "C00",              CommandKind::Operation, "power",      "on"},
    {Command::PowerOff,           "C01",              CommandKind::Operation, "power",      "off"},
    {Command::InputPc1,           "C05",              CommandKind::Operation, "input",      "pc1"},
    {Command::InputPc2,           "C06",              CommandKind::Operation, "input",      "pc2"},
    {Command::InputVideo,         "C07",              CommandKind::Operation, "input",      "video"},
    {Command::SoundMuteOn,        "C0B",              CommandKind::Operation, "sound-mute", "on"},
    {Command::SoundMuteOff,       "C0C",              CommandKind::Operation, "sound-mute", "off"},
    {Command::NoShowOn,           "C0D",              CommandKind::Operation, "no-show",    "on"},
    {Command::NoShowOff,          "C0E",              CommandKind::Operation, "no-show",    "off"},
    {Command::FreezeOn,           "C43",              CommandKind::Operation, "freeze",     "on"},
    {Command::FreezeOff,          "C44",              CommandKind::Operation, "freeze",     "off"},
    {Command::AvSizeRegular,      "C0F",              CommandKind::Operation, "av-size",    "regular"},
    {Command::AvSizeWide,         "C10",              CommandKind::Operation, "av-size",    "wide"},
    {Command::MenuOn,             "C1C",              CommandKind::Operation, "menu",       "on"},
    {Command::MenuOff,            "C1D",              CommandKind::Operation, "menu",       "off"},
    {Command::FanModeL1,          "CF FANMODE L1",    CommandKind::Setting,   "fan",        "l1"},
    {Command::FanModeL2,          "CF FANMODE L2",    CommandKind::Setting,   "fan",        "l2"},
    {Command::PictureStandard,    "C11",              CommandKind::Operation, "picture",    "stand"},
    {Command::PictureReal,        "C12",              CommandKind::Operation, "picture",    "real"},
    {Command::PictureCinema,      "C13",              CommandKind::Operation, "picture",    "cinema"},
    {Command::PictureImage1,      "C14",              CommandKind::Operation, "picture",    "image1"},
    {Command::PictureImage2,      "C15",              CommandKind::Operation, "picture",    "image2"},
    {Command::PictureImage3,      "C16",              CommandKind::Operation, "picture",    "image3"},
    {Command::PictureImage4,      "C17",              CommandKind::Operation, "picture",    "image4"},
    {Command::PictureBoard,       "C18",              CommandKind::Operation, "picture",    "board"},
    {Command::PictureDynamic,     "C19",              CommandKind::Operation, "picture",    "dynamic"},
    {Command::StatusQuery,        "CR0",              CommandKind::Query,     "status",       nullptr, StatusQuery::PowerState},
    {Command::InputQuery,         "CR1",              CommandKind::Query,     "input?",       nullptr, StatusQuery::InputSource},
    {Command::LampHoursQuery,     "CR3",              CommandKind::Query,     "lamp-hours",   nullptr, StatusQuery::LampHours},
    {Command::OrientationQuery,   "CR4",              CommandKind::Query,     "orientation",  nullptr, StatusQuery::Orientation},
    {Command::TemperaturesQuery,  "CR6",              CommandKind::Query,     "temperatures", nullptr, StatusQuery::Temperatures},
    {Command::LampModeQuery,      "CR7",              CommandKind::Query,     "lamp-mode",    nullptr, StatusQuery::LampMode},
    {Command::MuteStateQuery,     "CRA",              CommandKind::Query,     "mute?",        nullptr, StatusQuery::MuteState},
    {Command::ModelQuery,         "CR9",              CommandKind::Query,     "model",        nullptr, StatusQuery::ModelName},
    {Command::PressureQuery,      "CR PRESSURE",      CommandKind::Query,     "pressure",     nullptr, StatusQuery::AirPressure},
    {Command::AutoImage,          "C89",              CommandKind::Operation},
    {Command::ImageSelect,        "C27",              CommandKind::Operation},
    {Command::PresentationTimer,  "C8A",              CommandKind::Operation},
    {Command::DisplayClear,       "C1E",              CommandKind::Operation},
    {Command::SourcePc1Rgb,       "C50",              CommandKind::Operation},
    {Command::SourcePc1Scart,     "C51",              CommandKind::Operation},
    {Command::SourcePc1Component, "C54",              CommandKind::Operation},
    {Command::SourcePc2Rgb,       "CF INPUT2 ANALOG", CommandKind::Setting},
    {Command::SourcePc2DviPc,     "C5B",              CommandKind::Operation},
    {Command::SourcePc2DviAv,     "C5C",              CommandKind::Operation},
    {Command::SourceVideo,        "CF INPUT3 VIDEO",  CommandKind::Setting},
    {Command::SourceSVideo,       "C34",              CommandKind::Operation},
    {Command::CodeC02,            "C02",              CommandKind::Operation},
    {Command::VolumeUp,           "C09",              CommandKind::Operation},
    {Command::VolumeDown,         "C0A",              CommandKind::Operation},
    {Command::BrightnessUp,       "C20",              CommandKind::Operation},
    {Command::BrightnessDown,     "C21",              CommandKind::Operation},
    {Command::ZoomIn,             "C30",              CommandKind::Operation},
    {Command::ZoomOut,            "C31",              CommandKind::Operation},
    {Command::KeystoneUp,         "C8E",              CommandKind::Operation},
    {Command::KeystoneDown,       "C8F",              CommandKind::Operation},
    {Command::CursorUp,           "C3C",              CommandKind::Operation},
    {Command::CursorDown,         "C3D",              CommandKind::Operation},
    {Command::CursorLeft,         "C3B",              CommandKind::Operation},
    {Command::CursorRight,        "C3A",              CommandKind::Operation},
    {Command::CursorSelect,       "C3F",              CommandKind::Operation},
};
// clang-format on

inline constexpr std::size_t CommandCount = std::size(Vocabulary);

namespace detail {

// The vocabulary is whole: a row for every command, in the order of the
// enumeration (so that a command's row is found by its number), a code for
// each, distinct codes, a decoding for exactly the queries, and one query
// for each decoding.
constexpr bool isWholeVocabulary()
{
    if (CommandCount != std::size_t(Command::CursorSelect) + 1)
        return false;
    std::size_t decodings[StatusQueryCount] = {};
    for (std::size_t i = 0; i < CommandCount; ++i) {
        const CommandEntry& entry = Vocabulary[i];
        if (std::size_t(entry.command) != i || entry.code == nullptr || std::string_view(entry.code).empty())
            return false;
        if ((entry.kind == CommandKind::Query) != entry.decoding.has_value())
            return false;
        if (entry.decoding)
            ++decodings[std::size_t(*entry.decoding)];
        if (entry.argument && !entry.action)
            return false;
        for (std::size_t j = 0; j < i; ++j) {
            if (std::string_view(Vocabulary[j].code) == std::string_view(entry.code))
                return false;
        }
    }
    for (const std::size_t count : decodings) {
        if (count != 1)
            return false;
    }
    return true;
}

} // namespace detail

static_assert(detail::isWholeVocabulary(), "every command needs one row of Vocabulary, in the order of Command");

constexpr const CommandEntry& commandEntry(Command command)
{
    return Vocabulary[std::size_t(command)];
}

inline QLatin1String commandCode(Command command)
{
    return QLatin1String(commandEntry(command).code);
}

// The query whose reply decodes this way.
constexpr Command queryCommand(StatusQuery decoding)
{
    for (const CommandEntry& entry : Vocabulary) {
        if (entry.decoding == decoding)
            return entry.command;
    }
    return Command::StatusQuery; // not reached: the vocabulary has one query for each decoding
}

// The command whose code this is, if any (case-sensitive, as sent).
std::optional<Command> commandOfCode(QStringView code);

} // namespace orva
