#include "engine/line/SwitchingLine.h"

#include "engine/line/LineFactory.h"

namespace orva {

SwitchingLine::SwitchingLine(QObject* parent)
    : SerialLine(parent)
{
}

SwitchingLine::~SwitchingLine() = default;

SerialLine& SwitchingLine::lineFor(LineAddress::Kind kind)
{
    std::unique_ptr<SerialLine>& line = m_lines[kind];
    if (line)
        return *line;
    line = lineKind(kind).make(nullptr);
    // Only the line that was opened last has anything to tell; a closed one
    // stays silent.
    connect(line.get(), &SerialLine::received, this, &SerialLine::received);
    connect(line.get(), &SerialLine::deviceLost, this, [this](const LineError& error) {
        m_error = error;
        Q_EMIT deviceLost(error);
    });
    connect(line.get(), &SerialLine::writeFailed, this, &SerialLine::writeFailed);
    connect(line.get(), &SerialLine::openFailed, this, [this](const LineError& error) {
        m_error = error;
        Q_EMIT openFailed(error);
    });
    connect(line.get(), &SerialLine::settingsRefused, this, &SerialLine::settingsRefused);
    return *line;
}

bool SwitchingLine::open(const LineAddress& address, LineSpeed speed)
{
    if (isOpen())
        return true;
    m_active = &lineFor(address.kind);
    if (m_active->open(address, speed))
        return true;
    // Each line names itself in what it says.
    m_error = m_active->lastError();
    return false;
}

void SwitchingLine::close()
{
    if (m_active)
        m_active->close();
}

bool SwitchingLine::setSpeed(LineSpeed speed)
{
    if (!m_active || m_active->setSpeed(speed))
        return true;
    m_error = m_active->lastError();
    return false;
}

bool SwitchingLine::write(const QString& text)
{
    if (m_active && m_active->write(text))
        return true;
    m_error
        = m_active ? m_active->lastError() : LineError{LineErrorKind::WriteFailed, QStringLiteral("Port is not open")};
    return false;
}

} // namespace orva
