#pragma once

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
    const char* control; // objectName of the button
    const char* code;    // command code, sent framed
    Timing timing;
    AfterSend after;
};

// Every single-press button of the window, group by group as they stand.
// clang-format off
inline constexpr CatalogueEntry CommandCatalogue[] = {
    // Main band
    {"Command17", "C00",              Timing::Untimed,     AfterSend::Nothing},      // POWER
    {"Command18", "C01",              Timing::Untimed,     AfterSend::Nothing},
    {"Command27", "C05",              Timing::Untimed,     AfterSend::Nothing},      // INPUT MODE SET
    {"Command28", "C06",              Timing::Untimed,     AfterSend::Nothing},
    {"Command29", "C07",              Timing::Untimed,     AfterSend::Nothing},
    {"Command23", "C1C",              Timing::Untimed,     AfterSend::ArrowsToMenu}, // MENU
    {"Command24", "C1D",              Timing::Untimed,     AfterSend::Nothing},
    {"Command19", "C0B",              Timing::Untimed,     AfterSend::Nothing},      // SOUND MUTE
    {"Command20", "C0C",              Timing::Untimed,     AfterSend::Nothing},
    {"Command21", "C0D",              Timing::Untimed,     AfterSend::Nothing},      // NO SHOW
    {"Command22", "C0E",              Timing::Untimed,     AfterSend::Nothing},
    {"Command25", "C43",              Timing::Untimed,     AfterSend::Nothing},      // FREEZE
    {"Command26", "C44",              Timing::Untimed,     AfterSend::Nothing},
    {"Command31", "C0F",              Timing::Untimed,     AfterSend::Nothing},      // AV Size
    {"Command32", "C10",              Timing::Untimed,     AfterSend::Nothing},
    {"Command13", "C89",              Timing::Untimed,     AfterSend::ArrowsToMenu}, // right-hand column
    {"Command30", "C27",              Timing::Untimed,     AfterSend::Nothing},
    {"Command14", "C8A",              Timing::Untimed,     AfterSend::Nothing},
    {"Command3",  "C1E",              Timing::Untimed,     AfterSend::Nothing},
    {"Command4",  "C11",              Timing::PictureMode, AfterSend::Nothing},      // picture modes
    {"Command10", "C12",              Timing::PictureMode, AfterSend::Nothing},
    {"Command11", "C13",              Timing::PictureMode, AfterSend::Nothing},
    {"Command39", "C14",              Timing::PictureMode, AfterSend::Nothing},
    {"Command40", "C15",              Timing::PictureMode, AfterSend::Nothing},
    {"Command41", "C16",              Timing::PictureMode, AfterSend::Nothing},
    {"Command42", "C17",              Timing::PictureMode, AfterSend::Nothing},
    {"Command12", "C18",              Timing::PictureMode, AfterSend::Nothing},
    {"Command37", "C19",              Timing::PictureMode, AfterSend::Nothing},
    {"Command38", "CF FANMODE L1",    Timing::Untimed,     AfterSend::Nothing},      // FAN MODE
    {"Command43", "CF FANMODE L2",    Timing::Untimed,     AfterSend::Nothing},
    // Data band: status reads, decoded into the status line
    {"Command44", "CR0",              Timing::Untimed,     AfterSend::Nothing},
    {"Command46", "CR3",              Timing::Untimed,     AfterSend::Nothing},
    {"Command54", "CR6",              Timing::Untimed,     AfterSend::Nothing},
    {"Command45", "CR1",              Timing::Untimed,     AfterSend::Nothing},
    {"Command47", "CR4",              Timing::Untimed,     AfterSend::Nothing},
    {"Command55", "CR7",              Timing::Untimed,     AfterSend::Nothing},
    // Extension band: input sources
    {"Command64", "C50",              Timing::InputSource, AfterSend::Nothing},    // PC1
    {"Command52", "C51",              Timing::InputSource, AfterSend::Nothing},
    {"Command53", "C54",              Timing::InputSource, AfterSend::Nothing},
    {"Command72", "CF INPUT2 ANALOG", Timing::InputSource, AfterSend::Nothing},    // PC2
    {"Command65", "C5B",              Timing::InputSource, AfterSend::Nothing},
    {"Command66", "C5C",              Timing::InputSource, AfterSend::Nothing},
    {"Command82", "CF INPUT3 VIDEO",  Timing::InputSource, AfterSend::Nothing},    // Video
    {"Command69", "C34",              Timing::InputSource, AfterSend::Nothing},
    {"Command36", "C02",              Timing::Untimed,     AfterSend::Nothing},    // beside the panel
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
    const char* control; // objectName of the button
    quint8 number;       // the button's number in the repeat table
    const char* code;    // command code, sent framed at the press and every repeat
    HeldKind kind;
    int repeatPeriod;     // Adjuster only: the repeat period
    DisplayTiming timing; // Adjuster only
    AfterRelease after;
};

// clang-format off
inline constexpr HeldEntry HoldTable[] = {
    {"Command1",  1,  "C09", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},      // VOL
    {"Command2",  2,  "C0A", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},
    {"Command15", 7,  "C20", HeldKind::Adjuster, 50,  {25, 25},   AfterRelease::Nothing},      // Brightness
    {"Command35", 8,  "C21", HeldKind::Adjuster, 50,  {25, 25},   AfterRelease::Nothing},
    {"Command48", 17, "C30", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::ArrowsToZoom}, // D.Zoom
    {"Command49", 18, "C31", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::ArrowsToZoom},
    {"Command50", 19, "C8E", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},      // Keystone
    {"Command51", 20, "C8F", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},
    {"Command6",  13, "C3F", HeldKind::Adjuster, 500, {200, 245}, AfterRelease::Nothing},      // cursor pad
    {"Command5",  3,  "C3C", HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
    {"Command7",  4,  "C3D", HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
    {"Command9",  5,  "C3B", HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
    {"Command8",  6,  "C3A", HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
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

// The held button of a number of the repeat table, if any.
constexpr const HeldEntry* heldEntry(quint8 number)
{
    for (const HeldEntry& entry : HoldTable)
        if (entry.number == number)
            return &entry;
    return nullptr;
}

} // namespace orva
