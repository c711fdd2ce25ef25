#pragma once

#include "engine/protocol/Commands.h"

#include <QtGlobal>

#include <iterator>
#include <optional>

namespace orva {

// A pair of display-timer intervals in milliseconds: the reply timeout (how
// long after a send a missing reply is marked) and the clear delay (how long
// after a send the display lines are blanked).
struct DisplayTiming
{
    int replyTimeout;
    int clearDelay;
};

// --- Single-press buttons ---------------------------------------------------

// What a single-press button does to the display timers before its send.
enum class Timing : quint8 {
    Untimed,     // leaves the intervals as the last writer set them
    PictureMode, // 2000 / 2500
    InputSource, // 5000 / 5500
};

inline constexpr DisplayTiming PictureModeTiming{2000, 2500};
inline constexpr DisplayTiming InputSourceTiming{5000, 5500};

// What a single-press button does after its send.
enum class AfterSend : quint8 {
    Nothing,
    // The on-screen menu is up: the arrows repeat every 200 ms with the menu
    // timing (repeat period 200, then ArrowContext::Menu).
    ArrowsToMenu,
};

inline constexpr int MenuArrowRepeat = 200;

struct CatalogueEntry
{
    Command command; // sent framed
    Timing timing;
    AfterSend after;
};

// Every single-press button of the panel, by its command, group by group as
// they stand on the window.
// clang-format off
inline constexpr CatalogueEntry CommandCatalogue[] = {
    // Main band
    {Command::PowerOn,           Timing::Untimed,     AfterSend::Nothing},      // POWER
    {Command::PowerOff,          Timing::Untimed,     AfterSend::Nothing},
    {Command::InputPc1,          Timing::Untimed,     AfterSend::Nothing},      // INPUT MODE SET
    {Command::InputPc2,          Timing::Untimed,     AfterSend::Nothing},
    {Command::InputVideo,        Timing::Untimed,     AfterSend::Nothing},
    {Command::MenuOn,            Timing::Untimed,     AfterSend::ArrowsToMenu}, // MENU
    {Command::MenuOff,           Timing::Untimed,     AfterSend::Nothing},
    {Command::SoundMuteOn,       Timing::Untimed,     AfterSend::Nothing},      // SOUND MUTE
    {Command::SoundMuteOff,      Timing::Untimed,     AfterSend::Nothing},
    {Command::NoShowOn,          Timing::Untimed,     AfterSend::Nothing},      // NO SHOW
    {Command::NoShowOff,         Timing::Untimed,     AfterSend::Nothing},
    {Command::FreezeOn,          Timing::Untimed,     AfterSend::Nothing},      // FREEZE
    {Command::FreezeOff,         Timing::Untimed,     AfterSend::Nothing},
    {Command::AvSizeRegular,     Timing::Untimed,     AfterSend::Nothing},      // AV Size
    {Command::AvSizeWide,        Timing::Untimed,     AfterSend::Nothing},
    {Command::AutoImage,         Timing::Untimed,     AfterSend::ArrowsToMenu}, // right-hand column
    {Command::ImageSelect,       Timing::Untimed,     AfterSend::Nothing},
    {Command::PresentationTimer, Timing::Untimed,     AfterSend::Nothing},
    {Command::DisplayClear,      Timing::Untimed,     AfterSend::Nothing},
    {Command::PictureStandard,   Timing::PictureMode, AfterSend::Nothing},      // picture modes
    {Command::PictureReal,       Timing::PictureMode, AfterSend::Nothing},
    {Command::PictureCinema,     Timing::PictureMode, AfterSend::Nothing},
    {Command::PictureImage1,     Timing::PictureMode, AfterSend::Nothing},
    {Command::PictureImage2,     Timing::PictureMode, AfterSend::Nothing},
    {Command::PictureImage3,     Timing::PictureMode, AfterSend::Nothing},
    {Command::PictureImage4,     Timing::PictureMode, AfterSend::Nothing},
    {Command::PictureBoard,      Timing::PictureMode, AfterSend::Nothing},
    {Command::PictureDynamic,    Timing::PictureMode, AfterSend::Nothing},
    {Command::FanModeL1,         Timing::Untimed,     AfterSend::Nothing},      // FAN MODE
    {Command::FanModeL2,         Timing::Untimed,     AfterSend::Nothing},
    // Data band: status reads, decoded into the status line
    {Command::StatusQuery,       Timing::Untimed,     AfterSend::Nothing},
    {Command::LampHoursQuery,    Timing::Untimed,     AfterSend::Nothing},
    {Command::TemperaturesQuery, Timing::Untimed,     AfterSend::Nothing},
    {Command::InputQuery,        Timing::Untimed,     AfterSend::Nothing},
    {Command::OrientationQuery,  Timing::Untimed,     AfterSend::Nothing},
    {Command::LampModeQuery,     Timing::Untimed,     AfterSend::Nothing},
    // Extension band: input sources
    {Command::SourcePc1Rgb,      Timing::InputSource, AfterSend::Nothing},    // PC1
    {Command::SourcePc1Scart,    Timing::InputSource, AfterSend::Nothing},
    {Command::SourcePc1Component,Timing::InputSource, AfterSend::Nothing},
    {Command::SourcePc2Rgb,      Timing::InputSource, AfterSend::Nothing},    // PC2
    {Command::SourcePc2DviPc,    Timing::InputSource, AfterSend::Nothing},
    {Command::SourcePc2DviAv,    Timing::InputSource, AfterSend::Nothing},
    {Command::SourceVideo,       Timing::InputSource, AfterSend::Nothing},    // Video
    {Command::SourceSVideo,      Timing::InputSource, AfterSend::Nothing},
    {Command::CodeC02,           Timing::Untimed,     AfterSend::Nothing},    // beside the panel
};
// clang-format on

// --- Press-and-hold buttons -------------------------------------------------

enum class HeldKind : quint8 {
    // "+"/"-" adjusters and SELECT: the press sets the repeat period and the
    // display timing of the row, after its send.
    Adjuster,
    // Cursor arrows: the press takes the display timing from what the arrows
    // were last put to (ArrowContext), before its send, and leaves the
    // repeat period as it was.
    Arrow,
};

// What the release of a held button does besides ending the hold.
enum class AfterRelease : quint8 {
    Nothing,
    // D.Zoom: the arrows now repeat every 5 ms with the zoom timing
    // (repeat period 5, then ArrowContext::Zoom).
    ArrowsToZoom,
};

inline constexpr int ZoomArrowRepeat = 5;

// Display timing a release puts back; also the start-up values.
inline constexpr DisplayTiming ReleaseTiming{500, 1000};

struct HeldEntry
{
    Command command; // sent framed at the press and every repeat
    quint8 number;   // the button's number in the repeat table
    HeldKind kind;
    int repeatPeriod;     // Adjuster only: the repeat period
    DisplayTiming timing; // Adjuster only
    AfterRelease after;
};

// clang-format off
inline constexpr HeldEntry HoldTable[] = {
    {Command::VolumeUp,       1,  HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},      // VOL
    {Command::VolumeDown,     2,  HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},
    {Command::BrightnessUp,   7,  HeldKind::Adjuster, 50,  {25, 25},   AfterRelease::Nothing},      // Brightness
    {Command::BrightnessDown, 8,  HeldKind::Adjuster, 50,  {25, 25},   AfterRelease::Nothing},
    {Command::ZoomIn,         17, HeldKind::Adjuster, 250, {200, 245}, AfterRelease::ArrowsToZoom}, // D.Zoom
    {Command::ZoomOut,        18, HeldKind::Adjuster, 250, {200, 245}, AfterRelease::ArrowsToZoom},
    {Command::KeystoneUp,     19, HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},      // Keystone
    {Command::KeystoneDown,   20, HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},
    {Command::CursorSelect,   13, HeldKind::Adjuster, 500, {200, 245}, AfterRelease::Nothing},      // cursor pad
    {Command::CursorUp,       3,  HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
    {Command::CursorDown,     4,  HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
    {Command::CursorLeft,     5,  HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
    {Command::CursorRight,    6,  HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
};
// clang-format on

// What the cursor arrows were last put to, which decides their display
// timing: nothing yet, the on-screen menu ("ON" of "MENU", "A-IMAGE"), or
// the digital zoom (release of "+"/"-" of "D.Zoom").
enum class ArrowContext : quint8 { Unset, Menu, Zoom };

// Display timing of an arrow press; none before the arrows were put to
// anything (the intervals then stay as they are).
constexpr std::optional<DisplayTiming> arrowTiming(ArrowContext context)
{
    switch (context) {
    case ArrowContext::Menu:
        return DisplayTiming{150, 190};
    case ArrowContext::Zoom:
        return DisplayTiming{5, 5};
    case ArrowContext::Unset:
        break;
    }
    return std::nullopt;
}

static_assert(std::size(CommandCatalogue) == 45);
static_assert(std::size(HoldTable) == 13);

// A command is a single-press button or a held one, never both.
constexpr bool heldAndSinglePressApart()
{
    for (const CatalogueEntry& single : CommandCatalogue)
        for (const HeldEntry& held : HoldTable)
            if (single.command == held.command)
                return false;
    return true;
}
static_assert(heldAndSinglePressApart());

// The held button of a number of the repeat table, if any.
constexpr const HeldEntry* heldEntry(quint8 number)
{
    for (const HeldEntry& entry : HoldTable)
        if (entry.number == number)
            return &entry;
    return nullptr;
}

// The single-press button and the held button of a command, if any.
constexpr const CatalogueEntry* catalogueEntry(Command command)
{
    for (const CatalogueEntry& entry : CommandCatalogue)
        if (entry.command == command)
            return &entry;
    return nullptr;
}

constexpr const HeldEntry* heldEntryOf(Command command)
{
    for (const HeldEntry& entry : HoldTable)
        if (entry.command == command)
            return &entry;
    return nullptr;
}

} // namespace orva
