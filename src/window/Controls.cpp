#include "window/Controls.h"

#include "panel/DataPanel.h"
#include "window/Accessibility.h"
#include "window/Logo.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace orva {

namespace {

bool isEnterKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// Hands handle the same key event with Space in place of Enter, and takes
// back whether it was accepted.
template <class Handler> void asSpace(QKeyEvent* event, Handler handle)
{
    QKeyEvent space(event->type(), Qt::Key_Space, event->modifiers() & ~Qt::KeypadModifier, QStringLiteral(" "),
        event->isAutoRepeat(), event->count());
    handle(&space);
    event->setAccepted(space.isAccepted());
}

} // namespace

PanelButton::PanelButton(const QString& caption, QColor back, QColor text, QWidget* parent)
    : QPushButton(caption, parent)
    , m_back(back)
    , m_text(text)
{
}

QColor PanelButton::backColour() const
{
    return m_back.isValid() ? m_back : QGuiApplication::palette().color(QPalette::Button);
}

QColor PanelButton::textColour() const
{
    if (m_text.isValid())
        return m_text;
    // A coloured button is always a light one: its caption is black, as on
    // the classic desktop the panel was drawn for, even under a dark theme.
    return m_back.isValid() ? QColor(Qt::black) : QGuiApplication::palette().color(QPalette::ButtonText);
}

void PanelButton::setCaption(const QString& caption)
{
    setText(caption);
    setAccessibleName(accessibleNameOf(objectName(), caption));
}

void PanelButton::keyPressEvent(QKeyEvent* event)
{
    // Enter is handed on as the press key of buttons, so that Enter and
    // Space cannot differ: a held key presses once, Escape while down
    // cancels, and a button that does nothing on a click does nothing on
    // either.
    if (isEnterKey(event))
        asSpace(event, [this](QKeyEvent* space) { QPushButton::keyPressEvent(space); });
    else
        QPushButton::keyPressEvent(event);
}

void PanelButton::keyReleaseEvent(QKeyEvent* event)
{
    if (isEnterKey(event))
        asSpace(event, [this](QKeyEvent* space) { QPushButton::keyReleaseEvent(space); });
    else
        QPushButton::keyReleaseEvent(event);
}

void PanelButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect r = rect();
    const bool down = isDown() || isChecked();
    const QColor back = backColour();

    if (hasFocus()) {
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }

    QPalette bevel;
    bevel.setColor(QPalette::Light, Qt::white);
    bevel.setColor(QPalette::Button, back);
    bevel.setColor(QPalette::Dark, QColor(128, 128, 128));
    bevel.setColor(QPalette::Shadow, Qt::black);
    const QBrush fill(back);
    qDrawWinButton(&p, r, bevel, down, &fill);

    QRect textArea = r.adjusted(2, 1, -2, -1);
    if (down)
        textArea.translate(1, 1);
    p.setPen(textColour());
    p.setFont(font());
    p.drawText(textArea, Qt::AlignCenter | Qt::TextWordWrap, text());

    if (hasFocus()) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawRect(r.adjusted(2, 2, -3, -3));
    }
}

FrameBox::FrameBox(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
}

int FrameBox::borderTop() const
{
    return fontMetrics().height() / 2;
}

void FrameBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    qDrawShadeRect(&p, rect().adjusted(0, borderTop(), 0, 0), palette(), true, 1, 0);
}

DisplayLabel::DisplayLabel(QWidget* parent)
    : QLabel(parent)
{
    setFrameShape(QFrame::NoFrame);
    setContentsMargins(1, 1, 1, 1);
    setIndent(2);
}

void DisplayLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    QPainter p(this);
    qDrawShadePanel(&p, rect(), palette(), true, 1, nullptr);
}

OutlineLine::OutlineLine(QPoint from, QPoint to, int width, QColor colour, QWidget* parent)
    : QWidget(parent)
    , m_from(from)
    , m_to(to)
    , m_width(width)
    , m_colour(colour)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    // The box of the two end points, widened by the pen: a line of width w
    // from (x, y) covers the pixels x .. x + w - 1 across its direction.
    setGeometry(QRect(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
        QPoint(std::max(from.x(), to.x()) + width - 1, std::max(from.y(), to.y()) + width - 1)));
}

void OutlineLine::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPointF shift = QPointF(m_width / 2.0, m_width / 2.0) - QPointF(pos());
    p.setPen(QPen(m_colour, m_width, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(QPointF(m_from) + shift, QPointF(m_to) + shift);
}

PanelTextBox::PanelTextBox(const QString& text, QWidget* parent)
    : QLineEdit(text, parent)
{
}

bool PanelTextBox::isChord(const QKeyEvent* event)
{
    return DataPanel::isChord(event->keyCombination());
}

bool PanelTextBox::event(QEvent* event)
{
    // Taken as a key press in any key scheme, never as a shortcut of
    // something else: the press is what the window's key preview looks at.
    if (event->type() == QEvent::ShortcutOverride && isChord(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void PanelTextBox::keyPressEvent(QKeyEvent* event)
{
    // Passed on to the containers, as the box does with any key it has no
    // use for, and the text, cursor and clipboard stay as they were.
    if (isChord(event)) {
        event->ignore();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

LogoImage::LogoImage(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void LogoImage::paintEvent(QPaintEvent*)
{
    // Natural size, not stretched, at the top-left of the control.
    QPainter p(this);
    drawLogo(p, QRectF(0, 0, LogoWidth, LogoHeight));
}

void LogoImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT doubleClicked();
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace orva
