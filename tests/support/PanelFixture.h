#pragma once

#include "FakeSerialComm.h"
#include "display/VirtualClock.h"
#include "window/Form1.h"

#include <QCoreApplication>
#include <QStringList>

namespace orva {

// The real window on a virtual clock and a fake serial line, loaded and
// ready. Warnings are recorded instead of shown.
struct PanelFixture
{
    explicit PanelFixture(bool load = true)
    {
        comm.setTimeSource([this] { return clock.nowMs(); });
        if (load)
            form.Form_Load();
    }

    // Fields in construction order: the window goes first on destruction.
    VirtualClock clock;
    FakeSerialComm comm;
    QStringList warnings;
    Form1 form{comm, clock, [this](QWidget*, const QString& text) { warnings.append(text); }};

    // Lets out what waits for the handler in progress to end (the warnings
    // about faults of the line).
    void settle() { QCoreApplication::sendPostedEvents(); }

    TrafficLines& lines() { return form.lines(); }
    ControllerState& state() { return form.state(); }
    FormTimers& timers() { return form.timers(); }
};

} // namespace orva
