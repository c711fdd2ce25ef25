#pragma once

#include "link/ControllerState.h"
#include "panel/CommandTables.h"

#include <functional>

namespace orva {

class Link;
class SerialComm;
class TrafficLines;
struct FormTimers;

// The handlers of the command buttons:
//  - click() for every single-press button of the catalogue;
//  - mouseDown()/mouseUp() for the thirteen press-and-hold buttons, with
//    Timer1_Timer re-sending the held command at each repeat tick;
//  - the free command line ("SEND", "CLS") and "END".
// Every send goes through Link::sendCode, which frames the code into
// OutgoingCommand and hands it to Hyouji. The order of the timer writes in
// each handler matters: an interval written while its timer runs restarts
// the countdown from the write.
class CommandPanel
{
public:
    struct View
    {
        // The text of the command line (Text1), exactly as typed.
        std::function<QString()> commandText;
        // Empties the command line.
        std::function<void()> clearCommandText;
        // Unloads the window, which ends the program.
        std::function<void()> closeWindow;
    };

    // Binds Timer1_Timer to Timer1.
    CommandPanel(
        ControllerState& state, SerialComm& comm, FormTimers& timers, TrafficLines& lines, Link& link, View view);

    // A single-press button of the catalogue was clicked.
    void click(const CatalogueEntry& button);

    // A press-and-hold button went down or up (any mouse button).
    void mouseDown(const HeldEntry& button);
    void mouseUp(const HeldEntry& button);
    // Repeat tick: sends the held command again.
    void Timer1_Timer();

    // "SEND": the typed text as a command, with the picture-mode timing.
    void Command95_Click();
    // "CLS": empties the command line, nothing else.
    void Command96_Click();
    // "END": closes the port and the window; nothing is sent.
    void Command16_Click();

private:
    void setDisplayTiming(DisplayTiming timing);

    ControllerState& m_state;
    SerialComm& m_comm;
    FormTimers& m_timers;
    TrafficLines& m_lines;
    Link& m_link;
    View m_view;
};

} // namespace orva
