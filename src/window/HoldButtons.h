#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QAbstractButton;
class QWidget;

namespace orva {

// Makes push buttons act on the mouse press and the mouse release alone, as
// the press-and-hold buttons need:
//  - any mouse button presses and releases, with or without modifier keys
//    (a plain push button ignores all but the left one);
//  - a double-click counts as a second press;
//  - the release ends the hold wherever the pointer then is (the pressed
//    button keeps the mouse until every mouse button is up);
//  - activating the button from the keyboard does nothing, since only the
//    mouse events are turned into calls;
//  - a modal window that blocks the panel while a button is held ends the
//    hold, because the release would never reach the button.
// The button is drawn down from the press to the release.
class HoldButtons : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void()>;

    // window: the top-level window the buttons live in.
    explicit HoldButtons(QWidget* window);

    void add(QAbstractButton* button, Handler press, Handler release);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry
    {
        Handler press;
        Handler release;
    };

    void press(QAbstractButton* button);
    void release(QAbstractButton* button);

    QWidget* m_window;
    QHash<QObject*, Entry> m_buttons;
    QPointer<QAbstractButton> m_held;
    bool m_pressing = false;
    bool m_releaseAfterPress = false;
};

} // namespace orva
