#include "window/Accessibility.h"

#include <algorithm>
#include <iterator>

namespace orva {

namespace {

struct SpokenName
{
    const char* control;
    const char* caption; // nullptr: whatever the caption
    const char* name;    // UTF-8
};

// The names a screen reader says, by control. A listener hears a button
// without seeing its frame, so the name carries the group ("POWER ON" and
// "MENU ON", "Input PC1 RGB" and "Input PC2 RGB"), keeps the caption's own
// words so that a sighted helper's "press SEND" can be found by name, and
// says in words what a glyph only shows ("Cursor up" for the arrow).
// Frames are named after the group they hold; the title labels speak their
// own text.
// clang-format off
constexpr SpokenName Names[] = {
    {"Frame1", nullptr, "POWER"},
    {"Command17", nullptr, "POWER ON"},
    {"Command18", nullptr, "POWER OFF"},
    {"Frame2", nullptr, "INPUT MODE SET"},
    {"Command27", nullptr, "Input mode PC1"},
    {"Command28", nullptr, "Input mode PC2"},
    {"Command29", nullptr, "Input mode Video"},
    {"Frame6", nullptr, "MENU"},
    {"Command23", nullptr, "MENU ON"},
    {"Command24", nullptr, "MENU OFF"},
    {"Image1", nullptr, "ORVA logo"},
    {"Frame3", nullptr, "SOUND MUTE"},
    {"Command19", nullptr, "SOUND MUTE ON"},
    {"Command20", nullptr, "SOUND MUTE OFF"},
    {"Frame4", nullptr, "NO SHOW"},
    {"Command21", nullptr, "NO SHOW ON"},
    {"Command22", nullptr, "NO SHOW OFF"},
    {"Frame7", nullptr, "FREEZE"},
    {"Command25", nullptr, "FREEZE ON"},
    {"Command26", nullptr, "FREEZE OFF"},
    {"Frame5", nullptr, "AV Size"},
    {"Command31", nullptr, "AV Size Regular"},
    {"Command32", nullptr, "AV Size Wide"},

    {"Command5", nullptr, "Cursor up"},
    {"Command7", nullptr, "Cursor down"},
    {"Command9", nullptr, "Cursor left"},
    {"Command8", nullptr, "Cursor right"},
    {"Command6", nullptr, "SELECT"},
    {"Command1", nullptr, "VOL +"},
    {"Command2", nullptr, "VOL -"},
    {"Command15", nullptr, "Brightness +"},
    {"Command35", nullptr, "Brightness -"},
    {"Command48", nullptr, "D.Zoom +"},
    {"Command49", nullptr, "D.Zoom -"},
    {"Command50", nullptr, "Keystone +"},
    {"Command51", nullptr, "Keystone -"},
    {"Command13", nullptr, "A-IMAGE"},
    {"Command30", nullptr, "IMAGE"},
    {"Command14", nullptr, "P-TIMER"},
    {"Command3", nullptr, "DISPLAY CLEAR"},
    {"Command16", nullptr, "END program"},

    {"Command4", nullptr, "Picture mode STAND"},
    {"Command10", nullptr, "Picture mode REAL"},
    {"Command11", nullptr, "Picture mode CINEMA"},
    {"Command39", nullptr, "Picture mode IMAGE1"},
    {"Command40", nullptr, "Picture mode IMAGE2"},
    {"Command41", nullptr, "Picture mode IMAGE3"},
    {"Command42", nullptr, "Picture mode IMAGE4"},
    {"Command12", nullptr, "Picture mode B.Board"},
    {"Command37", nullptr, "Picture mode Dynamic"},
    {"Command33", nullptr, "COM port settings"},
    {"Frame8", nullptr, "Port settings"},
    {"Option1", nullptr, "Port COM1"},
    {"Option2", nullptr, "Port COM2"},
    {"Frame13", nullptr, "Speed"},
    {"Option9", nullptr, "Speed 19200"},
    {"Option10", nullptr, "Speed 9600"},
    {"Frame10", nullptr, "FAN MODE"},
    {"Command38", nullptr, "FAN MODE L1"},
    {"Command43", nullptr, "FAN MODE L2"},

    {"Frame9", nullptr, "Traffic and status"},
    {"Label11", nullptr, "Transmit line"},
    {"Label12", nullptr, "Reply line"},
    {"Label22", nullptr, "Status"},
    {"Command34", "データを表示する", "Show data"},
    {"Command34", "データを表示しない", "Hide data"},
    {"Command34", "CLOSE", "Close data"},
    {"Command44", nullptr, "Read STATUS"},
    {"Command46", nullptr, "Read L-TIME, lamp hours"},
    {"Command54", nullptr, "Read TEMP, temperatures"},
    {"Command45", nullptr, "Read MODE"},
    {"Command47", nullptr, "Read SETTING"},
    {"Command55", nullptr, "Read L-MODE, lamp mode"},

    {"Frame14", nullptr, "Input source"},
    {"Command64", nullptr, "Input PC1 RGB"},
    {"Command52", nullptr, "Input PC1 Scart"},
    {"Command53", nullptr, "Input PC1 Component"},
    {"Command72", nullptr, "Input PC2 RGB"},
    {"Command65", nullptr, "Input PC2 DVI(PC Digital)"},
    {"Command66", nullptr, "Input PC2 DVI(AV HDCP)"},
    {"Command82", nullptr, "Input Video Video"},
    {"Command69", nullptr, "Input Video S-Video"},
    {"Command36", nullptr, "Command C02"},
    {"Frame15", nullptr, "Free command"},
    {"Text1", nullptr, "Command line"},
    {"Command95", nullptr, "SEND command line"},
    {"Command96", nullptr, "CLS, clear command line"},
};
// clang-format on

} // namespace

QString accessibleNameOf(const QString& control, const QString& caption)
{
    const auto found = std::find_if(std::begin(Names), std::end(Names), [&](const SpokenName& entry) {
        return control == QLatin1String(entry.control)
            && (!entry.caption || caption == QString::fromUtf8(entry.caption));
    });
    return found == std::end(Names) ? QString() : QString::fromUtf8(found->name);
}

} // namespace orva
