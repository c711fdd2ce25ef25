#include "window/Layout.h"

#include "window/Accessibility.h"
#include "window/Controls.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QRadioButton>

#include <algorithm>
#include <vector>

namespace orva {

namespace {

using K = ControlKind;
using F = FontKey;
using A = Align;
using namespace ControlFlag;

// clang-format off
constexpr ControlSpec Controls[] = {
    // name, kind, parent, caption, left, top, width, height, tab, back colour, text colour, font, align, flags
    {"Frame1", K::Frame, nullptr, "", 120, 240, 1695, 975, 0, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label1", K::Label, "Frame1", "POWER", 240, 240, 1095, 255, 2, qRgb(192, 192, 192), qRgb(192, 0, 0), F::G9B, A::Centre, 0},
    {"Command17", K::Button, "Frame1", "ON", 120, 600, 615, 300, 1, qRgb(192, 255, 192), 0, F::P9B, A::Centre, 0},
    {"Command18", K::Button, "Frame1", "OFF", 960, 600, 615, 300, 27, qRgb(255, 192, 192), 0, F::P9B, A::Centre, 0},
    {"Frame2", K::Frame, nullptr, "", 2160, 240, 2775, 975, 3, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label2", K::Label, "Frame2", "INPUT MODE SET", 480, 240, 1935, 255, 4, qRgb(192, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Command27", K::Button, "Frame2", "PC1", 240, 600, 495, 300, 36, qRgb(192, 255, 255), 0, F::P9B, A::Centre, 0},
    {"Command28", K::Button, "Frame2", "PC2", 960, 600, 495, 300, 37, qRgb(192, 255, 255), 0, F::P9B, A::Centre, 0},
    {"Command29", K::Button, "Frame2", "Video", 1680, 600, 735, 300, 38, qRgb(192, 255, 255), 0, F::P9B, A::Centre, 0},
    {"Frame6", K::Frame, nullptr, "", 5280, 240, 1695, 975, 14, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label7", K::Label, "Frame6", "MENU", 360, 240, 975, 255, 15, qRgb(192, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Command23", K::Button, "Frame6", "ON", 120, 600, 615, 300, 32, qRgb(192, 255, 192), 0, F::P9B, A::Centre, 0},
    {"Command24", K::Button, "Frame6", "OFF", 960, 600, 615, 300, 33, qRgb(255, 192, 192), 0, F::P9B, A::Centre, 0},
    {"Image1", K::Image, nullptr, "", 8160, 120, 1200, 390, -1, 0, 0, F::W, A::Left, 0},
    {"Frame3", K::Frame, nullptr, "", 120, 1440, 1695, 855, 8, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label4", K::Label, "Frame3", "SOUND MUTE", 120, 195, 1455, 300, 9, qRgb(192, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Command19", K::Button, "Frame3", "ON", 120, 480, 615, 300, 28, qRgb(192, 255, 192), 0, F::P9B, A::Centre, 0},
    {"Command20", K::Button, "Frame3", "OFF", 960, 480, 615, 300, 29, qRgb(255, 192, 192), 0, F::P9B, A::Centre, 0},
    {"Frame4", K::Frame, nullptr, "", 2520, 1440, 1695, 855, 10, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label5", K::Label, "Frame4", "NO SHOW", 360, 210, 1095, 285, 11, qRgb(192, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Command21", K::Button, "Frame4", "ON", 120, 480, 615, 300, 30, qRgb(192, 255, 192), 0, F::P9B, A::Centre, 0},
    {"Command22", K::Button, "Frame4", "OFF", 960, 480, 615, 300, 31, qRgb(255, 192, 192), 0, F::P9B, A::Centre, 0},
    {"Frame7", K::Frame, nullptr, "", 5040, 1440, 1695, 855, 22, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label8", K::Label, "Frame7", "FREEZE", 240, 210, 1215, 285, 23, qRgb(192, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Command25", K::Button, "Frame7", "ON", 120, 480, 615, 300, 34, qRgb(192, 255, 192), 0, F::P9B, A::Centre, 0},
    {"Command26", K::Button, "Frame7", "OFF", 960, 480, 615, 300, 35, qRgb(255, 192, 192), 0, F::P9B, A::Centre, 0},
    {"Frame5", K::Frame, nullptr, "", 7440, 1440, 1815, 855, 12, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label6", K::Label, "Frame5", "AV Size", 240, 210, 1335, 285, 13, qRgb(192, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Command31", K::Button, "Frame5", "Regular", 120, 480, 855, 300, 39, qRgb(192, 255, 255), 0, F::P9, A::Centre, 0},
    {"Command32", K::Button, "Frame5", "Wide", 1080, 480, 615, 300, 40, qRgb(192, 255, 255), 0, F::P9, A::Centre, 0},
    {"Command5", K::Button, nullptr, "↑", 1200, 2520, 855, 375, 17, qRgb(255, 224, 192), 0, F::P9B, A::Centre, 0},
    {"Command9", K::Button, nullptr, "←", 240, 3000, 855, 375, 21, qRgb(255, 224, 192), 0, F::P9B, A::Centre, 0},
    {"Command6", K::Button, nullptr, "SELECT", 1200, 3000, 855, 375, 18, qRgb(255, 128, 0), 0, F::W, A::Centre, 0},
    {"Command8", K::Button, nullptr, "→", 2160, 3000, 855, 375, 20, qRgb(255, 224, 192), 0, F::P9B, A::Centre, 0},
    {"Command7", K::Button, nullptr, "↓", 1200, 3480, 855, 375, 19, qRgb(255, 224, 192), 0, F::P9B, A::Centre, 0},
    {"Label3", K::Label, nullptr, "VOL", 3600, 2520, 495, 255, 7, qRgb(192, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Command1", K::Button, nullptr, "+", 3600, 2880, 375, 255, 5, qRgb(255, 192, 128), 0, F::G9B, A::Centre, 0},
    {"Command2", K::Button, nullptr, "-", 3600, 3240, 375, 255, 6, qRgb(255, 192, 128), 0, F::G9B, A::Centre, 0},
    {"Label13", K::Label, nullptr, "Brightness", 4560, 2520, 975, 255, 53, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Command15", K::Button, nullptr, "+", 4800, 2880, 375, 255, 51, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command35", K::Button, nullptr, "-", 4800, 3240, 375, 255, 52, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Label17", K::Label, nullptr, "D.Zoom", 6360, 2520, 735, 255, 60, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Command48", K::Button, nullptr, "+", 6480, 2880, 375, 255, 58, qRgb(192, 255, 255), 0, F::P9, A::Centre, 0},
    {"Command49", K::Button, nullptr, "-", 6480, 3240, 375, 255, 59, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Label18", K::Label, nullptr, "Keystone", 7320, 2520, 855, 255, 63, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Command50", K::Button, nullptr, "+", 7440, 2880, 375, 255, 61, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command51", K::Button, nullptr, "-", 7440, 3240, 375, 255, 62, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command13", K::Button, nullptr, "A-IMAGE", 8400, 2760, 975, 250, 24, qRgb(0, 192, 192), 0, F::W, A::Centre, 0},
    {"Command3", K::Button, nullptr, "DISPLAY CLEAR", 8400, 3600, 975, 492, 16, qRgb(192, 192, 255), 0, F::W, A::Centre, 0},
    {"Command14", K::Button, nullptr, "P-TIMER", 8400, 3360, 975, 250, 25, qRgb(192, 192, 255), 0, F::W, A::Centre, 0},
    {"Command30", K::Button, nullptr, "IMAGE", 8400, 3120, 975, 255, 65, qRgb(192, 192, 255), 0, F::W, A::Centre, 0},
    {"Command16", K::Button, nullptr, "END", 8400, 4320, 975, 375, 26, qRgb(192, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Command4", K::Button, nullptr, "STAND", 240, 4080, 975, 255, 69, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command10", K::Button, nullptr, "REAL", 1200, 4080, 975, 255, 70, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command11", K::Button, nullptr, "CINEMA", 2160, 4080, 975, 255, 71, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command39", K::Button, nullptr, "IMAGE1", 240, 4320, 975, 255, 72, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command40", K::Button, nullptr, "IMAGE2", 1200, 4320, 975, 255, 73, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command41", K::Button, nullptr, "IMAGE3", 2160, 4320, 975, 255, 74, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command42", K::Button, nullptr, "IMAGE4", 240, 4560, 975, 255, 75, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command12", K::Button, nullptr, "B.Board", 1200, 4560, 975, 255, 93, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command37", K::Button, nullptr, "Dynamic", 2160, 4560, 975, 255, 95, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command33", K::Button, nullptr, "COM", 4080, 4200, 1815, 375, 41, 0, 0, F::P9, A::Centre, 0},
    {"Frame8", K::Frame, nullptr, "", 3480, 3600, 2775, 1185, 42, qRgb(192, 192, 192), 0, F::W, A::Left, Hidden},
    {"Option1", K::Option, "Frame8", "COM1", 240, 240, 1215, 255, 43, qRgb(192, 192, 192), 0, F::G9B, A::Left, 0},
    {"Option2", K::Option, "Frame8", "COM2", 1560, 240, 1095, 255, 44, qRgb(192, 192, 192), 0, F::G9B, A::Left, 0},
    {"Frame13", K::Frame, "Frame8", "", 120, 480, 2535, 615, 66, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Option9", K::Option, "Frame13", "19200", 120, 240, 1095, 255, 67, qRgb(192, 192, 192), 0, F::G9B, A::Left, Selected},
    {"Option10", K::Option, "Frame13", "9600", 1440, 240, 975, 300, 68, qRgb(192, 192, 192), 0, F::G9B, A::Left, 0},
    {"Frame10", K::Frame, nullptr, "", 6480, 3720, 1695, 975, 96, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label14", K::Label, "Frame10", "FAN MODE", 240, 240, 1335, 255, 99, qRgb(192, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Command38", K::Button, "Frame10", "L1", 120, 600, 735, 300, 97, qRgb(192, 255, 192), 0, F::W, A::Centre, 0},
    {"Command43", K::Button, "Frame10", "L2", 960, 600, 615, 300, 98, qRgb(255, 192, 192), 0, F::W, A::Centre, 0},
    {"Frame9", K::Frame, nullptr, "", 45, 4920, 6312, 1290, 45, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label9", K::Label, "Frame9", "TXD", 105, 210, 390, 285, 46, qRgb(192, 192, 192), 0, F::W, A::Right, 0},
    {"Label11", K::Label, "Frame9", "", 600, 180, 5610, 300, 48, qRgb(255, 255, 255), 0, F::P10B, A::Left, Border},
    {"Label10", K::Label, "Frame9", "RXD", 75, 555, 450, 300, 47, qRgb(192, 192, 192), 0, F::W, A::Right, 0},
    {"Label12", K::Label, "Frame9", "", 600, 540, 5616, 300, 49, qRgb(255, 255, 255), 0, F::P10B, A::Left, Border},
    {"Label23", K::Label, "Frame9", "STATUS", 120, 960, 735, 225, 92, qRgb(192, 192, 192), 0, F::G8, A::Left, 0},
    {"Label22", K::Label, "Frame9", "", 930, 915, 5295, 300, 91, qRgb(255, 255, 255), qRgb(255, 0, 0), F::P9B, A::Left, Border},
    {"Command34", K::Button, nullptr, "データを表示する", 6600, 5040, 1200, 375, 50, qRgb(192, 192, 192), 0, F::P9, A::Centre, Hidden},
    {"Command44", K::Button, nullptr, "STATUS", 6480, 5640, 975, 255, 54, qRgb(192, 255, 255), 0, F::G8B, A::Centre, 0},
    {"Command46", K::Button, nullptr, "L-TIME", 7440, 5640, 975, 255, 56, qRgb(192, 255, 255), 0, F::G8B, A::Centre, 0},
    {"Command54", K::Button, nullptr, "TEMP", 8400, 5640, 975, 252, 64, qRgb(192, 255, 255), 0, F::G8B, A::Centre, 0},
    {"Command45", K::Button, nullptr, "MODE", 6480, 5880, 975, 255, 55, qRgb(192, 255, 255), 0, F::G8B, A::Centre, 0},
    {"Command47", K::Button, nullptr, "SETTING", 7440, 5880, 975, 255, 57, qRgb(192, 255, 255), 0, F::G8B, A::Centre, 0},
    {"Command55", K::Button, nullptr, "L-MODE", 8400, 5880, 975, 255, 102, qRgb(192, 255, 255), 0, F::G9B, A::Centre, 0},
    {"Frame14", K::Frame, nullptr, "", 120, 6735, 7215, 1320, 76, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label15", K::Label, "Frame14", "PC1", 120, 240, 735, 255, 83, qRgb(192, 192, 192), 0, F::G9B, A::Left, 0},
    {"Command64", K::Button, "Frame14", "RGB", 960, 240, 975, 255, 77, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command52", K::Button, "Frame14", "Scart", 1920, 240, 1815, 255, 100, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command53", K::Button, "Frame14", "Component", 3720, 240, 1815, 255, 101, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Label16", K::Label, "Frame14", "PC2", 120, 480, 735, 255, 84, qRgb(192, 192, 192), 0, F::G9B, A::Left, 0},
    {"Command72", K::Button, "Frame14", "RGB", 960, 480, 975, 255, 81, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command65", K::Button, "Frame14", "DVI(PC Digital)", 1920, 480, 1815, 255, 78, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command66", K::Button, "Frame14", "DVI(AV HDCP)", 3720, 480, 1815, 255, 79, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Label24", K::Label, "Frame14", "Video", 120, 720, 855, 255, 85, qRgb(192, 192, 192), 0, F::G9B, A::Left, 0},
    {"Command82", K::Button, "Frame14", "Video", 960, 720, 975, 255, 82, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command69", K::Button, "Frame14", "S-Video", 1920, 720, 1095, 255, 80, qRgb(192, 255, 255), 0, F::W, A::Centre, 0},
    {"Command36", K::Button, nullptr, "C02", 7560, 6840, 615, 255, 94, qRgb(255, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Frame15", K::Frame, nullptr, "", 120, 8040, 7215, 570, 86, qRgb(192, 192, 192), 0, F::W, A::Left, 0},
    {"Label26", K::Label, "Frame15", "CMD", 120, 240, 495, 255, 90, qRgb(192, 192, 192), 0, F::G10, A::Left, 0},
    {"Text1", K::TextBox, "Frame15", "", 600, 165, 5055, 345, 87, 0, 0, F::G10B, A::Left, 0},
    {"Command95", K::Button, "Frame15", "SEND", 5760, 240, 735, 255, 88, qRgb(192, 255, 192), 0, F::G9B, A::Centre, 0},
    {"Command96", K::Button, "Frame15", "CLS", 6480, 240, 615, 255, 89, qRgb(255, 192, 192), 0, F::G9B, A::Centre, 0},
    {"Line7", K::Line, nullptr, "", 1080, 2400, 2160, 2400, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line2", K::Line, nullptr, "", 2160, 2400, 2160, 2880, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line9", K::Line, nullptr, "", 2160, 2880, 3120, 2880, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line3", K::Line, nullptr, "", 3120, 2880, 3120, 3480, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line12", K::Line, nullptr, "", 2160, 3480, 3120, 3480, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line4", K::Line, nullptr, "", 2160, 3480, 2160, 3960, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line11", K::Line, nullptr, "", 1080, 3960, 2160, 3960, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line5", K::Line, nullptr, "", 1080, 3480, 1080, 3960, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line10", K::Line, nullptr, "", 120, 3480, 1080, 3480, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line6", K::Line, nullptr, "", 120, 2880, 120, 3480, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line8", K::Line, nullptr, "", 120, 2880, 1080, 2880, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},
    {"Line1", K::Line, nullptr, "", 1080, 2400, 1080, 2880, -1, qRgb(128, 128, 255), 0, F::W, A::Left, 0},

};
// clang-format on

// Width of the cursor pad's outline lines, in pixels.
constexpr int LineWidthPixels = 2;

QString pickFamily(const QStringList& candidates, bool fixedPitch)
{
    // Looked up among the installed families by name: asking the font
    // system for each candidate would also resolve its aliases, which
    // costs start-up a fraction of a millisecond per name.
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : candidates)
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    for (const QString& family : japanese)
        if (QFontDatabase::isFixedPitch(family) == fixedPitch)
            return family;
    if (!japanese.isEmpty())
        return japanese.first();
    return QGuiApplication::font().family();
}

QColor colourOf(QRgb rgb)
{
    return rgb ? QColor::fromRgb(rgb) : QColor();
}

Qt::Alignment alignmentOf(Align align)
{
    switch (align) {
    case Align::Centre:
        return Qt::AlignHCenter;
    case Align::Right:
        return Qt::AlignRight;
    case Align::Left:
        break;
    }
    return Qt::AlignLeft;
}

// Fills the widget with its back colour and draws its text in its text
// colour (or the window's).
void paintOwnColours(QWidget* widget, const ControlSpec& spec)
{
    if (!spec.back && !spec.text)
        return;
    QPalette palette = widget->palette();
    if (spec.back) {
        palette.setColor(QPalette::Window, colourOf(spec.back));
        widget->setAutoFillBackground(true);
    }
    if (spec.text)
        palette.setColor(QPalette::WindowText, colourOf(spec.text));
    widget->setPalette(palette);
}

QPoint pixels(int xTwips, int yTwips)
{
    return {twipsToPixels(xTwips), twipsToPixels(yTwips)};
}

QWidget* makeWidget(const ControlSpec& spec, QWidget* parent)
{
    const QString caption = QString::fromUtf8(spec.caption);
    switch (spec.kind) {
    case ControlKind::Frame: {
        auto* frame = new FrameBox(parent);
        paintOwnColours(frame, spec);
        return frame;
    }
    case ControlKind::Label: {
        auto* label = spec.has(Border) ? new DisplayLabel(parent) : new QLabel(parent);
        label->setText(caption);
        label->setAlignment(alignmentOf(spec.align) | Qt::AlignTop);
        paintOwnColours(label, spec);
        return label;
    }
    case ControlKind::Button:
        return new PanelButton(caption, colourOf(spec.back), colourOf(spec.text), parent);
    case ControlKind::Option: {
        auto* option = new QRadioButton(caption, parent);
        option->setChecked(spec.has(Selected));
        paintOwnColours(option, spec);
        return option;
    }
    case ControlKind::TextBox:
        return new PanelTextBox(caption, parent);
    case ControlKind::Image:
        return new LogoImage(parent);
    case ControlKind::Line: {
        auto* line = new OutlineLine(
            pixels(spec.left, spec.top), pixels(spec.width, spec.height), LineWidthPixels, colourOf(spec.back), parent);
        line->lower();
        return line;
    }
    }
    return new QWidget(parent);
}

} // namespace

QRect ControlSpec::rectTwips() const
{
    if (kind == ControlKind::Line)
        return QRect(
            QPoint(std::min(left, width), std::min(top, height)), QPoint(std::max(left, width), std::max(top, height)));
    return QRect(left, top, width, height);
}

QPointF startPosition(QSizeF screenTwips)
{
    return {(screenTwips.width() - OuterWidthTwips) / 2.0, (screenTwips.height() - DesignOuterHeightTwips) / 2.0};
}

QString fixedPitchFamily()
{
    static const QString family
        = pickFamily({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")}, true);
    return family;
}

QString proportionalFamily()
{
    static const QString family = pickFamily(
        {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")}, false);
    return family;
}

QFont fontFor(FontKey key)
{
    struct Face
    {
        bool proportional;
        qreal points;
        bool bold;
    };
    Face face{false, 9, false};
    switch (key) {
    case FontKey::W:
        break;
    case FontKey::G9B:
        face = {false, 9, true};
        break;
    case FontKey::G8B:
        face = {false, 8.25, true};
        break;
    case FontKey::G8:
        face = {false, 8.25, false};
        break;
    case FontKey::G10B:
        face = {false, 9.75, true};
        break;
    case FontKey::G10:
        face = {false, 9.75, false};
        break;
    case FontKey::P9B:
        face = {true, 9, true};
        break;
    case FontKey::P9:
        face = {true, 9, false};
        break;
    case FontKey::P10B:
        face = {true, 9.75, true};
        break;
    }
    QFont font(face.proportional ? proportionalFamily() : fixedPitchFamily());
    font.setPointSizeF(face.points);
    font.setWeight(face.bold ? QFont::Bold : QFont::Normal);
    return font;
}

std::span<const ControlSpec> windowLayout()
{
    return Controls;
}

std::vector<QWidget*> buildControls(QWidget* window, std::span<const ControlSpec> layout)
{
    installAccessibleInterfaces();
    QHash<QByteArray, QWidget*> byName;
    std::vector<std::pair<int, QWidget*>> tabStops;
    for (const ControlSpec& spec : layout) {
        QWidget* parent = spec.parent ? byName.value(spec.parent, window) : window;
        QWidget* widget = makeWidget(spec, parent);
        widget->setObjectName(QString::fromLatin1(spec.name));
        const QString spoken = accessibleNameOf(widget->objectName(), QString::fromUtf8(spec.caption));
        if (!spoken.isEmpty())
            widget->setAccessibleName(spoken);
        if (spec.kind != ControlKind::Line) {
            widget->setGeometry(twipsToPixels(spec.left), twipsToPixels(spec.top), twipsToPixels(spec.width),
                twipsToPixels(spec.height));
        }
        // A control of key W has no font of its own and follows the window's.
        if (spec.font != FontKey::W)
            widget->setFont(fontFor(spec.font));
        if (spec.has(Hidden))
            widget->hide();
        if (spec.tab >= 0 && (widget->focusPolicy() & Qt::TabFocus))
            tabStops.emplace_back(spec.tab, widget);
        byName.insert(spec.name, widget);
    }

    // Frames and labels hold a place in the tab order but never take the
    // focus; the controls that do are chained in the order of their places.
    std::sort(tabStops.begin(), tabStops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<QWidget*> chain;
    for (const auto& [tab, widget] : tabStops) {
        if (!chain.empty())
            QWidget::setTabOrder(chain.back(), widget);
        chain.push_back(widget);
    }
    return chain;
}

} // namespace orva
