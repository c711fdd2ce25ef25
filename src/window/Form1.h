#pragma once

#include "display/FormTimers.h"
#include "display/TrafficLines.h"
#include "display/TrafficTimers.h"
#include "link/ControllerState.h"
#include "link/Link.h"
#include "link/PortSelection.h"

#include <QWidget>

#include <functional>

class QRadioButton;

namespace orva {

class Clock;
class SerialComm;

// The panel's one window. It owns the shared state record, the four timers
// and the three display lines, builds its controls from the layout table and
// binds each control's events to the handler that owns them:
//
//   buttons --click/press--> panel handlers --frame--> Link::Hyouji --> SerialComm
//   SerialComm --onComm--> Link::MSComm1_OnComm --> Hyouji(receive) --> TrafficLines
//   TrafficLines --changed--> Label11 / Label12 / Label22
//   Timer2 / Timer4 --> TrafficTimers (mark a missing reply, clear the lines)
//
// Time and the serial line are injected, so tests run the real window on a
// virtual clock and a fake port.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    using Warner = std::function<void(QWidget* parent, const QString& text)>;

    static inline const QString Caption = QStringLiteral("ORVA   TK500 / TK600  CONTROL   Ver.1.40");

    Form1(SerialComm& comm, Clock& clock, Warner warn, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: fills the state record, places the window, opens COM1.
    void Form_Load();

    // The send and receive paths (see Link).
    void Hyouji(const QString& text, quint8 mode) { m_link.Hyouji(text, mode); }

    // Checks an option button from code; like a click, this runs its handler
    // when the button was not checked before.
    void checkOption(QRadioButton* option);

    ControllerState& state() { return m_state; }
    FormTimers& timers() { return m_timers; }
    TrafficLines& lines() { return m_lines; }
    Link& link() { return m_link; }
    PortSelection& ports() { return m_ports; }
    SerialComm& comm() { return m_comm; }

    // A control by its name (Command17, Label22, Frame8 ...).
    template <class T = QWidget> T* control(const char* name) const { return findChild<T*>(QString::fromLatin1(name)); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void bindControls();

    SerialComm& m_comm;
    Warner m_warn;
    ControllerState m_state;
    FormTimers m_timers;
    TrafficLines m_lines;
    Link m_link;
    TrafficTimers m_trafficTimers;
    PortSelection m_ports;
};

} // namespace orva
