#include "engine/DataPanel.h"

#include "engine/PortSelection.h"

namespace orva {

DataPanel::DataPanel(PortSelection& ports, QObject* parent)
    : QObject(parent)
    , m_ports(ports)
{
}

void DataPanel::keyPressed(QKeyCombination key)
{
    // Only Shift, Ctrl and Alt count: Ctrl+Shift+K and Ctrl+Alt+K are not
    // the chord, whatever else (keypad, Meta) comes with it.
    const Qt::KeyboardModifiers counted
        = key.keyboardModifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (QKeyCombination(counted, key.key()) != Chord)
        return;
    setOuterHeight(ChordHeight);
    m_armed = true;
    setToggle(CloseCaption, true);
}

void DataPanel::logoDoubleClicked()
{
    if (!m_armed)
        return;
    setOuterHeight(FullHeight);
    setToggle(CloseCaption, true);
}

void DataPanel::toggle()
{
    m_armed = false;
    if (m_outerHeight < DataThreshold) {
        setOuterHeight(DataHeight);
        setToggle(HideCaption, m_toggleVisible);
    } else {
        setOuterHeight(CompactHeight);
        setToggle(ShowCaption, m_toggleVisible);
    }
    m_ports.restartSettingsTimer();
}

void DataPanel::setOuterHeight(int twips)
{
    m_outerHeight = twips;
    Q_EMIT outerHeightChanged(twips);
}

void DataPanel::setToggle(const QString& caption, bool visible)
{
    m_toggleCaption = caption;
    m_toggleVisible = visible;
    Q_EMIT toggleChanged(caption, visible);
}

} // namespace orva
