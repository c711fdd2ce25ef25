#include "panel/PortSelection.h"

#include "engine/line/LineAddress.h"

#include <utility>

namespace orva {

PortSelection::PortSelection(SerialLine& line, Clock& clock, PortNames names, QObject* parent)
    : QObject(parent)
    , m_line(line)
    , m_names(std::move(names))
    , m_settingsTimer(clock.createTimer(QStringLiteral("settings frame"), SettingsFrameTimeout))
{
    m_settingsTimer->setHandler([this] { onSettingsTimeout(); });
    connect(&m_line, &SerialLine::deviceLost, this, &PortSelection::onDeviceLost);
    connect(&m_line, &SerialLine::writeFailed, this, &PortSelection::onWriteFailed);
    connect(&m_line, &SerialLine::openFailed, this, &PortSelection::onOpenFailed);
    connect(&m_line, &SerialLine::settingsRefused, this, &PortSelection::onSettingsRefused);
}

PortSelection::~PortSelection() = default;

void PortSelection::start()
{
    m_speed = LineSpeed::Baud19200;
    if (open(Port::Com1))
        opened();

    // Any failure of the opening above has been told: choosing COM1 now
    // leaves a closed line closed.
    m_starting = true;
    choosePort(Port::Com1);
    m_starting = false;
}

void PortSelection::showSettings()
{
    setSettingsFrameVisible(true);
    m_settingsTimer->setEnabled(true);
}

void PortSelection::choosePort(Port port)
{
    const bool wasOpen = m_line.isOpen();
    if (wasOpen)
        m_line.close();
    if (wasOpen || !m_starting) {
        if (!open(port))
            return; // the frame stays until its timer hides it
        opened();
    }
    setSettingsFrameVisible(false);
}

void PortSelection::chooseSpeed(LineSpeed speed)
{
    m_speed = speed;
    if (!m_line.setSpeed(m_speed))
        Q_EMIT warning(m_line.lastError());
    setSettingsFrameVisible(false);
}

void PortSelection::restartSettingsTimer()
{
    m_settingsTimer->setEnabled(false);
    m_settingsTimer->setEnabled(true);
}

void PortSelection::stop()
{
    m_settingsTimer->setEnabled(false);
    disconnect(&m_line, nullptr, this, nullptr);
}

void PortSelection::setSettingsFrameVisible(bool visible)
{
    Q_EMIT settingsFrameVisibleChanged(visible);
}

void PortSelection::onSettingsTimeout()
{
    setSettingsFrameVisible(false);
    m_settingsTimer->setEnabled(false);
}

void PortSelection::onDeviceLost(const LineError& error)
{
    warnLater(m_lossTold, error);
}

void PortSelection::onWriteFailed(const LineError& error)
{
    warnLater(m_writeFailureTold, error);
}

void PortSelection::onOpenFailed(const LineError& error)
{
    warnLater(m_openFailureTold, error);
}

void PortSelection::onSettingsRefused(const QString& description)
{
    warnLater(m_settingsRefusalTold, LineError{LineErrorKind::Other, description});
}

bool PortSelection::open(Port port)
{
    QString reason;
    const std::optional<LineAddress> address = LineAddress::parse(m_names.device(port), &reason);
    if (!address) {
        Q_EMIT warning(LineError{LineErrorKind::Other, reason});
        return false;
    }
    if (!m_line.open(*address, m_speed)) {
        Q_EMIT warning(m_line.lastError());
        return false;
    }
    return true;
}

void PortSelection::opened()
{
    m_lossTold = false;
    m_writeFailureTold = false;
    m_openFailureTold = false;
    m_settingsRefusalTold = false;
}

void PortSelection::warnLater(bool& told, const LineError& error)
{
    if (told)
        return;
    told = true;
    QMetaObject::invokeMethod(
        &m_later, [this, error] { Q_EMIT warning(error); }, Qt::QueuedConnection);
}

} // namespace orva

// The meta-object code goes with the class, so that a program that does
// not use the class (orva-ctl) does not link it either.
#include "moc_PortSelection.cpp" // NOLINT(bugprone-suspicious-include): Qt's moc output
