#pragma once

#include "engine/CommandExchange.h"
#include "engine/line/LineError.h"
#include "engine/protocol/ReplyValues.h"
#include "hub/HttpMessage.h"

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace orva::hub {

// The JSON the HTTP door answers with: the engine's typed values as the
// hub's names spell them (ValueNames), each with the time it was read.

// A value read from the projector: {"value": ..., "read_at": ISO 8601 UTC,
// and for some values more: power_state's "state" (one word: the fault, or
// the phase when there is none), "phase" and "fault" (PowerStates.h), mute's
// "picture" and "sound", lamp_mode's "lit"}. Empty when the value is none.
// With "since" when sinceEpochMs is given: when the hub first read the
// value as it stands (a power phase's start, as near as the polls tell).
QJsonObject valueJson(const ReplyValue& value, std::int64_t readAtEpochMs, std::int64_t sinceEpochMs = -1);

// How an action or a free command ended, for its caller:
//   ok, reply, text (the status line's words for a query's reply), value
//   (of a query's reply), error and error_kind (null when ok), ms.
// A free command is ok on any answer; a command of the vocabulary when its
// answer is the one it should get (ACK, or a query's readable value).
struct ResultJson
{
    QJsonObject body;
    int status = 200; // 503 line down, 504 no answer in time, 429 queue full
};
ResultJson resultJson(const ExchangeResult& result, const ExchangeRequest& request, bool freeCommand);

QString isoTime(std::int64_t epochMs);

// An answer of the HTTP door with a JSON body, never cached.
HttpResponse jsonResponse(int status, const QJsonObject& body);
// The same with the body {"error": error}.
HttpResponse jsonError(int status, const QString& error);
// Why a line is down, for people and for programs: {"kind": "no-such-device"
// (lineErrorKindName), "text": the system's own words, naming the line}.
QJsonObject lineErrorJson(const LineError& error);

} // namespace orva::hub
