#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace orva::hub {

// PJLink on the wire: what a controller sends and what the hub answers, as
// plain functions. A request line is
//     [32 hex digits of MD5(random + password)] "%" CLASS BODY " " PARAMETER CR
// where BODY is four letters (case-insensitive) and PARAMETER is "?" for a
// query; the digest stands only before the first request of a connection
// whose greeting asked for authentication. Every answer is one line under
// the request's own header,
//     "%" CLASS BODY "=" RESULT CR
// with RESULT a value, "OK" or one of the errors below.

// Longest request line without the digest and the carriage return, and the
// longest the hub reads before it gives up on a line (digest included).
inline constexpr int MaxRequestLength = 136;
inline constexpr int MaxLineLength = 32 + MaxRequestLength + 1;
inline constexpr int DigestLength = 32;

// How long a connection may stay idle before the hub closes it.
inline constexpr int IdleTimeoutMs = 30'000;

enum class PjlinkError : quint8 {
    Undefined,   // ERR1: no such command
    OutOfRange,  // ERR2: no such parameter
    Unavailable, // ERR3: not now (the projector refused, e.g. in standby)
    Failure,     // ERR4: the projector did not answer or its line is down
};

struct PjlinkRequest
{
    QByteArray digest;        // the 32 hex digits before "%1", when given (lower-cased)
    QByteArray body;          // four letters, upper-cased
    QByteArray parameter;     // as sent (upper-cased; "?" for a query)
    QByteArray header = "%1"; // "%" and the class the request is of

    bool isQuery() const { return parameter == "?"; }
};

// What a request line reads as: a request, or the reason it is none. A line
// without a header ("%" and a class digit) cannot be answered in PJLink's
// form (the hub closes the connection); any other malformed line is
// answered ERR1 under the header and body it names, when it names one. A
// request of a class the hub does not speak is answered ERR1 likewise.
struct PjlinkParse
{
    std::optional<PjlinkRequest> request;
    bool answerable = false; // when there is no request: whether ERR1 can be sent
    QByteArray body;         // the body to answer under, when answerable
    QByteArray header = "%1";
};

// Reads one line, its carriage return already taken off.
PjlinkParse parsePjlinkRequest(const QByteArray& line);

// The greeting of a new connection: "PJLINK 0" CR without authentication,
// "PJLINK 1 " RANDOM CR with it (RANDOM: 8 hex digits, fresh per connection).
QByteArray pjlinkGreeting(const std::optional<QByteArray>& random);
// What a controller must send for a random and a password: the MD5 of the
// two joined, as 32 lower-case hex digits.
QByteArray pjlinkDigest(const QByteArray& random, const QByteArray& password);
// "PJLINK ERRA" CR: the digest was missing or wrong; the connection closes.
QByteArray pjlinkAuthError();

// "%1BODY=VALUE" CR, "%1BODY=OK" CR, "%1BODY=ERRn" CR (or under another
// class's header).
QByteArray pjlinkAnswer(const QByteArray& body, const QByteArray& value, const QByteArray& header = "%1");
QByteArray pjlinkAnswer(const QByteArray& body, PjlinkError error, const QByteArray& header = "%1");

} // namespace orva::hub
