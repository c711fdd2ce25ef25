#include "engine/protocol/ValuesChanged.h"

namespace orva {

std::vector<StatusQuery> valuesChangedBy(Command command)
{
    switch (command) {
    case Command::PowerOn:
    case Command::PowerOff:
        return {StatusQuery::PowerState, StatusQuery::LampMode, StatusQuery::MuteState, StatusQuery::Temperatures};
    case Command::InputPc1:
    case Command::InputPc2:
    case Command::InputVideo:
    case Command::SourcePc1Rgb:
    case Command::SourcePc1Scart:
    case Command::SourcePc1Component:
    case Command::SourcePc2Rgb:
    case Command::SourcePc2DviPc:
    case Command::SourcePc2DviAv:
    case Command::SourceVideo:
    case Command::SourceSVideo:
        return {StatusQuery::InputSource, StatusQuery::MuteState};
    case Command::SoundMuteOn:
    case Command::SoundMuteOff:
    case Command::NoShowOn:
    case Command::NoShowOff:
        return {StatusQuery::MuteState};
    default:
        return {};
    }
}

} // namespace orva
