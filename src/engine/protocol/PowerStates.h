#pragma once

#include "engine/protocol/ReplyValues.h"

#include <QLatin1String>
#include <QtGlobal>

#include <cstddef>

namespace orva {

// What each of the thirteen power states means, as two facts read apart:
// the step of the power cycle the projector is in (its phase) and the fault
// it reports, if any. Every reader of a power state (the hub's poller, the
// PJLink door's POWR and ERST, the names and metrics of the HTTP door, the
// web page through the JSON) asks this one table.
//
// A state with a fault still has a phase when the projector says where it
// is: a cool-down forced by the temperature is cooling, a standby after the
// lamps failed is standby. Only a failed power supply says nothing of the
// lamp, so its phase is unknown.

enum class PowerPhase : quint8 { Standby, Warming, On, Cooling, Unknown };
inline constexpr std::size_t PowerPhaseCount = std::size_t(PowerPhase::Unknown) + 1;

enum class PowerFault : quint8 {
    None,
    TemperatureWarning, // too warm, the lamp still lit
    TemperatureError,   // too warm: the projector shut its lamp off
    LampFailure,        // every lamp failed
    PowerFailure,       // the power supply failed
};
inline constexpr std::size_t PowerFaultCount = std::size_t(PowerFault::PowerFailure) + 1;

struct PowerStateFacts
{
    PowerState state;
    const char* code; // the reply's two characters
    const char* name; // the state's own name, kebab-case ("count-down")
    PowerPhase phase;
    PowerFault fault;
};

// One row a state, in the order of PowerState.
// clang-format off
inline constexpr PowerStateFacts PowerStates[] = {
    {PowerState::On,                          "00", "on",                            PowerPhase::On,      PowerFault::None},
    {PowerState::Standby,                     "80", "standby",                       PowerPhase::Standby, PowerFault::None},
    {PowerState::CountDown,                   "40", "count-down",                    PowerPhase::Warming, PowerFault::None},
    {PowerState::CoolingDown,                 "20", "cooling-down",                  PowerPhase::Cooling, PowerFault::None},
    {PowerState::PowerFailure,                "10", "power-failure",                 PowerPhase::Unknown, PowerFault::PowerFailure},
    {PowerState::TemperatureWarning,          "08", "temperature-warning",           PowerPhase::On,      PowerFault::TemperatureWarning},
    {PowerState::NoKeyInput,                  "02", "no-key-input",                  PowerPhase::On,      PowerFault::None},
    {PowerState::LampOffByPowerManagement,    "04", "lamp-off-by-power-management",  PowerPhase::Standby, PowerFault::None},
    {PowerState::TemperatureWarningCooling,   "28", "temperature-warning-cooling",   PowerPhase::Cooling, PowerFault::TemperatureError},
    {PowerState::CoolingDownPowerManagement,  "24", "cooling-down-power-management", PowerPhase::Cooling, PowerFault::None},
    {PowerState::TemperatureWarningRecovered, "88", "temperature-warning-recovered", PowerPhase::On,      PowerFault::TemperatureWarning},
    {PowerState::CoolingDownAllLampsFailed,   "21", "cooling-down-all-lamps-failed", PowerPhase::Cooling, PowerFault::LampFailure},
    {PowerState::StandbyAllLampsFailed,       "81", "standby-all-lamps-failed",      PowerPhase::Standby, PowerFault::LampFailure},
};
// clang-format on

namespace detail {

// A row for every state, in order; a state without a phase tells a fault.
constexpr bool isWholePowerTable()
{
    std::size_t next = 0;
    for (const PowerStateFacts& row : PowerStates) {
        const bool tells = row.phase != PowerPhase::Unknown || row.fault != PowerFault::None;
        if (std::size_t(row.state) != next++ || !tells)
            return false;
    }
    return next == std::size_t(PowerState::StandbyAllLampsFailed) + 1;
}

} // namespace detail

static_assert(detail::isWholePowerTable(), "one row per power state, in the order of PowerState");

constexpr const PowerStateFacts& powerStateFacts(PowerState state)
{
    return PowerStates[std::size_t(state)];
}

constexpr PowerPhase powerPhase(PowerState state)
{
    return powerStateFacts(state).phase;
}

constexpr PowerFault powerFault(PowerState state)
{
    return powerStateFacts(state).fault;
}

// Warming up or cooling down: a state that ends by itself.
constexpr bool isPowerTransition(PowerState state)
{
    return powerPhase(state) == PowerPhase::Warming || powerPhase(state) == PowerPhase::Cooling;
}

// The names programs read: standby, warming, on, cooling, unknown; none,
// temperature_warning, temperature_error, lamp_failure, power_failure.
QLatin1String powerPhaseName(PowerPhase phase);
QLatin1String powerFaultName(PowerFault fault);
// The state's own name, kebab-case ("count-down").
QLatin1String powerStateName(PowerState state);

} // namespace orva
