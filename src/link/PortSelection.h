#pragma once

#include "link/ControllerState.h"
#include "link/SerialComm.h"

#include <QObject>

#include <functional>

namespace orva {

struct FormTimers;

// Choice of serial port (COM1, COM2) and line speed (19200, 9600 baud) in the
// small settings frame that "COM" pops up, the opening of the port at
// start-up, and what the operator is told when the open line fails. Every
// choice takes effect at once; a failure is told to the operator in a
// warning box with the serial layer's own description.
class PortSelection
{
public:
    struct View
    {
        // Shows or hides the settings frame (Frame8).
        std::function<void(bool visible)> setSettingsFrameVisible;
        // Shows a modal warning with the given text and returns when closed.
        std::function<void(const QString& text)> warn;
    };

    static inline const QString Settings19200 = QStringLiteral("19200,N,8,1");
    static inline const QString Settings9600 = QStringLiteral("9600,N,8,1");

    PortSelection(ControllerState& state, SerialComm& comm, FormTimers& timers, View view);

    // Start-up: COM1 with the current settings, opened. A port that cannot be
    // opened is reported once and the program carries on with it closed.
    void openAtStartup();
    // While set, a port choice leaves a closed port closed (start-up checks
    // COM1 right after openAtStartup() has already reported any failure).
    void setStartingUp(bool startingUp) { m_startingUp = startingUp; }

    void Command33_Click();
    void Option1_Click() { choosePort(1, 2); }
    void Option2_Click() { choosePort(2, 1); }
    void Option9_Click() { chooseSpeed(Settings19200); }
    void Option10_Click() { chooseSpeed(Settings9600); }
    void Timer3_Timer();

    // A fault of the open line, passed on by the link. The operator is told
    // once the handler in progress has finished, never in the middle of a
    // send: of a lost device once (the port is closed now, and choosing a
    // port opens it again); of frames that could not be written once per
    // opening of the port, so that a button held down over a failing line
    // does not raise a box for every frame.
    void lineFault(SerialComm::Event fault, const QString& description);

private:
    void choosePort(int own, int other);
    void chooseSpeed(const QString& settings);
    void opened();
    void warnLater(const QString& text);

    ControllerState& m_state;
    SerialComm& m_comm;
    FormTimers& m_timers;
    View m_view;
    bool m_startingUp = false;
    // What has been told of the current opening.
    bool m_lossTold = false;
    bool m_writeFailureTold = false;
    // Context of the warnings that wait for the handler in progress to end;
    // they are dropped with it.
    QObject m_later;
};

} // namespace orva
