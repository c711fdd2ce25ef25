#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace orva::hub {

// HTTP/1.1 messages of the hub's HTTP door as plain data (RFC 9112), with no
// socket in sight: the door feeds a connection's bytes to a parser and
// writes what renderResponse() makes of its answers.
//
// What the parser reads, strictly:
//  - lines end in CRLF; a bare LF or a bare CR anywhere in the head is a
//    malformed request (400): no line is read in two ways;
//  - empty lines before a request line are skipped (clients may send one
//    after a body), counted in that request's maxHead;
//  - the request line is METHOD SP TARGET SP HTTP/x.y with single spaces, a
//    token for METHOD and an origin-form TARGET: a path of RFC 3986 path
//    characters (percent escapes well-formed) starting with '/', then
//    optionally '?' and a query of visible ASCII without '#'; no fragment,
//    no absolute form, no "*";
//  - header lines are NAME ":" OWS VALUE OWS, NAME a token; a value holds
//    no control byte but HTAB; a line starting with SP or HTAB (obs-fold)
//    is refused;
//  - a body only by Content-Length (digits only, 1 to 18 of them, every
//    copy the same number); Transfer-Encoding of any kind is not
//    implemented (501); no Content-Length is an empty body, for any method;
//  - HTTP/1.1 needs exactly one Host; HTTP/1.0 at most one.
// Failures are reported in the order of the bytes, so that how the bytes
// are cut into chunks never changes the outcome.

struct HttpRequest
{
    QByteArray method;                                // "GET", "POST", ... as sent (tokens only)
    QByteArray target;                                // origin-form path, without the query: "/api/projectors/a101"
    QByteArray query;                                 // after '?', undecoded; empty when none
    QByteArray version;                               // "HTTP/1.1" or "HTTP/1.0"
    QList<std::pair<QByteArray, QByteArray>> headers; // names lower-cased, values trimmed
    QByteArray body;
    bool keepAlive = true; // HTTP/1.1 default; "Connection: close" or HTTP/1.0 without keep-alive -> false

    // The first value of a header (name in any case), or empty.
    QByteArray header(QByteArrayView name) const;

    friend bool operator==(const HttpRequest&, const HttpRequest&) = default;
};

// How much of a request the hub reads: the defaults are the HTTP door's
// limits, defined here alone (a type of its own, so that a
// default-constructed one can be a default argument).
struct HttpLimits
{
    qsizetype maxHead = 8192; // request line and header lines, with their CRLFs and the empty line
    int maxHeaders = 64;
    qsizetype maxBody = 4096;
};

// Reads requests from a connection's bytes, one after another; pipelined
// requests stay buffered until taken. Holds at most capacity() bytes: what
// comes beyond that is dropped and the connection fails once the requests
// before the drop are taken (a client sending far ahead of the answers).
// A door that feeds chunks of at most maxHead + maxBody bytes and takes
// every complete request after each feed never reaches that bound.
class HttpRequestParser
{
public:
    using Limits = HttpLimits;
    enum class State { NeedMore, Complete, Failed };

    explicit HttpRequestParser(Limits limits = {});

    // Appends bytes of the connection; ignored once failed.
    void feed(QByteArrayView bytes);
    // Complete: *out is the next request, removed from the buffer. Failed
    // stays failed: the door answers failureStatus() and closes.
    State next(HttpRequest* out);

    // 400 malformed, or sent beyond capacity(); 413 body over maxBody; 431
    // head over maxHead or too many headers; 501 Transfer-Encoding; 505 not
    // HTTP/1.0 or 1.1.
    int failureStatus() const { return m_failureStatus; }
    // Why, in words for the log.
    QString failureReason() const { return m_failureReason; }
    // The whole head of the request being read has arrived (as of the last
    // next()): the door's head timeout gives way to its body timeout.
    bool headComplete() const { return m_phase == Phase::Body; }

    qsizetype buffered() const { return m_buffer.size(); }
    qsizetype capacity() const { return 2 * (m_limits.maxHead + m_limits.maxBody); }

private:
    enum class Phase { RequestLine, Headers, Body };

    State fail(int status, QString reason);
    State readLines();
    bool takeRequestLine(QByteArrayView line);
    bool takeHeaderLine(QByteArrayView line);
    bool finishHead();

    Limits m_limits;
    QByteArray m_buffer;
    bool m_overflowed = false; // bytes were dropped after the buffer's end
    Phase m_phase = Phase::RequestLine;
    qsizetype m_lineStart = 0; // the next line of the head to read
    qsizetype m_scanned = 0;   // where the search for its line end goes on
    qsizetype m_bodyLength = 0;
    HttpRequest m_request; // the one being read
    int m_failureStatus = 0;
    QString m_failureReason;
};

// A path segment's text: percent escapes decoded, valid UTF-8. Nothing when
// a raw byte is no RFC 3986 path character, an escape is malformed, or the
// decoded text is not UTF-8 or holds '/' or a control character (NUL...).
std::optional<QString> decodePathSegment(QByteArrayView segment);
// A target's decoded segments ("/" has none; "/a/" is "a" and ""). Nothing
// when the target does not start with '/' or a segment does not decode or
// is "." or "..".
std::optional<QStringList> pathSegments(QByteArrayView target);

struct HttpResponse
{
    int status = 200;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
};

// The response as sent: the status line with its reason phrase, the
// headers, "X-Content-Type-Options: nosniff", Content-Length (none for 1xx,
// 204 and 304, which carry no body), "Connection: close" when the
// connection ends after it, the empty line and the body unless it answers
// HEAD. Control bytes in header names or values
// become spaces, so a value can never start a header of its own.
QByteArray renderResponse(const HttpResponse& response, bool keepAlive, bool headOnly = false);
// The head of a response whose body is a stream that lasts until the hub
// closes the connection (Server-Sent Events): no Content-Length, and
// "Connection: close". The response's body is not used.
QByteArray renderStreamHead(const HttpResponse& response);
// "OK", "Not Found", ...; empty for a status without a known one.
QByteArray reasonPhrase(int status);

} // namespace orva::hub
