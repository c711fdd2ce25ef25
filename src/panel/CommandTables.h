#pragma once

#include <QtGlobal>

#include <iterator>
#include <optional>

namespace orva {

// A pair of display-timer intervals: the reply timeout (Timer2) and the
// clear delay (Timer4), in milliseconds.
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
    // timing (Timer1.Interval 200, then ArrowContext 1).
    ArrowsToMenu,
};

inline constexpr int MenuArrowRepeat = 200;

struct CatalogueEntry
{
    const char* control; // objectName of the button
    const char* caption; // UTF-8
    const char* code;    // command code, sent framed
    Timing timing;
    AfterSend after;
};

// Every single-press button of the window, group by group as they stand.
// clang-format off
inline constexpr CatalogueEntry CommandCatalogue[] = {
    // Main band
    {"Command17", "ON",            "C00",              Timing::Untimed,     AfterSend::Nothing},      // POWER
    {"Command18", "OFF",           "C01",              Timing::Untimed,     AfterSend::Nothing},
    {"Command27", "PC1",           "C05",              Timing::Untimed,     AfterSend::Nothing},      // INPUT MODE SET
    {"Command28", "PC2",           "C06",              Timing::Untimed,     AfterSend::Nothing},
    {"Command29", "Video",         "C07",              Timing::Untimed,     AfterSend::Nothing},
    {"Command23", "ON",            "C1C",              Timing::Untimed,     AfterSend::ArrowsToMenu}, // MENU
    {"Command24", "OFF",           "C1D",              Timing::Untimed,     AfterSend::Nothing},
    {"Command19", "ON",            "C0B",              Timing::Untimed,     AfterSend::Nothing},      // SOUND MUTE
    {"Command20", "OFF",           "C0C",              Timing::Untimed,     AfterSend::Nothing},
    {"Command21", "ON",            "C0D",              Timing::Untimed,     AfterSend::Nothing},      // NO SHOW
    {"Command22", "OFF",           "C0E",              Timing::Untimed,     AfterSend::Nothing},
    {"Command25", "ON",            "C43",              Timing::Untimed,     AfterSend::Nothing},      // FREEZE
    {"Command26", "OFF",           "C44",              Timing::Untimed,     AfterSend::Nothing},
    {"Command31", "Regular",       "C0F",              Timing::Untimed,     AfterSend::Nothing},      // AV Size
    {"Command32", "Wide",          "C10",              Timing::Untimed,     AfterSend::Nothing},
    {"Command13", "A-IMAGE",       "C89",              Timing::Untimed,     AfterSend::ArrowsToMenu}, // right-hand column
    {"Command30", "IMAGE",         "C27",              Timing::Untimed,     AfterSend::Nothing},
    {"Command14", "P-TIMER",       "C8A",              Timing::Untimed,     AfterSend::Nothing},
    {"Command3",  "DISPLAY CLEAR", "C1E",              Timing::Untimed,     AfterSend::Nothing},
    {"Command4",  "STAND",         "C11",              Timing::PictureMode, AfterSend::Nothing},      // picture modes
    {"Command10", "REAL",          "C12",              Timing::PictureMode, AfterSend::Nothing},
    {"Command11", "CINEMA",        "C13",              Timing::PictureMode, AfterSend::Nothing},
    {"Command39", "IMAGE1",        "C14",              Timing::PictureMode, AfterSend::Nothing},
    {"Command40", "IMAGE2",        "C15",              Timing::PictureMode, AfterSend::Nothing},
    {"Command41", "IMAGE3",        "C16",              Timing::PictureMode, AfterSend::Nothing},
    {"Command42", "IMAGE4",        "C17",              Timing::PictureMode, AfterSend::Nothing},
    {"Command12", "B.Board",       "C18",              Timing::PictureMode, AfterSend::Nothing},
    {"Command37", "Dynamic",       "C19",              Timing::PictureMode, AfterSend::Nothing},
    {"Command38", "L1",            "CF FANMODE L1",    Timing::Untimed,     AfterSend::Nothing},      // FAN MODE
    {"Command43", "L2",            "CF FANMODE L2",    Timing::Untimed,     AfterSend::Nothing},
    // Data band: status reads, decoded into the status line
    {"Command44", "STATUS",        "CR0",              Timing::Untimed,     AfterSend::Nothing},
    {"Command46", "L-TIME",        "CR3",              Timing::Untimed,     AfterSend::Nothing},
    {"Command54", "TEMP",          "CR6",              Timing::Untimed,     AfterSend::Nothing},
    {"Command45", "MODE",          "CR1",              Timing::Untimed,     AfterSend::Nothing},
    {"Command47", "SETTING",       "CR4",              Timing::Untimed,     AfterSend::Nothing},
    {"Command55", "L-MODE",        "CR7",              Timing::Untimed,     AfterSend::Nothing},
    // Extension band: input sources
    {"Command64", "RGB",             "C50",              Timing::InputSource, AfterSend::Nothing},    // PC1
    {"Command52", "Scart",           "C51",              Timing::InputSource, AfterSend::Nothing},
    {"Command53", "Component",       "C54",              Timing::InputSource, AfterSend::Nothing},
    {"Command72", "RGB",             "CF INPUT2 ANALOG", Timing::InputSource, AfterSend::Nothing},    // PC2
    {"Command65", "DVI(PC Digital)", "C5B",              Timing::InputSource, AfterSend::Nothing},
    {"Command66", "DVI(AV HDCP)",    "C5C",              Timing::InputSource, AfterSend::Nothing},
    {"Command82", "Video",           "CF INPUT3 VIDEO",  Timing::InputSource, AfterSend::Nothing},    // Video
    {"Command69", "S-Video",         "C34",              Timing::InputSource, AfterSend::Nothing},
    {"Command36", "C02",             "C02",              Timing::Untimed,     AfterSend::Nothing},    // beside the panel
};
// clang-format on

// --- Press-and-hold buttons -------------------------------------------------

enum class HeldKind : quint8 {
    // "+"/"-" adjusters and SELECT: the press sets the repeat period and the
    // display timing of the row, after its send.
    Adjuster,
    // Cursor arrows: the press takes the display timing from ArrowContext,
    // before its send, and leaves the repeat period as it was.
    Arrow,
};

// What the release of a held button does besides ending the hold.
enum class AfterRelease : quint8 {
    Nothing,
    // D.Zoom: the arrows now repeat every 5 ms with the zoom timing
    // (Timer1.Interval 5, then ArrowContext 3).
    ArrowsToZoom,
};

inline constexpr int ZoomArrowRepeat = 5;

// Display timing a release puts back; also the start-up values.
inline constexpr DisplayTiming ReleaseTiming{500, 1000};

struct HeldEntry
{
    const char* control; // objectName of the button
    const char* caption; // UTF-8
    quint8 heldCode;     // number kept in HeldCode while held
    const char* code;    // command code, sent framed at the press and every repeat
    HeldKind kind;
    int repeatPeriod;     // Adjuster only: Timer1.Interval
    DisplayTiming timing; // Adjuster only
    AfterRelease after;
};

// clang-format off
inline constexpr HeldEntry HoldTable[] = {
    {"Command1",  "+",      1,  "C09", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},      // VOL
    {"Command2",  "-",      2,  "C0A", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},
    {"Command15", "+",      7,  "C20", HeldKind::Adjuster, 50,  {25, 25},   AfterRelease::Nothing},      // Brightness
    {"Command35", "-",      8,  "C21", HeldKind::Adjuster, 50,  {25, 25},   AfterRelease::Nothing},
    {"Command48", "+",      17, "C30", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::ArrowsToZoom}, // D.Zoom
    {"Command49", "-",      18, "C31", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::ArrowsToZoom},
    {"Command50", "+",      19, "C8E", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},      // Keystone
    {"Command51", "-",      20, "C8F", HeldKind::Adjuster, 250, {200, 245}, AfterRelease::Nothing},
    {"Command6",  "SELECT", 13, "C3F", HeldKind::Adjuster, 500, {200, 245}, AfterRelease::Nothing},      // cursor pad
    {"Command5",  "↑",      3,  "C3C", HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
    {"Command7",  "↓",      4,  "C3D", HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
    {"Command9",  "←",      5,  "C3B", HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
    {"Command8",  "→",      6,  "C3A", HeldKind::Arrow,    0,   {0, 0},     AfterRelease::Nothing},
};
// clang-format on

// Display timing of an arrow press by ArrowContext; none for any other value
// (the intervals stay as they are).
constexpr std::optional<DisplayTiming> arrowTiming(quint8 arrowContext)
{
    switch (arrowContext) {
    case 1:
        return DisplayTiming{150, 190}; // on-screen menu
    case 3:
        return DisplayTiming{5, 5}; // after D.Zoom
    default:
        return std::nullopt;
    }
}

static_assert(std::size(CommandCatalogue) == 45);
static_assert(std::size(HoldTable) == 13);

// The held button whose number is heldCode, if any.
constexpr const HeldEntry* heldEntry(quint8 heldCode)
{
    for (const HeldEntry& entry : HoldTable)
        if (entry.heldCode == heldCode)
            return &entry;
    return nullptr;
}

} // namespace orva
