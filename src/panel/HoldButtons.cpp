#include "panel/HoldButtons.h"

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
                release(m_held);
        }
        return false;
    }

    if (!m_buttons.contains(watched))
        return false;
    auto* button = static_cast<QAbstractButton*>(watched);
    // Press, release and double-click are taken here, whatever the mouse
    // button, so that the button itself never sees them: it would ignore
    // all but the left button, and the ignored press would travel to the
    // parent and take the mouse with it.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        press(button);
        return true;
    case QEvent::MouseButtonRelease:
        if (m_held == button)
            release(button);
        return true;
    default:
        return false;
    }
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
            release(m_held);
    }
}

void HoldButtons::release(QAbstractButton* button)
{
    m_held = nullptr;
    button->setDown(false);
    m_buttons.value(button).release();
}

} // namespace orva
