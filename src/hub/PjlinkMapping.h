#pragma once

#include "engine/protocol/Commands.h"
#include "engine/protocol/ReplyValues.h"
#include "hub/HubConfig.h"
#include "hub/PjlinkCodec.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace orva::hub {

// How a PJLink request becomes the projector's own commands and queries,
// and how their results become the answer. Plain tables and functions; the
// door carries them out through the projector's queue. The hub is a class 2
// device: class 1's requests are answered under "%1", class 2's under "%2".
//
// Both classes:
//   POWR 1 / 0         power on / off                   OK on ACK
//   POWR ?             power state (CR0): 0 standby, 1 on, 2 cooling, 3 warming
//   INPT 11 / 12 / 21  (%1) input PC1 / PC2 / video, source kept
//   INPT ?             (%1) input (CR1): 1, 2, 3 -> 11, 12, 21
//   INST ?             (%1) 11 12 21
//   AVMT 11 / 10       picture blanking (no show) on / off
//   AVMT 21 / 20       sound mute on / off
//   AVMT 31 / 30       both
//   AVMT ?             mute state (CRA): 00 30, 01 11, 02 21, 03 31, 80 (no signal) 30
//   LAMP ?             lamp hours (CR3) and lamp lit (CR7)
//   ERST ?             fan, lamp, temperature, cover, filter, other from CR0
//   NAME ?             the projector's name in the hub's configuration
//   INF1 ? / INF2 ?    ORVA / the model (CR9)
//   INFO ?             orva-hub and its version
//   CLSS ?             2
// Class 2 only:
//   INPT TN            input and source, see PjlinkInputs.h
//   INPT ?             input (CR1) and the source the hub picked last for it
//   INST ?             11 12 13 21 22 23 31 32
//   INNM ?TN           the input's name: input-names, else the panel's
//   SNUM ? / SVER ?    serial-number / software-version, empty when not set
//   RLMP ? / RFIL ?    lamp-model / filter-model, empty when not set
//   IRES ?             "-" no signal, "*" a signal (CRA); standby ERR3
//   FREZ 1 / 0         C43 / C44
//   FREZ ?             the last freeze the hub had acknowledged; ERR1 if none
//   SVOL 1 / 0         one volume step up (C09) / down (C0A)
//   RRES ?, FILT ?, MVOL  ERR1: the projector cannot tell its panel's
//                      resolution nor filter hours, and has no microphone
// A body it does not know is ERR1, a parameter it does not know ERR2.

// What the door does for one request.
struct PjlinkPlan
{
    QByteArray body;
    QByteArray header = "%1"; // the class it is answered under
    // Answered at once: an error, or a value (when neither commands nor reads).
    std::optional<PjlinkError> error;
    QByteArray value;
    // A set: the commands, sent one after the other; OK when each was
    // acknowledged.
    std::vector<Command> commands;
    // A query: the values it needs before it can be answered.
    std::vector<StatusQuery> reads;
};

// What the hub knows of the projector besides what it reads from it.
struct PjlinkFacts
{
    const ProjectorConfig& config;
    // Projector::lastAcknowledged.
    std::function<std::optional<Command>(const std::vector<Command>&)> lastAcknowledged;
};

PjlinkPlan planPjlink(const PjlinkRequest& request, const PjlinkFacts& facts);

// The values read for a query, by decoding; every one the plan asked for
// is there (the door answers ERR3 or ERR4 itself when a read failed).
using PjlinkValues = std::array<ReplyValue, StatusQueryCount>;

// The answer to a planned query from the values it read: the value text,
// or an error when the projector's state has no PJLink form (a failed
// power supply is ERR4; mute state in standby ERR3).
std::variant<QByteArray, PjlinkError> answerPjlinkQuery(
    const PjlinkPlan& plan, const PjlinkValues& values, const PjlinkFacts& facts);

// The values as PJLink says them, for the answers and the notifications
// alike: the power digit (none for a state PJLink has no word for), the six
// error digits, and the class 2 input code of the input in use.
std::optional<QByteArray> pjlinkPowerDigit(PowerState state);
QByteArray pjlinkErrorDigits(PowerState state);
std::optional<QByteArray> pjlinkInputNow(InputSource input, const PjlinkFacts& facts);

} // namespace orva::hub
