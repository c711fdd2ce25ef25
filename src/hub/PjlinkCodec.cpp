#include "hub/PjlinkCodec.h"

#include <QCryptographicHash>

#include <algorithm>

namespace orva::hub {

namespace {

bool isHexDigits(const QByteArray& text)
{
    return std::all_of(text.begin(), text.end(),
        [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); });
}

bool isLetterOrDigit(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

PjlinkParse parsePjlinkRequest(const QByteArray& line)
{
    PjlinkParse parse;
    QByteArray rest = line;
    QByteArray digest;
    // A digest is 32 hex digits right before the header ("%" and the class
    // digit); anything else in front of the header makes the line no PJLink
    // request at all.
    const auto headerAt = [&rest](qsizetype at) {
        return rest.size() >= at + 2 && rest.at(at) == '%' && rest.at(at + 1) >= '1' && rest.at(at + 1) <= '9';
    };
    if (headerAt(DigestLength) && isHexDigits(rest.first(DigestLength))) {
        digest = rest.first(DigestLength).toLower();
        rest = rest.mid(DigestLength);
    } else if (!headerAt(0)) {
        return parse;
    }
    parse.header = rest.first(2);
    rest = rest.mid(2);
    // The body names the command; without one there is nothing to answer under.
    if (rest.size() < 4)
        return parse;
    const QByteArray body = rest.first(4).toUpper();
    if (!std::all_of(body.begin(), body.end(), isLetterOrDigit))
        return parse;
    parse.body = body;
    parse.answerable = true;
    const QByteArray tail = rest.mid(4);
    // A separating blank, then the parameter: printable, at least one character.
    if (rest.size() + 2 > MaxRequestLength || tail.size() < 2 || tail.at(0) != ' ')
        return parse;
    const QByteArray parameter = tail.mid(1).toUpper();
    if (!std::all_of(parameter.begin(), parameter.end(), [](char c) { return c > ' ' && c < 127; }))
        return parse;
    parse.request = PjlinkRequest{digest, body, parameter, parse.header};
    return parse;
}

QByteArray pjlinkGreeting(const std::optional<QByteArray>& random)
{
    return random ? QByteArray("PJLINK 1 ") + *random + '\r' : QByteArray("PJLINK 0\r");
}

QByteArray pjlinkDigest(const QByteArray& random, const QByteArray& password)
{
    return QCryptographicHash::hash(random + password, QCryptographicHash::Md5).toHex();
}

QByteArray pjlinkAuthError()
{
    return QByteArrayLiteral("PJLINK ERRA\r");
}

QByteArray pjlinkAnswer(const QByteArray& body, const QByteArray& value, const QByteArray& header)
{
    return header + body + '=' + value + '\r';
}

QByteArray pjlinkAnswer(const QByteArray& body, PjlinkError error, const QByteArray& header)
{
    const char* code = "ERR1";
    switch (error) {
    case PjlinkError::Undefined:
        break;
    case PjlinkError::OutOfRange:
        code = "ERR2";
        break;
    case PjlinkError::Unavailable:
        code = "ERR3";
        break;
    case PjlinkError::Failure:
        code = "ERR4";
        break;
    }
    return pjlinkAnswer(body, QByteArray(code), header);
}

} // namespace orva::hub
