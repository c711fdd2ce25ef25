#include "hub/HttpMessage.h"

#include <QStringDecoder>

#include <algorithm>

namespace orva::hub {

namespace {

bool isAlphaOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// RFC 9110's tchar: what a method or a header name is made of.
bool isTokenChar(char c)
{
    return isAlphaOrDigit(c) || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

// RFC 3986's pchar, without pct-encoded (checked apart): unreserved,
// sub-delims, ':' and '@'.
bool isPathChar(char c)
{
    return isAlphaOrDigit(c) || QByteArrayView("-._~!$&'()*+,;=:@").contains(c);
}

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// OWS around a header value is spaces and tabs only.
QByteArrayView trimBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// Where a path's bytes go wrong ('/' separates segments, escapes must be
// whole), or -1 when they are all right.
qsizetype badPathByte(QByteArrayView path)
{
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char c = path.at(i);
        if (c == '%') {
            if (i + 2 >= path.size() || !isHexDigit(path.at(i + 1)) || !isHexDigit(path.at(i + 2)))
                return i;
            i += 2;
        } else if (c != '/' && !isPathChar(c)) {
            return i;
        }
    }
    return -1;
}

bool hasListToken(QByteArrayView list, QByteArrayView token)
{
    for (qsizetype from = 0; from <= list.size();) {
        qsizetype comma = list.indexOf(',', from);
        if (comma < 0)
            comma = list.size();
        if (trimBlanks(list.sliced(from, comma - from)).compare(token, Qt::CaseInsensitive) == 0)
            return true;
        from = comma + 1;
    }
    return false;
}

// No byte of a header written by the hub may end its line early.
QByteArray headerText(const QByteArray& text)
{
    QByteArray clean = text;
    std::replace_if(
        clean.begin(), clean.end(), [](char c) { return isControl(c) && c != '\t'; }, ' ');
    return clean;
}

} // namespace

QByteArray HttpRequest::header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpRequestParser::HttpRequestParser(Limits limits)
    : m_limits(limits)
{
}

void HttpRequestParser::feed(QByteArrayView bytes)
{
    if (m_failureStatus != 0)
        return;
    const qsizetype room = capacity() - m_buffer.size();
    if (bytes.size() > room) {
        bytes = bytes.first(room);
        m_overflowed = true;
    }
    m_buffer.append(bytes);
}

HttpRequestParser::State HttpRequestParser::fail(int status, QString reason)
{
    m_failureStatus = status;
    m_failureReason = std::move(reason);
    // Nothing more is read from this connection.
    m_buffer = QByteArray();
    return State::Failed;
}

HttpRequestParser::State HttpRequestParser::next(HttpRequest* out)
{
    if (m_failureStatus != 0)
        return State::Failed;
    if (m_phase != Phase::Body && readLines() == State::Failed)
        return State::Failed;
    if (m_phase != Phase::Body || m_buffer.size() - m_lineStart < m_bodyLength) {
        if (m_overflowed) {
            return fail(400, QStringLiteral("the client sent more than %1 bytes ahead of the answers").arg(capacity()));
        }
        return State::NeedMore;
    }
    m_request.body = m_buffer.mid(m_lineStart, m_bodyLength);
    m_buffer.remove(0, m_lineStart + m_bodyLength);
    *out = std::exchange(m_request, HttpRequest());
    m_phase = Phase::RequestLine;
    m_lineStart = 0;
    m_scanned = 0;
    m_bodyLength = 0;
    return State::Complete;
}

// Reads the head's lines as far as they have arrived, each once. The head
// starts at the buffer's front (the requests before it are taken out), so
// its size is where its empty line ends; empty lines before the request
// line count in it.
HttpRequestParser::State HttpRequestParser::readLines()
{
    while (m_phase != Phase::Body) {
        const QByteArrayView window = QByteArrayView(m_buffer).first(std::min(m_buffer.size(), m_limits.maxHead));
        const qsizetype lineFeed = window.indexOf('\n', m_scanned);
        if (lineFeed < 0) {
            m_scanned = window.size();
            if (m_buffer.size() >= m_limits.maxHead)
                return fail(431, QStringLiteral("the head is longer than %1 bytes").arg(m_limits.maxHead));
            return State::NeedMore;
        }
        QByteArrayView line = window.sliced(m_lineStart, lineFeed - m_lineStart);
        m_lineStart = m_scanned = lineFeed + 1;
        if (line.isEmpty() || line.back() != '\r')
            return fail(400, QStringLiteral("a line ends in a bare LF"));
        line.chop(1);
        if (line.contains('\r'))
            return fail(400, QStringLiteral("a line holds a bare CR"));

        bool taken = false;
        if (m_phase == Phase::RequestLine && line.isEmpty()) {
            taken = true; // a client may send an empty line after a body
        } else if (m_phase == Phase::RequestLine) {
            taken = takeRequestLine(line);
            m_phase = Phase::Headers;
        } else if (line.isEmpty()) {
            taken = finishHead();
            m_phase = Phase::Body;
        } else {
            taken = takeHeaderLine(line);
        }
        if (!taken)
            return State::Failed;
    }
    return State::NeedMore;
}

bool HttpRequestParser::takeRequestLine(QByteArrayView line)
{
    const qsizetype first = line.indexOf(' ');
    const qsizetype second = first < 0 ? -1 : line.indexOf(' ', first + 1);
    if (second < 0 || line.indexOf(' ', second + 1) >= 0) {
        fail(400, QStringLiteral("request line is not METHOD SP TARGET SP HTTP/x.y"));
        return false;
    }
    const QByteArrayView method = line.first(first);
    const QByteArrayView target = line.sliced(first + 1, second - first - 1);
    const QByteArrayView version = line.sliced(second + 1);

    const bool versionForm = version.size() == 8 && version.startsWith("HTTP/") && version.at(5) >= '0'
        && version.at(5) <= '9' && version.at(6) == '.' && version.at(7) >= '0' && version.at(7) <= '9';
    if (!versionForm) {
        fail(400, QStringLiteral("request line is not METHOD SP TARGET SP HTTP/x.y"));
        return false;
    }
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        fail(505, QStringLiteral("%1 is not HTTP/1.0 or HTTP/1.1").arg(QLatin1StringView(version)));
        return false;
    }
    if (!isToken(method)) {
        fail(400, QStringLiteral("the method is not a token"));
        return false;
    }
    if (!target.startsWith('/')) {
        fail(400, QStringLiteral("the target is not a path starting with '/'"));
        return false;
    }
    const qsizetype question = target.indexOf('?');
    const QByteArrayView path = question < 0 ? target : target.first(question);
    const QByteArrayView query = question < 0 ? QByteArrayView() : target.sliced(question + 1);
    const qsizetype bad = badPathByte(path);
    if (bad >= 0 || query.contains('#')) {
        const bool fragment = path.contains('#') || query.contains('#');
        fail(400,
            fragment ? QStringLiteral("the target holds a fragment")
                     : QStringLiteral("the target's path holds byte %1 at %2")
                           .arg(static_cast<unsigned char>(path.at(bad)))
                           .arg(bad));
        return false;
    }
    // The query stays as sent, but only of visible ASCII.
    if (!std::all_of(query.begin(), query.end(), [](char c) { return c > ' ' && c < 0x7f; })) {
        fail(400, QStringLiteral("the target's query holds a byte that is not visible ASCII"));
        return false;
    }
    m_request.method = method.toByteArray();
    m_request.target = path.toByteArray();
    m_request.query = query.toByteArray();
    m_request.version = version.toByteArray();
    return true;
}

bool HttpRequestParser::takeHeaderLine(QByteArrayView line)
{
    if (m_request.headers.size() >= m_limits.maxHeaders) {
        fail(431, QStringLiteral("more than %1 header lines").arg(m_limits.maxHeaders));
        return false;
    }
    if (isBlank(line.front())) {
        fail(400, QStringLiteral("a header line is folded (starts with a space or tab)"));
        return false;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon < 0) {
        fail(400, QStringLiteral("a header line is not NAME: VALUE"));
        return false;
    }
    const QByteArrayView name = line.first(colon);
    if (!isToken(name)) {
        fail(400,
            isBlank(name.back()) ? QStringLiteral("a header name has blanks before its colon")
                                 : QStringLiteral("a header name is not a token"));
        return false;
    }
    const QByteArrayView value = line.sliced(colon + 1);
    if (std::any_of(value.begin(), value.end(), [](char c) { return isControl(c) && c != '\t'; })) {
        fail(400, QStringLiteral("header %1 holds a control byte").arg(QLatin1StringView(name)));
        return false;
    }
    m_request.headers.append({name.toByteArray().toLower(), trimBlanks(value).toByteArray()});
    return true;
}

bool HttpRequestParser::finishHead()
{
    qsizetype hosts = 0;
    std::optional<qint64> length;
    bool close = false;
    bool keepAlive = false;
    for (const auto& [name, value] : m_request.headers) {
        if (name == "transfer-encoding") {
            fail(501, QStringLiteral("Transfer-Encoding is not implemented"));
            return false;
        }
        if (name == "host")
            ++hosts;
        if (name == "connection") {
            close = close || hasListToken(value, "close");
            keepAlive = keepAlive || hasListToken(value, "keep-alive");
        }
        if (name != "content-length")
            continue;
        // 18 digits always fit in 63 bits; no body comes near that.
        if (value.isEmpty() || value.size() > 18
            || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            fail(400, QStringLiteral("Content-Length is not 1 to 18 digits"));
            return false;
        }
        const qint64 number = value.toLongLong();
        if (length && *length != number) {
            fail(400, QStringLiteral("Content-Length is given twice, differently"));
            return false;
        }
        length = number;
    }
    const bool http11 = m_request.version == "HTTP/1.1";
    if (hosts > 1 || (http11 && hosts == 0)) {
        fail(400, QStringLiteral("%1 Host headers: HTTP/1.1 needs exactly one, HTTP/1.0 at most one").arg(hosts));
        return false;
    }
    if (length && *length > m_limits.maxBody) {
        fail(413, QStringLiteral("a body of %1 bytes is over %2").arg(*length).arg(m_limits.maxBody));
        return false;
    }
    m_bodyLength = length.value_or(0);
    m_request.keepAlive = !close && (http11 || keepAlive);
    return true;
}

std::optional<QString> decodePathSegment(QByteArrayView segment)
{
    QByteArray bytes;
    bytes.reserve(segment.size());
    for (qsizetype i = 0; i < segment.size(); ++i) {
        const char c = segment.at(i);
        if (c == '%') {
            if (i + 2 >= segment.size() || !isHexDigit(segment.at(i + 1)) || !isHexDigit(segment.at(i + 2)))
                return std::nullopt;
            bytes.append(char(hexValue(segment.at(i + 1)) * 16 + hexValue(segment.at(i + 2))));
            i += 2;
        } else if (isPathChar(c)) {
            bytes.append(c);
        } else {
            return std::nullopt;
        }
    }
    if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return c == '/' || isControl(c); }))
        return std::nullopt;
    // A leading byte order mark stays a character: the text is what was sent.
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QStringList> pathSegments(QByteArrayView target)
{
    if (!target.startsWith('/'))
        return std::nullopt;
    QStringList segments;
    if (target.size() == 1)
        return segments;
    for (qsizetype from = 1; from <= target.size();) {
        qsizetype slash = target.indexOf('/', from);
        if (slash < 0)
            slash = target.size();
        const std::optional<QString> segment = decodePathSegment(target.sliced(from, slash - from));
        if (!segment || *segment == u"." || *segment == u"..")
            return std::nullopt;
        segments.append(*segment);
        from = slash + 1;
    }
    return segments;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 202:
        return "Accepted";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 415:
        return "Unsupported Media Type";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return {};
    }
}

namespace {

// The status line, the caller's headers and "X-Content-Type-Options:
// nosniff" (no browser reads an answer as anything but its Content-Type
// says); Content-Length, Connection and that one are the renderer's alone.
QByteArray responseHead(const HttpResponse& response)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers) {
        if (name.compare("content-length", Qt::CaseInsensitive) == 0
            || name.compare("connection", Qt::CaseInsensitive) == 0
            || name.compare("x-content-type-options", Qt::CaseInsensitive) == 0)
            continue;
        head += headerText(name) + ": " + headerText(value) + "\r\n";
    }
    return head + "X-Content-Type-Options: nosniff\r\n";
}

} // namespace

QByteArray renderResponse(const HttpResponse& response, bool keepAlive, bool headOnly)
{
    const bool bodyless = response.status < 200 || response.status == 204 || response.status == 304;
    QByteArray message = responseHead(response);
    if (!bodyless)
        message += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    if (!keepAlive)
        message += "Connection: close\r\n";
    message += "\r\n";
    if (!headOnly && !bodyless)
        message += response.body;
    return message;
}

QByteArray renderStreamHead(const HttpResponse& response)
{
    return responseHead(response) + "Connection: close\r\n\r\n";
}

} // namespace orva::hub
