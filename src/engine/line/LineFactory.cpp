#include "engine/line/LineFactory.h"

#include "engine/line/QtSerialLine.h"

namespace orva {

std::unique_ptr<SerialLine> makeLine(PortNames names, QObject* parent)
{
    return std::make_unique<QtSerialLine>(std::move(names), parent);
}

} // namespace orva
