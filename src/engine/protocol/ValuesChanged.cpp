#include "engine/protocol/ValuesChanged.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace orva {

namespace {

// The values one command may change, as a set of StatusQuery bits.
using ValueSet = unsigned;

constexpr ValueSet values(std::initializer_list<StatusQuery> queries)
{
    ValueSet set = 0;
    for (const StatusQuery query : queries)
        set |= 1u << unsigned(query);
    return set;
}

struct ChangedRow
{
    Command command;
    ValueSet changes;
};

// Beside the vocabulary: each command that changes what the projector
// reports, and what it changes. Powering on or off moves the power phase,
// lights or puts out the lamp, mutes the picture while it warms and heats or
// cools the projector; an input or source also blanks the picture while the
// projector locks onto the signal. Commands not listed change no value the
// hub reads.
constexpr ValueSet PowerValues
    = values({StatusQuery::PowerState, StatusQuery::LampMode, StatusQuery::MuteState, StatusQuery::Temperatures});
constexpr ValueSet InputValues = values({StatusQuery::InputSource, StatusQuery::MuteState});
constexpr ValueSet MuteValues = values({StatusQuery::MuteState});

// clang-format off
constexpr ChangedRow ValuesChangedTable[] = {
    {Command::PowerOn,            PowerValues},
    {Command::PowerOff,           PowerValues},
    {Command::InputPc1,           InputValues},
    {Command::InputPc2,           InputValues},
    {Command::InputVideo,         InputValues},
    {Command::SourcePc1Rgb,       InputValues},
    {Command::SourcePc1Scart,     InputValues},
    {Command::SourcePc1Component, InputValues},
    {Command::SourcePc2Rgb,       InputValues},
    {Command::SourcePc2DviPc,     InputValues},
    {Command::SourcePc2DviAv,     InputValues},
    {Command::SourceVideo,        InputValues},
    {Command::SourceSVideo,       InputValues},
    {Command::SoundMuteOn,        MuteValues},
    {Command::SoundMuteOff,       MuteValues},
    {Command::NoShowOn,           MuteValues},
    {Command::NoShowOff,          MuteValues},
};
// clang-format on

} // namespace

std::vector<StatusQuery> valuesChangedBy(Command command)
{
    const auto row = std::find_if(std::begin(ValuesChangedTable), std::end(ValuesChangedTable),
        [command](const ChangedRow& one) { return one.command == command; });
    std::vector<StatusQuery> changed;
    if (row == std::end(ValuesChangedTable))
        return changed;
    for (std::size_t i = 0; i < StatusQueryCount; ++i) {
        if (row->changes & (1u << i))
            changed.push_back(StatusQuery(i));
    }
    return changed;
}

} // namespace orva
