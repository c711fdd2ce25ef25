#include "link/PortSelection.h"

#include "display/FormTimers.h"
#include "link/SerialComm.h"

namespace orva {

PortSelection::PortSelection(ControllerState& state, SerialComm& comm, FormTimers& timers, View view)
    : m_state(state)
    , m_comm(comm)
    , m_timers(timers)
    , m_view(std::move(view))
{
    m_timers.Timer3->setHandler([this] { Timer3_Timer(); });
}

void PortSelection::openAtStartup()
{
    m_comm.setCommPort(1);
    m_comm.setSettings(m_state.PortSettings);
    if (m_comm.setPortOpen(true))
        opened();
    else
        m_view.warn(m_comm.errorString());
}

void PortSelection::Command33_Click()
{
    m_view.setSettingsFrameVisible(true);
    m_timers.Timer3->setEnabled(true);
}

void PortSelection::choosePort(int own, int other)
{
    QString error;
    const bool wasOpen = m_comm.portOpen();
    if (wasOpen && !m_comm.setPortOpen(false))
        error = m_comm.errorString();
    m_comm.setCommPort(own);
    // A choice made while the port is closed (after a failed switch or an
    // unplugged device) opens the chosen port, so that the operator can
    // recover without restarting; only start-up leaves a closed port alone,
    // having reported its failure already.
    const bool reopen = wasOpen || !m_startingUp;
    if (error.isEmpty() && reopen) {
        if (m_comm.setPortOpen(true))
            opened();
        else
            error = m_comm.errorString();
    }

    if (!error.isEmpty()) {
        m_view.warn(error);
        m_comm.setCommPort(other);
        return; // the frame stays until Timer3 hides it
    }
    m_view.setSettingsFrameVisible(false);
}

void PortSelection::chooseSpeed(const QString& settings)
{
    m_state.PortSettings = settings;
    if (!m_comm.setSettings(m_state.PortSettings))
        m_view.warn(m_comm.errorString());
    m_view.setSettingsFrameVisible(false);
}

void PortSelection::Timer3_Timer()
{
    m_view.setSettingsFrameVisible(false);
    m_timers.Timer3->setEnabled(false);
}

void PortSelection::lineFault(SerialComm::Event fault, const QString& description)
{
    bool& told = fault == SerialComm::EventDeviceLost ? m_lossTold : m_writeFailureTold;
    if (told)
        return;
    told = true;
    warnLater(description);
}

void PortSelection::opened()
{
    m_lossTold = false;
    m_writeFailureTold = false;
}

void PortSelection::warnLater(const QString& text)
{
    QMetaObject::invokeMethod(
        &m_later, [this, text] { m_view.warn(text); }, Qt::QueuedConnection);
}

} // namespace orva
