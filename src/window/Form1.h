#pragma once

#include "display/FormTimers.h"
#include "display/TrafficLines.h"
#include "display/TrafficTimers.h"
#include "link/ControllerState.h"
#include "link/Link.h"
#include "link/PortSelection.h"
#include "panel/CommandPanel.h"
#include "window/DataPanel.h"

#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <functional>

class QKeyEvent;
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
//   line faults --> Link --> PortSelection::lineFault --> warning box
//   TrafficLines --changed--> Label11 / Label12 / Label22
//   Timer2 / Timer4 --> TrafficTimers (mark a missing reply, clear the lines)
//   any key press, Image1, Command34 --> DataPanel --> outer height, Command34
//
// Time and the serial line are injected, so tests run the real window on a
// virtual clock and a fake port.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    using Warner = std::function<void(QWidget* parent, const QString& text)>;

    // The version comes from the project definition, the one place it is kept.
    static inline const QString Caption = QStringLiteral("ORVA   TK500 / TK600  CONTROL   Ver." ORVA_VERSION);

    Form1(SerialComm& comm, Clock& clock, Warner warn, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: fills the state record, places the window, opens COM1.
    void Form_Load();

    // The window's outer height in twips: the last height set. The client
    // area is this less the nominal title bar and borders
    // (TitleAndBordersTwips), whatever the window manager draws, so the same
    // bands of controls are in view on every desktop.
    int outerHeightTwips() const { return m_outerHeight; }
    void setOuterHeightTwips(int twips);
    // Where start-up put the window's outer top-left corner, in twips of the
    // screen, before rounding to pixels.
    QPointF startPositionTwips() const { return m_startPosition; }

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
    DataPanel& dataPanel() { return m_dataPanel; }
    CommandPanel& panel() { return m_panel; }
    SerialComm& comm() { return m_comm; }

    // A control by its name (Command17, Label22, Frame8 ...).
    template <class T = QWidget> T* control(const char* name) const { return findChild<T*>(QString::fromLatin1(name)); }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Key preview: sees every key press meant for a control of this window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bindControls();
    void previewKey(QWidget* receiver, const QKeyEvent* event);
    void bindCommandPanel();

    SerialComm& m_comm;
    Warner m_warn;
    ControllerState m_state;
    FormTimers m_timers;
    TrafficLines m_lines;
    Link m_link;
    TrafficTimers m_trafficTimers;
    PortSelection m_ports;
    DataPanel m_dataPanel;
    int m_outerHeight = 0;
    QPointF m_startPosition;
    // The key press last previewed and the control it last passed, to see
    // each press once while Qt hands an ignored one up to the containers.
    const QEvent* m_previewedEvent = nullptr;
    QPointer<QWidget> m_previewedAt;
    CommandPanel m_panel;
};

} // namespace orva
