#pragma once

#include "ctl/Actions.h"
#include "ctl/Session.h"
#include "engine/ExchangeVerdict.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

namespace orva::ctl {

// The verdict on one port's exchange: the exchange layer's
// (judgeExchange): an operation is ok on ACK, a query when its reply reads
// as the query's value, send on any reply that is neither NAK nor "?". A
// port that could not be opened, or whose wait was given up, is not ok. A
// refusal of the line settings (warning) does not change the verdict. A
// query's plain value is its typed value: a keyed state as the status line
// words it, lamp hours and air pressure as numbers, temperatures as
// written, the model name as it stands.
//
// What is shown of a reply, in plain text and in JSON, is at most its first
// MaxShownReply characters, with the number of those left out; plain text
// shows a reply as the panel's receive line renders it, and any other
// character that is not printable (in a line name, in a system's message)
// as \xNN.
struct Outcome
{
    bool ok = false;
    QString plain;    // the text plain output prints for the port
    QJsonValue value; // the plain value: number, list of numbers or text
    QString error;    // why it is not ok
    // The kind of the line's failure, when the line failed (or did not
    // answer in time); none when the projector answered something wrong.
    std::optional<LineErrorKind> errorKind;
    bool openFailed = false;
    // The verdict's reason; a port that could not be opened, or whose wait
    // was given up, failed as a line does (or did not answer, at the
    // backstop).
    VerdictReason reason = VerdictReason::NoReply;
};

inline constexpr qsizetype MaxShownReply = 128;

Outcome evaluate(const Action& action, const Exchange& exchange);

// Text safe for a terminal: every character below 32, 127 to 159, and a
// byte of a name that was not UTF-8, written as \xNN.
QString printable(const QString& text);

// "orva-ctl: LINE: warning: ..." when the line refused its settings; empty
// otherwise.
QString warningLine(const Exchange& exchange);

// The line of output for one port: plain ("PORT: TEXT" when several ports
// are addressed) or one JSON object.
QString plainLine(const Exchange& exchange, const Outcome& outcome, bool severalPorts);
QString jsonLine(const Action& action, const QString& code, const Exchange& exchange, const Outcome& outcome);

// 3 when any port could not be opened, else 1 when any port failed, else 0.
int exitStatus(const QList<Outcome>& outcomes);

// The lines "orva-ctl list" prints: every action with its code.
QStringList listLines(bool json);

} // namespace orva::ctl
