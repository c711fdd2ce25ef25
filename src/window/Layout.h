#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <cmath>
#include <span>
#include <vector>

class QWidget;

namespace orva {

// Kinds of control on the window.
enum class ControlKind { Frame, Label, Button, Option, TextBox, Image, Line };

// Font keys: face (fixed-pitch G or proportional P), size and weight. W is
// the window's own font.
enum class FontKey { W, G9B, G8B, G8, G10B, G10, P9B, P9, P10B };

enum class Align { Left, Centre, Right };

// Per-control switches.
namespace ControlFlag {
inline constexpr unsigned Border = 1;   // one-line sunken border (the white display labels)
inline constexpr unsigned Hidden = 2;   // hidden at start
inline constexpr unsigned Selected = 4; // option button checked at start
} // namespace ControlFlag

// One control of the window as designed. Positions and sizes are twips
// (15 twips are one logical pixel); Left/Top are relative to the parent
// frame, or to the client area for the window's direct members. A line
// gives its end points (X1, Y1)-(X2, Y2) in Left/Top/Width/Height.
struct ControlSpec
{
    const char* name;
    ControlKind kind;
    const char* parent;  // nullptr: the window itself
    const char* caption; // UTF-8
    int left, top, width, height;
    int tab;   // place in the tab order, -1 for none
    QRgb back; // 0: no colour of its own (the system's)
    QRgb text; // 0: the default text colour
    FontKey font;
    Align align;
    unsigned flags; // ControlFlag bits

    bool has(unsigned flag) const { return (flags & flag) != 0; }
    // The area the control covers, in twips of its parent. For a line, the
    // box between its end points.
    QRect rectTwips() const;
};

inline constexpr int TwipsPerPixel = 15;
// Nearest whole pixel (halves away from zero), as the design's sizes snap
// to the pixel grid: 250 and 255 twips are both 17 pixels.
constexpr int twipsToPixels(int twips)
{
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

// The window as designed, in twips.
inline constexpr int ClientWidthTwips = 9495;
inline constexpr int ClientHeightTwips = 8730;
// Title bar and top and bottom borders together (a 19-pixel title bar and
// 3-pixel borders), and one side border. The program reasons with these
// nominal values whatever the window manager really draws, so the same
// bands of controls are in view at each height on every desktop.
inline constexpr int TitleAndBordersTwips = 375;
inline constexpr int SideBorderTwips = 45;
inline constexpr int OuterWidthTwips = ClientWidthTwips + 2 * SideBorderTwips;
inline constexpr int DesignOuterHeightTwips = ClientHeightTwips + TitleAndBordersTwips;

// Client height in logical pixels for an outer height in twips (never
// negative).
inline int clientPixelsForOuterHeight(int outerTwips)
{
    const double pixels = double(outerTwips - TitleAndBordersTwips) / TwipsPerPixel;
    return pixels > 0 ? int(std::lround(pixels)) : 0;
}

// Start position of the window's outer top-left corner, in twips, for a
// screen of the given size in twips: centred horizontally, and vertically
// as a window of the full design height would be. Not clamped: on a screen
// smaller than the window the result is negative.
QPointF startPosition(QSizeF screenTwips);

// The face standing in for a design face on this machine: the design face
// itself when installed, else its usual stand-in (IPAGothic for the
// fixed-pitch face, IPAPGothic for the proportional one), else any
// installed face that can draw Japanese, else the default face.
QString fixedPitchFamily();
QString proportionalFamily();

// The font of a key.
QFont fontFor(FontKey key);

// Every control of the window, parents before their members. Members of one
// container are stacked in table order: a later row lies above an earlier
// one where they overlap.
std::span<const ControlSpec> windowLayout();

// Makes the widgets of a layout inside window, each with its control name as
// objectName, its geometry, caption, colours, font, alignment, visibility and
// place in the tab order. Returns the controls that take the focus, in tab
// order.
std::vector<QWidget*> buildControls(QWidget* window, std::span<const ControlSpec> layout);

} // namespace orva
