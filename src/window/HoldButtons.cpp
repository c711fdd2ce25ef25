#include "window/HoldButtons.h"

#include <QAbstractButton>
#include <QEvent>
#include <QWidget>

namespace orva {

HoldButtons::HoldButtons(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    m_window->installEventFilter(this);
}

void HoldButtons::add(QAbstractButton* button, Handler press, Handler release)
{
    m_buttons.insert(button, Entry{std::move(press), std::move(release)});
    button->installEventFilter(this);
}

bool HoldButtons::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::WindowBlocked && m_held) {
            if (m_pressing)
                m_releaseAfterPress = true;
            else
                release(m_held.data());
        }
        return false;
    }

    // Press, release and double-click are taken here, whatever the mouse
    // button, so that the button itself never sees them: it would ignore
    // all but the left button, and the ignored press would travel to the
    // parent and take the mouse with it.
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return false;
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button || !m_buttons.contains(button))
        return false;
    if (type == QEvent::MouseButtonRelease) {
        if (m_held == button)
            release(button);
    } else {
        press(button);
    }
    return true;
}

void HoldButtons::press(QAbstractButton* button)
{
    if (m_held && m_held != button)
        m_held->setDown(false);
    m_held = button;
    button->setDown(true);

    m_pressing = true;
    m_buttons.value(button).press();
    m_pressing = false;

    // A modal window opened from within the press blocks the panel; the
    // hold ends once the press has run to completion.
    if (m_releaseAfterPress) {
        m_releaseAfterPress = false;
        if (m_held)
            release(m_held.data());
    }
}

void HoldButtons::release(QAbstractButton* button)
{
    m_held = nullptr;
    button->setDown(false);
    m_buttons.value(button).release();
}

} // namespace orva
