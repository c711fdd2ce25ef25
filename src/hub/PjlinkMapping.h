#pragma once

#include "engine/protocol/Commands.h"
#include "engine/protocol/ReplyValues.h"
#include "hub/PjlinkCodec.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <variant>
#include <vector>

namespace orva::hub {

// How a PJLink class 1 request becomes the projector's own commands and
// queries, and how their results become the answer. Plain tables and
// functions; the door carries them out through the projector's queue.
//
//   POWR 1 / 0         power on / off                   OK on ACK
//   POWR ?             power state (CR0): 0 standby, 1 on, 2 cooling, 3 warming
//   INPT 11 / 12 / 21  input PC1 / PC2 / video          OK on ACK
//   INPT ?             input (CR1): 1, 2, 3 -> 11, 12, 21
//   INST ?             11 12 21
//   AVMT 11 / 10       picture blanking (no show) on / off
//   AVMT 21 / 20       sound mute on / off
//   AVMT 31 / 30       both
//   AVMT ?             mute state (CRA): 00 30, 01 11, 02 21, 03 31, 80 (no signal) 30
//   LAMP ?             lamp hours (CR3) and lamp lit (CR7)
//   ERST ?             fan, lamp, temperature, cover, filter, other from CR0
//   NAME ?             the projector's name in the hub's configuration
//   INF1 ? / INF2 ?    ORVA / the model (CR9)
//   INFO ?             orva-hub and its version
//   CLSS ?             1
// A body it does not know is ERR1, a parameter it does not know ERR2.

// What the door does for one request.
struct PjlinkPlan
{
    QByteArray body;
    // Answered at once: an error, or a value (when neither commands nor reads).
    std::optional<PjlinkError> error;
    QByteArray value;
    // A set: the commands, sent one after the other; OK when each was
    // acknowledged.
    std::vector<Command> commands;
    // A query: the values it needs before it can be answered.
    std::vector<StatusQuery> reads;
};

PjlinkPlan planPjlink(const PjlinkRequest& request, const QString& projectorName);

// The values read for a query, by decoding; every one the plan asked for
// is there (the door answers ERR3 or ERR4 itself when a read failed).
using PjlinkValues = std::array<ReplyValue, StatusQueryCount>;

// The answer to a query of this body from the values it read: the value
// text, or an error when the projector's state has no PJLink form
// (a failed power supply is ERR4; mute state in standby ERR3).
std::variant<QByteArray, PjlinkError> answerPjlinkQuery(const QByteArray& body, const PjlinkValues& values);

} // namespace orva::hub
