#pragma once

#include "engine/protocol/Commands.h"
#include "engine/protocol/PowerStates.h"
#include "engine/protocol/ReplyValues.h"

#include <QLatin1String>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace orva {

// The names programs give the values of replies, in JSON, in events and in
// metric labels: stable, lower-case. One table per enumeration; the power
// states' names and facts are PowerStates.h's.

// A power state in one word, for monitoring and for readers of the "state"
// field: its fault when it has one (a temperature warning while the lamp
// burns is temperature_warning; a cool-down forced by the temperature
// temperature_shutdown; failed lamps lamp_failure; a failed power supply
// power_failure), its phase otherwise.
enum class PowerClass : quint8 {
    Standby,
    Warming,
    On,
    Cooling,
    TemperatureWarning,
    TemperatureShutdown,
    LampFailure,
    PowerFailure,
};
inline constexpr std::size_t PowerClassCount = std::size_t(PowerClass::PowerFailure) + 1;

PowerClass powerClass(PowerState state);
QLatin1String powerClassName(PowerClass powerClass);

inline constexpr std::array<InputSource, 4> InputSources{
    InputSource::Computer1, InputSource::Computer2, InputSource::Video, InputSource::InputMode4};
QLatin1String inputName(InputSource input); // pc1, pc2, video, mode4

QLatin1String muteName(MuteState mute); // off, picture, sound, picture-and-sound, no-signal, standby
struct Muted
{
    bool picture = false;
    bool sound = false;
};
// What is muted; nothing in standby, where the projector does not say.
std::optional<Muted> mutedOf(MuteState mute);

QLatin1String lampModeName(LampMode mode);
bool lampLit(LampMode mode);

QLatin1String orientationName(Orientation orientation);

// The key of a value: power_state, input, orientation, lamp_hours,
// temperatures, mute, model, air_pressure, lamp_mode.
QLatin1String valueKey(StatusQuery query);

// orva-ctl's action names as one URL path segment: "power on" is
// "power-on", "input?" is "input-query". Empty for a command orva-ctl does
// not offer.
QString httpActionName(Command command);
std::optional<Command> commandOfHttpAction(QStringView name);

} // namespace orva
