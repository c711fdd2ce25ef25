#include "engine/protocol/PowerStates.h"

namespace orva {

namespace {

constexpr const char* PhaseNames[] = {"standby", "warming", "on", "cooling", "unknown"};
constexpr const char* FaultNames[]
    = {"none", "temperature_warning", "temperature_error", "lamp_failure", "power_failure"};
static_assert(std::size(PhaseNames) == PowerPhaseCount);
static_assert(std::size(FaultNames) == PowerFaultCount);

} // namespace

QLatin1String powerPhaseName(PowerPhase phase)
{
    return QLatin1String(PhaseNames[std::size_t(phase)]);
}

QLatin1String powerFaultName(PowerFault fault)
{
    return QLatin1String(FaultNames[std::size_t(fault)]);
}

QLatin1String powerStateName(PowerState state)
{
    return QLatin1String(powerStateFacts(state).name);
}

} // namespace orva
