// orva-hub's HTTP door on arbitrary bytes from a network peer:
//  - a connection's bytes read as the same requests, ending the same way,
//    however they are cut into chunks;
//  - a request read is well-formed: a token for its method, a target
//    starting with '/', a body of its Content-Length (at most maxBody),
//    lower-case token header names, values without control bytes or
//    surrounding blanks;
//  - the parser never holds more than its bound, and once it has handed out
//    what it can, less than one request's worth;
//  - a request written back (METHOD SP TARGET[?QUERY] SP VERSION, headers,
//    body) reads as the same request, and its decoded path segments
//    re-encoded decode to the same segments;
//  - no header value a response is given starts a line of its own.
#include "FuzzSupport.h"

#include "hub/HttpMessage.h"

#include <algorithm>

using namespace orva;
using namespace orva::hub;

namespace {

// Small, so that the fuzzer reaches every limit.
constexpr HttpLimits FuzzLimits{256, 6, 64};

struct Reading
{
    QList<HttpRequest> requests;
    int status = 0; // the failure at the end, 0 when still waiting for more
    QString reason;
};

Reading read(const QByteArray& stream, FuzzedDataProvider* cuts)
{
    HttpRequestParser parser(FuzzLimits);
    Reading reading;
    qsizetype at = 0;
    while (at < stream.size() && reading.status == 0) {
        const qsizetype most = FuzzLimits.maxHead + FuzzLimits.maxBody;
        const qsizetype piece = cuts && cuts->remaining_bytes() > 0
            ? std::min<qsizetype>(cuts->ConsumeIntegralInRange<qsizetype>(1, most), stream.size() - at)
            : std::min(most, stream.size() - at);
        parser.feed(QByteArrayView(stream).sliced(at, piece));
        at += piece;
        FUZZ_CHECK(parser.buffered() <= parser.capacity());
        HttpRequest request;
        HttpRequestParser::State state;
        while ((state = parser.next(&request)) == HttpRequestParser::State::Complete)
            reading.requests.append(request);
        if (state == HttpRequestParser::State::Failed) {
            reading.status = parser.failureStatus();
            reading.reason = parser.failureReason();
        } else {
            FUZZ_CHECK(parser.buffered() < most);
        }
    }
    return reading;
}

bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

void checkWellFormed(const HttpRequest& request)
{
    FUZZ_CHECK(!request.method.isEmpty() && std::all_of(request.method.begin(), request.method.end(), isTokenChar));
    FUZZ_CHECK(request.target.startsWith('/'));
    FUZZ_CHECK(request.version == "HTTP/1.1" || request.version == "HTTP/1.0");
    const QByteArray length = request.header("content-length");
    FUZZ_CHECK(request.body.size() == (length.isEmpty() ? 0 : length.toLongLong()));
    FUZZ_CHECK(request.body.size() <= FuzzLimits.maxBody);
    FUZZ_CHECK(request.headers.size() <= FuzzLimits.maxHeaders);
    for (const auto& [name, value] : request.headers) {
        FUZZ_CHECK(!name.isEmpty() && name == name.toLower());
        FUZZ_CHECK(std::all_of(name.begin(), name.end(), isTokenChar));
        FUZZ_CHECK(std::none_of(
            value.begin(), value.end(), [](char c) { return (c >= 0 && c < ' ' && c != '\t') || c == 0x7f; }));
        FUZZ_CHECK(value.isEmpty()
            || (value.front() != ' ' && value.front() != '\t' && value.back() != ' ' && value.back() != '\t'));
    }
}

void checkWrittenBack(const HttpRequest& request)
{
    QByteArray text = request.method + ' ' + request.target + (request.query.isEmpty() ? "" : "?") + request.query + ' '
        + request.version + "\r\n";
    for (const auto& [name, value] : request.headers)
        text += name + ": " + value + "\r\n";
    text += "\r\n" + request.body;
    // Written back, each header may have gained the space after its colon.
    HttpRequestParser parser({FuzzLimits.maxHead + FuzzLimits.maxHeaders, FuzzLimits.maxHeaders, FuzzLimits.maxBody});
    parser.feed(text);
    HttpRequest again;
    FUZZ_CHECK(parser.next(&again) == HttpRequestParser::State::Complete);
    FUZZ_CHECK(again == request);
    FUZZ_CHECK(parser.buffered() == 0);

    const std::optional<QStringList> segments = pathSegments(request.target);
    if (!segments)
        return;
    QByteArray encoded;
    for (const QString& segment : *segments) {
        FUZZ_CHECK(segment != u"." && segment != u".." && !segment.contains(u'/'));
        FUZZ_CHECK(std::none_of(segment.begin(), segment.end(), [](QChar c) { return c.unicode() < 0x20; }));
        encoded += '/' + segment.toUtf8().toPercentEncoding();
    }
    FUZZ_CHECK(pathSegments(segments->isEmpty() ? QByteArray("/") : encoded) == segments);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray stream(reinterpret_cast<const char*>(data), qsizetype(size));
    FuzzedDataProvider cuts(data, size); // the same input decides where the chunks end
    const Reading whole = read(stream, nullptr);
    const Reading chunked = read(stream, &cuts);
    FUZZ_CHECK(chunked.requests == whole.requests);
    FUZZ_CHECK(chunked.status == whole.status && chunked.reason == whole.reason);
    for (const HttpRequest& request : whole.requests) {
        checkWellFormed(request);
        checkWrittenBack(request);
    }

    // Whatever a header value holds, the response has one line per header:
    // the status, X-A, X-B, X-Content-Type-Options, Content-Length,
    // Connection and the empty line.
    HttpResponse response{200, {{"X-A", stream.left(40)}, {"X-B", stream.mid(40, 40)}}, stream.mid(80)};
    const QByteArray rendered = renderResponse(response, false);
    FUZZ_CHECK(rendered.count('\n') == 7 + response.body.count('\n'));
    return 0;
}
