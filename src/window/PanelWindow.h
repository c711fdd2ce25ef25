#pragma once

#include "window/PanelControls.h"

#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <functional>

class QKeyEvent;

namespace orva {

class PanelEngine;

// The panel's one window: its controls, built from the layout table, wired
// to the engine, which holds every behaviour and every piece of state.
//
//   command buttons --click--> CommandPanel::click
//   held buttons --press/release (HoldButtons)--> CommandPanel::press/release
//   "SEND" --text of Text1--> CommandPanel::sendTyped;  "CLS" empties Text1
//   "COM", port and speed options --> PortSelection
//   any key press (key preview), logo double-click, data toggle --> DataPanel
//   ReplyWindow::lineChanged --> the transmit, receive and status lines
//   PortSelection --> settings frame, warning box
//   DataPanel --> outer height, data toggle
//   "END", the title bar's close --> PanelEngine::end, the window closes
//
// The engine is built by the caller on its clock and line, so tests run the
// real window on a virtual clock and a fake line.
class PanelWindow : public QWidget
{
    Q_OBJECT
public:
    // Shows a warning to the operator and returns once it is closed.
    using Warner = std::function<void(QWidget* parent, const QString& text)>;

    static const QString Caption;

    PanelWindow(PanelEngine& engine, Warner warn, QWidget* parent = nullptr);
    ~PanelWindow() override;

    // Start: places the window (centred on the screen, shrunk to the button
    // panel) and starts the engine, which opens COM1.
    void start();

    // Where start() put the window's outer top-left corner, in twips of the
    // screen, before rounding to pixels.
    QPointF startPositionTwips() const { return m_startPosition; }

    // A control by its name (Command17, Label22, Frame8 ...).
    template <class T = QWidget> T* control(const char* name) const { return findChild<T*>(QLatin1String(name)); }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Key preview: sees every key press meant for a control of this window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bindControls();
    void bindCommandButtons();
    void applyOuterHeight(int twips);
    void previewKey(QWidget* receiver, const QKeyEvent* event);

    PanelEngine& m_engine;
    Warner m_warn;
    PanelControls m_controls;
    QPointF m_startPosition;
    // The key press last previewed and the control it last passed, to see
    // each press once while Qt hands an ignored one up to the containers.
    const QEvent* m_previewedEvent = nullptr;
    QPointer<QWidget> m_previewedAt;
};

} // namespace orva
