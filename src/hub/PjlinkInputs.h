#pragma once

#include "engine/protocol/Commands.h"
#include "engine/protocol/ReplyValues.h"

#include <QByteArray>
#include <QLatin1String>

#include <optional>
#include <span>
#include <vector>

namespace orva::hub {

// The projector's inputs as PJLink class 2 names them: a type digit
// (1 RGB, 2 video, 3 digital) and a number, one code for every source of
// each of its three inputs, so that a controller can pick the source too:
//
//   11  PC1 RGB               C05 C50
//   12  PC2 RGB               C06 CF INPUT2 ANALOG
//   13  PC1 Scart             C05 C51
//   21  Video                 C07 CF INPUT3 VIDEO
//   22  S-Video               C07 C34
//   23  PC1 Component         C05 C54
//   31  PC2 DVI(PC Digital)   C06 C5B
//   32  PC2 DVI(AV HDCP)      C06 C5C
//
// Class 1's three codes, 11 PC1, 12 PC2 and 21 Video, pick only the input
// and keep its source; under class 2 they are the first source of each.
// The names are the panel's own, unless the configuration gives others.
struct PjlinkInput
{
    const char* code;
    const char* name;
    Command input;         // C05 / C06 / C07
    Command source;        // the signal the input takes
    InputSource inputRead; // what CR1 answers while it is in use
};

std::span<const PjlinkInput> pjlinkInputs();
const PjlinkInput* pjlinkInputOfCode(const QByteArray& code);
// Every code, blank-separated, in the table's order (INST ?).
QByteArray pjlinkInputCodes();
// The code a class 2 controller reads for the input in use, when the hub
// knows which of its sources was last picked (lastSource), else its first.
std::optional<QByteArray> pjlinkInputCode(InputSource input, std::optional<Command> lastSource);
// The source commands of an input, for asking which was picked last.
std::vector<Command> pjlinkSourcesOf(InputSource input);

} // namespace orva::hub
