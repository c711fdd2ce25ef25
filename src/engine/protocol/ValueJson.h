#pragma once

#include "engine/protocol/ReplyValues.h"

#include <QJsonObject>

namespace orva {

// A typed value as programs read it in JSON, with the names of
// ValueNames.h: {"value": ...} and, for some values, more: power_state's
// "state", "phase" and "fault" (PowerStates.h), mute's "picture" and
// "sound", lamp_mode's "lit". Empty when the value is none. The HTTP door
// serves it for cached values (with their time) and both the door and
// orva-ctl as a result's "reading".
QJsonObject valueObject(const ReplyValue& value);

} // namespace orva
