#include "display/TrafficLines.h"

namespace orva {

void TrafficLines::setText(Line line, const QString& text)
{
    m_text[line] = text;
    Q_EMIT changed(line, text);
}

} // namespace orva
