#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace orva {

// The widget kinds of the window that Qt does not draw the way the panel
// needs on every style. Each paints itself, so colours and borders look the
// same whatever style or theme the desktop uses.

// A command button drawn in its own background colour with a raised
// two-line bevel (sunken while pressed), a black outline and a dotted focus
// rectangle while it has the keyboard focus, and its caption centred,
// wrapped onto more lines when it does not fit. A button without a colour
// of its own uses the system's button face and text colours.
class PanelButton : public QPushButton
{
    Q_OBJECT
public:
    PanelButton(const QString& caption, QColor back, QColor text, QWidget* parent = nullptr);

    // The colour the button is filled with.
    QColor backColour() const;
    QColor textColour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_back;
    QColor m_text;
};

// A frame without a caption: an etched border whose top edge sits half a
// line of the frame's font below the frame's top, where a caption would run
// through it, on the frame's background colour.
class FrameBox : public QFrame
{
    Q_OBJECT
public:
    explicit FrameBox(QWidget* parent = nullptr);

    // Distance of the drawn top edge from the frame's top, in pixels.
    int borderTop() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A display line: a label with a one-line sunken border (dark along the top
// and left, light along the bottom and right) around its text.
class DisplayLabel : public QLabel
{
    Q_OBJECT
public:
    explicit DisplayLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A straight line of the window's background drawing. The widget covers the
// line's box; it never takes the mouse or the focus and lies below its
// siblings.
class OutlineLine : public QWidget
{
    Q_OBJECT
public:
    // from and to are the end points in the parent's pixels.
    OutlineLine(QPoint from, QPoint to, int width, QColor colour, QWidget* parent = nullptr);

    QPoint from() const { return m_from; }
    QPoint to() const { return m_to; }
    QColor colour() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint m_from;
    QPoint m_to;
    int m_width;
    QColor m_colour;
};

// The logo picture, drawn at its natural size; a double-click on it is
// reported and has no other effect.
class LogoImage : public QWidget
{
    Q_OBJECT
public:
    explicit LogoImage(QWidget* parent = nullptr);

Q_SIGNALS:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace orva
