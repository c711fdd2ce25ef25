#include "panel/PanelEngine.h"

#include "engine/line/SerialLine.h"

#include <utility>

namespace orva {

PanelEngine::PanelEngine(SerialLine& line, Clock& clock, PortNames names)
    : m_line(line)
    , m_replies(line, clock)
    , m_commands(m_replies, clock)
    , m_ports(line, clock, std::move(names))
    , m_dataPanel(m_ports)
{
    QObject::connect(&m_replies, &ReplyWindow::writeFailed, &m_ports, &PortSelection::onWriteFailed);
}

void PanelEngine::start()
{
    m_dataPanel.setOuterHeight(DataPanel::CompactHeight);
    m_ports.start();
}

void PanelEngine::end()
{
    m_line.close();
    m_commands.stop();
    m_replies.stop();
    m_ports.stop();
}

} // namespace orva
