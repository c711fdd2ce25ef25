#pragma once

#include "link/ControllerState.h"

#include <QString>

#include <functional>

namespace orva {

struct FormTimers;

// The hidden data panel: below the button panel the window holds the data
// band (traffic lines, status queries, the toggle button Command34) and the
// extension band (input sources, free command line), out of view at start.
//
//   Ctrl+K (any state)            -> chord view: 7200 twips, armed, Command34 "CLOSE"
//   logo double-click when armed  -> full view: 9100 twips, Command34 "CLOSE"
//   Command34 at 6000 or more     -> closed: 5350 twips, disarmed, "データを表示する"
//   Command34 below 6000          -> data view: 6645 twips, disarmed, "データを表示しない"
//
// Every click of Command34 also restarts Timer3, so the port-settings frame
// is hidden 5000 ms after the click.
class DataPanel
{
public:
    struct View
    {
        // The window's outer height in twips, as last set.
        std::function<int()> outerHeight;
        std::function<void(int twips)> setOuterHeight;
        // Caption and visibility of the toggle button Command34.
        std::function<void(const QString& caption)> setToggleCaption;
        std::function<void(bool visible)> setToggleVisible;
    };

    // Key code of the chord's letter and the Shift state it needs (Ctrl
    // alone; bit 1 is Shift, 2 Ctrl, 4 Alt).
    static constexpr qint16 ChordKeyCode = 75;
    static constexpr qint16 ChordShiftState = 2;
    static constexpr qint16 ShiftStateMask = 7;
    static constexpr qint16 ShiftBit = 1;
    static constexpr qint16 CtrlBit = 2;
    static constexpr qint16 AltBit = 4;
    // Below this outer height Command34 opens the data band; from it on it closes.
    static constexpr int DataThreshold = 6000;

    static inline const QString ShowCaption = QStringLiteral("データを表示する");
    static inline const QString HideCaption = QStringLiteral("データを表示しない");
    static inline const QString CloseCaption = QStringLiteral("CLOSE");

    DataPanel(ControllerState& state, FormTimers& timers, View view);

    // Every key press of the window, whichever control has the focus, before
    // that control gets it (which it still does).
    void Form_KeyDown(qint16 keyCode, qint16 shift);
    void Image1_DblClick();
    void Command34_Click();

private:
    ControllerState& m_state;
    FormTimers& m_timers;
    View m_view;
};

} // namespace orva
