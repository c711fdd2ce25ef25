#pragma once

#include "link/ControllerState.h"

#include <functional>

namespace orva {

class SerialComm;
struct FormTimers;

// Choice of serial port (COM1, COM2) and line speed (19200, 9600 baud) in the
// small settings frame that "COM" pops up, and the opening of the port at
// start-up. Every choice takes effect at once; a failure is told to the
// operator in a warning box with the serial layer's own description.
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

private:
    void choosePort(int own, int other);
    void chooseSpeed(const QString& settings);

    ControllerState& m_state;
    SerialComm& m_comm;
    FormTimers& m_timers;
    View m_view;
    bool m_startingUp = false;
};

} // namespace orva
