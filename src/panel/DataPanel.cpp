#include "panel/DataPanel.h"

#include "panel/PortSelection.h"

namespace orva {

DataPanel::DataPanel(PortSelection& ports, QObject* parent)
    : QObject(parent)
    , m_ports(ports)
{
}

bool DataPanel::isChord(QKeyCombination key)
{
    const Qt::KeyboardModifiers counted
        = key.keyboardModifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    return QKeyCombination(counted, key.key()) == Chord;
}

void DataPanel::keyPressed(QKeyCombination key)
{
    if (!isChord(key))
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
    m_toggleVisible = visible;
    Q_EMIT toggleChanged(caption, visible);
}

} // namespace orva

// The meta-object code goes with the class, so that a program that does
// not use the class (orva-ctl) does not link it either.
#include "moc_DataPanel.cpp" // NOLINT(bugprone-suspicious-include): Qt's moc output
