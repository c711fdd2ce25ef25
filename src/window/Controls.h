#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
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
//
// From the keyboard, Enter, Return and the keypad's Enter press the focused
// button exactly as Space does: down on the key press, clicked on the
// release, once however long the key is held. (A push button outside a
// dialog otherwise lets them pass to its window.)
class PanelButton : public QPushButton
{
    Q_OBJECT
public:
    PanelButton(const QString& caption, QColor back, QColor text, QWidget* parent = nullptr);

    // The colour the button is filled with.
    QColor backColour() const;
    QColor textColour() const;

    // Sets the caption, and the name a screen reader gives the button with
    // it.
    void setCaption(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

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

// The one-line text box. Ctrl+K, the window's key chord, passes it by: the
// key press still arrives here and goes on to the window, but the box does
// not edit with it. The key schemes of the X11, KDE and GNOME desktops bind
// Ctrl+K to "delete to the end of the line", which would cut the rest of
// the typed command into the clipboard whenever the chord is pressed here.
class PanelTextBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit PanelTextBox(const QString& text, QWidget* parent = nullptr);

    // Whether a key press is the window's chord: K with Ctrl, without Shift
    // or Alt.
    static bool isChord(const QKeyEvent* event);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
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
