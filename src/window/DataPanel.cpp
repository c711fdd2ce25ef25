#include "window/DataPanel.h"

#include "display/FormTimers.h"
#include "window/Layout.h"

namespace orva {

DataPanel::DataPanel(ControllerState& state, FormTimers& timers, View view)
    : m_state(state)
    , m_timers(timers)
    , m_view(std::move(view))
{
}

void DataPanel::Form_KeyDown(qint16 keyCode, qint16 shift)
{
    if ((shift & ShiftStateMask) != ChordShiftState || keyCode != ChordKeyCode)
        return;
    m_view.setOuterHeight(ChordHeight);
    m_state.DataPanelArmed = 1;
    m_view.setToggleCaption(CloseCaption);
    m_view.setToggleVisible(true);
}

void DataPanel::Image1_DblClick()
{
    if (m_state.DataPanelArmed != 1)
        return;
    m_view.setOuterHeight(FullHeight);
    m_view.setToggleCaption(CloseCaption);
    m_view.setToggleVisible(true);
}

void DataPanel::Command34_Click()
{
    m_timers.Timer3->setEnabled(false);
    m_state.DataPanelArmed = 0;
    if (m_view.outerHeight() < DataThreshold) {
        m_view.setOuterHeight(DataHeight);
        m_view.setToggleCaption(HideCaption);
    } else {
        m_view.setOuterHeight(CompactHeight);
        m_view.setToggleCaption(ShowCaption);
    }
    m_timers.Timer3->setEnabled(true);
}

} // namespace orva
