#include "engine/protocol/ValueNames.h"

#include <cstddef>

namespace orva {

namespace {

// One row a value, in the order of its enumeration; the static_asserts
// keep each table whole.
// clang-format off
// The word of each phase and of each fault; a state's word is its fault's
// when it has one (so FaultClasses' "none" and PhaseClasses' "unknown",
// which only a fault comes with, are never read).
constexpr PowerClass PhaseClasses[] = {
    PowerClass::Standby, PowerClass::Warming, PowerClass::On, PowerClass::Cooling, PowerClass::PowerFailure,
};
constexpr PowerClass FaultClasses[] = {
    PowerClass::On, PowerClass::TemperatureWarning, PowerClass::TemperatureShutdown, PowerClass::LampFailure,
    PowerClass::PowerFailure,
};
constexpr const char* PowerClassNames[] = {
    "standby", "warming", "on", "cooling", "temperature_warning", "temperature_shutdown", "lamp_failure",
    "power_failure",
};
constexpr const char* InputNames[] = {"pc1", "pc2", "video", "mode4"};
constexpr const char* OrientationNames[] = {
    "normal", "top-bottom-reversed", "left-right-reversed", "both-reversed"};

struct MuteRow
{
    MuteState mute;
    const char* name;
    std::optional<Muted> muted;
};
constexpr MuteRow MuteRows[] = {
    {MuteState::Off,                "off",               Muted{false, false}},
    {MuteState::VideoMuted,         "picture",           Muted{true, false}},
    {MuteState::AudioMuted,         "sound",             Muted{false, true}},
    {MuteState::VideoAndAudioMuted, "picture-and-sound", Muted{true, true}},
    {MuteState::NoSignal,           "no-signal",         Muted{false, false}},
    {MuteState::Standby,            "standby",           std::nullopt},
};

struct LampRow
{
    LampMode mode;
    const char* name;
    bool lit;
};
constexpr LampRow LampRows[] = {
    {LampMode::Off,              "off",                  false},
    {LampMode::On,               "on",                   true},
    {LampMode::TwoLampsNo2On,    "two-lamps-no2-on",     true},
    {LampMode::TwoLampsBothOn,   "two-lamps-both-on",    true},
    {LampMode::OneLampNo1AllOff, "one-lamp-no1-all-off", false},
    {LampMode::OneLampNo1On,     "one-lamp-no1-on",      true},
    {LampMode::OneLampNo2AllOff, "one-lamp-no2-all-off", false},
    {LampMode::OneLampNo2On,     "one-lamp-no2-on",      true},
};
constexpr const char* ValueKeys[] = {
    "power_state", "input", "orientation", "lamp_hours", "temperatures", "mute", "model", "air_pressure",
    "lamp_mode",
};
// clang-format on

// Row i is the enumeration's value i, and there is one for each.
template <typename Row, typename Enum, std::size_t N>
constexpr bool inOrder(const Row (&rows)[N], Enum Row::*key, Enum last)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (std::size_t(rows[i].*key) != i)
            return false;
    }
    return N == std::size_t(last) + 1;
}
static_assert(std::size(PhaseClasses) == PowerPhaseCount && std::size(FaultClasses) == PowerFaultCount);
static_assert(
    inOrder(MuteRows, &MuteRow::mute, MuteState::Standby), "one row per mute state, in the order of MuteState");
static_assert(
    inOrder(LampRows, &LampRow::mode, LampMode::OneLampNo2On), "one row per lamp mode, in the order of LampMode");
static_assert(std::size(PowerClassNames) == PowerClassCount);
static_assert(std::size(InputNames) == InputSources.size());
static_assert(std::size(OrientationNames) == std::size_t(Orientation::BothReversed) + 1);
static_assert(std::size(ValueKeys) == StatusQueryCount);

} // namespace

PowerClass powerClass(PowerState state)
{
    const PowerStateFacts& facts = powerStateFacts(state);
    if (facts.fault != PowerFault::None)
        return FaultClasses[std::size_t(facts.fault)];
    return PhaseClasses[std::size_t(facts.phase)];
}

QLatin1String powerClassName(PowerClass powerClass)
{
    return QLatin1String(PowerClassNames[std::size_t(powerClass)]);
}

QLatin1String inputName(InputSource input)
{
    return QLatin1String(InputNames[std::size_t(input)]);
}

QLatin1String muteName(MuteState mute)
{
    return QLatin1String(MuteRows[std::size_t(mute)].name);
}

std::optional<Muted> mutedOf(MuteState mute)
{
    return MuteRows[std::size_t(mute)].muted;
}

QLatin1String lampModeName(LampMode mode)
{
    return QLatin1String(LampRows[std::size_t(mode)].name);
}

bool lampLit(LampMode mode)
{
    return LampRows[std::size_t(mode)].lit;
}

QLatin1String orientationName(Orientation orientation)
{
    return QLatin1String(OrientationNames[std::size_t(orientation)]);
}

QLatin1String valueKey(StatusQuery query)
{
    return QLatin1String(ValueKeys[std::size_t(query)]);
}

QString httpActionName(Command command)
{
    const CommandEntry& entry = commandEntry(command);
    if (!entry.action)
        return QString();
    QString name = QLatin1String(entry.action);
    if (name.endsWith(QLatin1Char('?')))
        name = name.chopped(1) + QStringLiteral("-query");
    if (entry.argument)
        name += QLatin1Char('-') + QLatin1String(entry.argument);
    return name;
}

std::optional<Command> commandOfHttpAction(QStringView name)
{
    for (const CommandEntry& entry : Vocabulary) {
        if (entry.action && httpActionName(entry.command) == name)
            return entry.command;
    }
    return std::nullopt;
}

} // namespace orva
