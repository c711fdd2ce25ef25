#pragma once

#include "FakeSerialLine.h"
#include "VirtualClock.h"
#include "panel/PanelEngine.h"
#include "window/ControlIds.h"
#include "window/PanelWindow.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QStringList>
#include <QTest>

namespace orva {

// The real window on the real engine, on a virtual clock and a fake serial
// line, started and ready; COM1 stands for the line "com1", COM2 for
// "com2". Warnings are recorded instead of shown.
struct PanelFixture
{
    explicit PanelFixture(bool start = true)
    {
        line.setTimeSource([this] { return clock.nowMs(); });
        if (start)
            window.start();
    }

    // Fields in construction order: the window goes first on destruction.
    VirtualClock clock;
    FakeSerialLine line;
    PanelEngine engine{line, clock, PortNames{QStringLiteral("com1"), QStringLiteral("com2")}};
    QStringList warnings;
    PanelWindow window{engine, [this](QWidget*, const QString& text) { warnings.append(text); }};

    // Lets out what waits for the handler in progress to end (the warnings
    // about faults of the line).
    void settle() { QCoreApplication::sendPostedEvents(); }

    // Opens the whole panel as the operator does: the chord Ctrl+K on the
    // control with the focus, then a double-click on the logo.
    void openFullPanel()
    {
        QWidget* focus = window.focusWidget() ? window.focusWidget() : &window;
        QTest::keyClick(focus, Qt::Key_K, Qt::ControlModifier);
        QTest::mouseDClick(window.control(ControlId::Logo), Qt::LeftButton, Qt::NoModifier, QPoint(40, 13));
    }

    // Clicks a button by name, as with the mouse or the keyboard.
    void click(const char* name)
    {
        auto* button = window.control<QAbstractButton>(name);
        QVERIFY2(button, name);
        button->click();
    }

    ReplyWindow& replies() { return engine.replies(); }
    const QString& transmit() { return engine.replies().text(TrafficLine::Transmit); }
    const QString& receive() { return engine.replies().text(TrafficLine::Receive); }
    const QString& status() { return engine.replies().text(TrafficLine::Status); }
};

} // namespace orva
