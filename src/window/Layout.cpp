#include "window/Layout.h"

#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace orva {

namespace {

constexpr QRgb Grey = qRgb(192, 192, 192);
constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Cyan = qRgb(192, 255, 255);
constexpr QRgb Green = qRgb(192, 255, 192);
constexpr QRgb Pink = qRgb(255, 192, 192);

using K = ControlKind;
using F = FontKey;
using A = Align;

// clang-format off
constexpr ControlSpec Controls[] = {
    // name        kind       parent    caption   left  top   width height tab back  text font    align    border hidden
    {"Command17", K::Button, nullptr, "ON",      120,  840,  615,  300,   1, Green, 0, F::P9B, A::Centre, false, false},
    {"Command16", K::Button, nullptr, "END",    8400, 4320,  975,  375,  26, Grey,  0, F::G9B, A::Centre, false, false},
    {"Command33", K::Button, nullptr, "COM",    4080, 4200, 1815,  375,  41, 0,     0, F::P9,  A::Centre, false, false},
    {"Frame8",    K::Frame,  nullptr, "",       3480, 3600, 2775, 1185,  42, Grey,  0, F::W,   A::Left,   false, true},
    {"Option1",   K::Option, "Frame8", "COM1",   240,  240, 1215,  255,  43, Grey,  0, F::G9B, A::Left,   false, false},
    {"Option2",   K::Option, "Frame8", "COM2",  1560,  240, 1095,  255,  44, Grey,  0, F::G9B, A::Left,   false, false},
    {"Frame13",   K::Frame,  "Frame8", "",       120,  480, 2535,  615,  66, Grey,  0, F::W,   A::Left,   false, false},
    {"Option9",   K::Option, "Frame13", "19200", 120,  240, 1095,  255,  67, Grey,  0, F::G9B, A::Left,   false, false},
    {"Option10",  K::Option, "Frame13", "9600", 1440,  240,  975,  300,  68, Grey,  0, F::G9B, A::Left,   false, false},
    {"Frame9",    K::Frame,  nullptr, "",         45, 4920, 6312, 1290,  45, Grey,  0, F::W,   A::Left,   false, false},
    {"Label9",    K::Label,  "Frame9", "TXD",    105,  210,  390,  285,  46, Grey,  0, F::W,   A::Right,  false, false},
    {"Label11",   K::Label,  "Frame9", "",       600,  180, 5610,  300,  48, White, 0, F::P10B, A::Left,  true,  false},
    {"Label10",   K::Label,  "Frame9", "RXD",     75,  555,  450,  300,  47, Grey,  0, F::W,   A::Right,  false, false},
    {"Label12",   K::Label,  "Frame9", "",       600,  540, 5616,  300,  49, White, 0, F::P10B, A::Left,  true,  false},
    {"Label23",   K::Label,  "Frame9", "STATUS", 120,  960,  735,  225,  92, Grey,  0, F::G8,  A::Left,   false, false},
    {"Label22",   K::Label,  "Frame9", "",       930,  915, 5295,  300,  91, White, Red, F::P9B, A::Left,  true,  false},
    {"Command44", K::Button, nullptr, "STATUS", 6480, 5640,  975,  255,  54, Cyan,  0, F::G8B, A::Centre, false, false},
    {"Command18", K::Button, nullptr, "OFF",     960,  840,  615,  300,  27, Pink,  0, F::P9B, A::Centre, false, false},
};
// clang-format on

QWidget* makeWidget(const ControlSpec& spec, QWidget* parent)
{
    const QString caption = QString::fromUtf8(spec.caption);
    switch (spec.kind) {
    case ControlKind::Frame: {
        auto* frame = new QFrame(parent);
        frame->setFrameShape(QFrame::Box);
        return frame;
    }
    case ControlKind::Label: {
        auto* label = new QLabel(caption, parent);
        if (spec.border)
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return label;
    }
    case ControlKind::Button:
        return new QPushButton(caption, parent);
    case ControlKind::Option:
        return new QRadioButton(caption, parent);
    case ControlKind::TextBox:
        return new QLineEdit(parent);
    case ControlKind::Image:
    case ControlKind::Line:
        return new QWidget(parent);
    }
    return new QWidget(parent);
}

} // namespace

std::span<const ControlSpec> windowLayout()
{
    return Controls;
}

void buildControls(QWidget* window, std::span<const ControlSpec> layout)
{
    QHash<QByteArray, QWidget*> byName;
    for (const ControlSpec& spec : layout) {
        QWidget* parent = spec.parent ? byName.value(spec.parent, window) : window;
        QWidget* widget = makeWidget(spec, parent);
        widget->setObjectName(QString::fromLatin1(spec.name));
        widget->setGeometry(twipsToPixels(spec.left), twipsToPixels(spec.top), twipsToPixels(spec.width),
                            twipsToPixels(spec.height));
        widget->setVisible(!spec.hidden);
        byName.insert(spec.name, widget);
    }
}

} // namespace orva
