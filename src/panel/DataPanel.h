#pragma once

#include <QKeyCombination>
#include <QObject>
#include <QString>

namespace orva {

class PortSelection;

// The hidden data panel. Below the button panel the window holds the data
// band (traffic lines, status queries, the data toggle) and the extension
// band (input sources, free command line), out of view at start. The panel
// owns the window's outer height (in twips), whether the logo double-click
// is armed and whether the toggle is visible, and decides its caption:
//
//   the chord Ctrl+K (any state)  -> chord view: 7200, armed, toggle "CLOSE"
//   logo double-click when armed  -> full view: 9100, toggle "CLOSE"
//   toggle at 6000 or more        -> closed: 5350, disarmed, "データを表示する"
//   toggle below 6000             -> data view: 6645, disarmed, "データを表示しない"
//
// Every use of the toggle also restarts the settings frame's timer, so that
// the frame is hidden 5 s after it.
class DataPanel : public QObject
{
    Q_OBJECT
public:
    // The outer heights the window is switched between, in twips.
    static constexpr int CompactHeight = 5350; // main band only
    static constexpr int DataHeight = 6645;    // main and data bands
    static constexpr int ChordHeight = 7200;   // main and data bands and a strip of background
    static constexpr int FullHeight = 9100;    // everything
    // Below this outer height the toggle opens the data band; from it on it closes.
    static constexpr int DataThreshold = 6000;

    // Ctrl+K, with neither Shift nor Alt.
    static constexpr QKeyCombination Chord{Qt::ControlModifier, Qt::Key_K};
    // Whether a key press is the chord: only Shift, Ctrl and Alt count, so
    // Ctrl+Shift+K and Ctrl+Alt+K are not, whatever else (keypad, Meta)
    // comes with it.
    static bool isChord(QKeyCombination key);

    static inline const QString ShowCaption = QStringLiteral("データを表示する");
    static inline const QString HideCaption = QStringLiteral("データを表示しない");
    static inline const QString CloseCaption = QStringLiteral("CLOSE");

    explicit DataPanel(PortSelection& ports, QObject* parent = nullptr);

    // Every key press of the window, whichever control has the focus, before
    // that control gets it (which it still does).
    void keyPressed(QKeyCombination key);
    void logoDoubleClicked();
    void toggle();

    // The window's outer height as last set; the start sets the compact one.
    int outerHeight() const { return m_outerHeight; }
    void setOuterHeight(int twips);

    bool isArmed() const { return m_armed; }

Q_SIGNALS:
    void outerHeightChanged(int twips);
    void toggleChanged(const QString& caption, bool visible);

private:
    void setToggle(const QString& caption, bool visible);

    PortSelection& m_ports;
    int m_outerHeight = 0;
    bool m_armed = false;
    bool m_toggleVisible = false;
};

} // namespace orva
