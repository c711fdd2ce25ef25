#pragma once

#include <QColor>
#include <QString>

#include <span>

class QWidget;

namespace orva {

// Kinds of control on the window.
enum class ControlKind { Frame, Label, Button, Option, TextBox, Image, Line };

// Font keys: face (fixed-pitch G or proportional P), size and weight.
enum class FontKey { W, G9B, G8B, G8, G10B, G10, P9B, P9, P10B };

enum class Align { Left, Centre, Right };

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
    QRgb back; // 0: no colour of its own
    QRgb text; // 0: the default text colour
    FontKey font;
    Align align;
    bool border; // one-line sunken border (display labels)
    bool hidden; // hidden at start
};

inline constexpr int TwipsPerPixel = 15;
constexpr int twipsToPixels(int twips)
{
    return twips / TwipsPerPixel;
}

// Every control of the window, parents before their members.
std::span<const ControlSpec> windowLayout();

// Makes the widgets of a layout inside window, each with its control name as
// objectName.
void buildControls(QWidget* window, std::span<const ControlSpec> layout);

} // namespace orva
