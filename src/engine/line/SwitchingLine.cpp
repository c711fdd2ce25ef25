#include "engine/line/SwitchingLine.h"

#include "engine/line/LineAddress.h"

namespace orva {

SwitchingLine::SwitchingLine(const PortNames& names, QObject* parent)
    : SerialLine(parent)
    , m_names(names)
    , m_device(names)
    , m_network(names)
{
    forward(m_device);
    forward(m_network);
}

void SwitchingLine::forward(SerialLine& line)
{
    // Only the line that was opened last has anything to tell; a closed one
    // stays silent.
    connect(&line, &SerialLine::received, this, &SerialLine::received);
    connect(&line, &SerialLine::deviceLost, this, [this](const QString& description) {
        m_error = description;
        Q_EMIT deviceLost(description);
    });
    connect(&line, &SerialLine::writeFailed, this, &SerialLine::writeFailed);
    connect(&line, &SerialLine::openFailed, this, [this](const QString& description) {
        m_error = description;
        Q_EMIT openFailed(description);
    });
    connect(&line, &SerialLine::settingsRefused, this, &SerialLine::settingsRefused);
}

void SwitchingLine::setPort(Port port)
{
    m_port = port;
    m_device.setPort(port);
    m_network.setPort(port);
}

bool SwitchingLine::setSpeed(LineSpeed speed)
{
    m_speed = speed;
    SerialLine& idle = m_active == &m_device ? static_cast<SerialLine&>(m_network) : m_device;
    (void)idle.setSpeed(speed); // closed: only kept for its next opening
    if (m_active->setSpeed(speed))
        return true;
    m_error = m_active->errorString();
    return false;
}

bool SwitchingLine::open()
{
    if (m_active->isOpen())
        return true;
    const QString text = m_names.device(m_port);
    const std::optional<LineAddress> address = LineAddress::parse(text, &m_error);
    if (!address)
        return false;
    m_active = address->isNetwork() ? static_cast<SerialLine*>(&m_network) : &m_device;
    if (m_active->open())
        return true;
    // Each line names itself in what it says.
    m_error = m_active->errorString();
    return false;
}

bool SwitchingLine::write(const QString& text)
{
    if (m_active->write(text))
        return true;
    m_error = m_active->errorString();
    return false;
}

} // namespace orva
