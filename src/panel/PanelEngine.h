#pragma once

#include "panel/CommandPanel.h"
#include "panel/DataPanel.h"
#include "panel/PortSelection.h"
#include "panel/ReplyWindow.h"

namespace orva {

class Clock;
class SerialLine;

// The panel's model: its behaviour without its window, composed once on a
// line and a clock of the engine. The window builds it, and so do the
// benchmarks and the fuzz targets, which run the panel's behaviour without a
// display; orva-ctl and orva-hub do not (they ask through the engine's
// exchange layer). Time and the line are injected, so tests run it on a
// virtual clock and a fake line.
//
//   CommandPanel --sendCode--> ReplyWindow --write--> SerialLine
//   SerialLine --received--> ReplyWindow --lineChanged--> (front end)
//   SerialLine --deviceLost/writeFailed/openFailed--> PortSelection --warning--> (front end)
//   DataPanel --restartSettingsTimer--> PortSelection
//
// Everything runs on the thread of the event loop, one handler at a time.
class PanelEngine
{
public:
    // names: the lines behind COM1 and COM2 (see choosePortNames()).
    PanelEngine(SerialLine& line, Clock& clock, PortNames names = PortNames::platformDefaults());
    PanelEngine(const PanelEngine&) = delete;
    PanelEngine& operator=(const PanelEngine&) = delete;

    // Opens COM1 at 19200 baud (see PortSelection::start()).
    void start();
    // Closes the line and stops every timer; nothing more is sent, shown or
    // told. Nothing goes to the projector on the way out.
    void end();

    ReplyWindow& replies() { return m_replies; }
    CommandPanel& commands() { return m_commands; }
    PortSelection& ports() { return m_ports; }
    DataPanel& dataPanel() { return m_dataPanel; }

private:
    SerialLine& m_line;
    ReplyWindow m_replies;
    CommandPanel m_commands;
    PortSelection m_ports;
    DataPanel m_dataPanel;
};

} // namespace orva
