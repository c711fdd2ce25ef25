#include "engine/line/LineFactory.h"

#include "engine/line/SwitchingLine.h"

namespace orva {

std::unique_ptr<SerialLine> makeLine(const PortNames& names, QObject* parent)
{
    return std::make_unique<SwitchingLine>(names, parent);
}

} // namespace orva
