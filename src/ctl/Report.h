#pragma once

#include "ctl/Actions.h"
#include "ctl/Session.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

namespace orva::ctl {

// The verdict on one port's exchange.
//
// A reply ends at the first ACK, NAK or carriage return; what comes before
// that character is its body. An exchange is ok when the port was opened,
// the reply ended within the timeout, it is neither a NAK nor the error
// reply "?", and:
//  - operation: it ended in ACK (noise before the ACK is tolerated);
//  - query: it ended in a carriage return and reads as its kind of value:
//    a status text the decoder produced (a key it knows), digits for lamp
//    hours, three comma-separated numbers for temperatures, a name for the
//    model, a reading in range for the air pressure;
//  - send: any reply.
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
};

Outcome evaluate(const Action& action, const Exchange& exchange);

// The line of output for one port: plain ("PORT: TEXT" when several ports
// are addressed) or one JSON object.
QString plainLine(const Exchange& exchange, const Outcome& outcome, bool severalPorts);
QString jsonLine(const Action& action, const QString& code, const Exchange& exchange, const Outcome& outcome);

// 3 when any port could not be opened, else 1 when any port failed, else 0.
int exitStatus(const QList<Outcome>& outcomes);

// The lines "orva-ctl list" prints: every action with its code.
QStringList listLines(bool json);

} // namespace orva::ctl
