#include "engine/PortSelection.h"

namespace orva {

namespace {

Port otherPort(Port port)
{
    return port == Port::Com1 ? Port::Com2 : Port::Com1;
}

} // namespace

PortSelection::PortSelection(SerialLine& line, Clock& clock, QObject* parent)
    : QObject(parent)
    , m_line(line)
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
    m_line.setPort(Port::Com1);
    // A speed the closed line refuses is applied again at the opening.
    (void)m_line.setSpeed(m_speed);
    if (m_line.open())
        opened();
    else
        Q_EMIT warning(m_line.errorString());

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
    m_line.setPort(port);
    if (wasOpen || !m_starting) {
        if (!m_line.open()) {
            Q_EMIT warning(m_line.errorString());
            m_line.setPort(otherPort(port));
            return; // the frame stays until its timer hides it
        }
        opened();
    }
    setSettingsFrameVisible(false);
}

void PortSelection::chooseSpeed(LineSpeed speed)
{
    m_speed = speed;
    if (!m_line.setSpeed(m_speed))
        Q_EMIT warning(m_line.errorString());
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

void PortSelection::onDeviceLost(const QString& description)
{
    warnLater(m_lossTold, description);
}

void PortSelection::onWriteFailed(const QString& description)
{
    warnLater(m_writeFailureTold, description);
}

void PortSelection::onOpenFailed(const QString& description)
{
    warnLater(m_openFailureTold, description);
}

void PortSelection::onSettingsRefused(const QString& description)
{
    warnLater(m_settingsRefusalTold, description);
}

void PortSelection::opened()
{
    m_lossTold = false;
    m_writeFailureTold = false;
    m_openFailureTold = false;
    m_settingsRefusalTold = false;
}

void PortSelection::warnLater(bool& told, const QString& text)
{
    if (told)
        return;
    told = true;
    QMetaObject::invokeMethod(
        &m_later, [this, text] { Q_EMIT warning(text); }, Qt::QueuedConnection);
}

} // namespace orva

// The meta-object code goes with the class, so that a program that does
// not use the class (orva-ctl) does not link it either.
#include "moc_PortSelection.cpp" // NOLINT(bugprone-suspicious-include): Qt's moc output
