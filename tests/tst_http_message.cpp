#include "hub/HttpMessage.h"

#include <QTest>

#include <optional>

using namespace orva::hub;

// HTTP/1.1 messages of the hub's HTTP door: what the parser reads, in
// whatever chunks, what it refuses and with which status, and responses as
// sent.
class TestHttpMessage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void httpRequests_data();
    void httpRequests();
    void httpResponses();
};

void TestHttpMessage::httpRequests_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    // Each request as METHOD TARGET[?QUERY] [its path segments] ("!": refused), keep|close,
    // its headers as name=value and its body.
    QTest::addColumn<QByteArrayList>("requests");
    QTest::addColumn<int>("status"); // how reading fails at the end; 0: it waits for more

    const QByteArray get = "GET / HTTP/1.1\r\nHost: h\r\n";
    const QByteArrayList none;
    const auto row = [](const char* name, const QByteArray& bytes, const QByteArrayList& requests, int status) {
        QTest::newRow(name) << QByteArrayList{bytes} << requests << status;
    };
    row("good GET", "GET /api/projectors/a101?x=1 HTTP/1.1\r\nHost: hub:8352\r\nAccept:  */* \t\r\n\r\n",
        {"GET /api/projectors/a101?x=1 [api|projectors|a101] keep host=hub:8352 accept=*/*"}, 0);
    QTest::newRow("POST with body in two chunks")
        << QByteArrayList{"POST /a/send HTTP/1.1\r\nHost: h\r\nContent-Length: 14\r\n\r\n{\"code\":", "\"CR0\"}"}
        << QByteArrayList{"POST /a/send [a|send] keep host=h content-length=14 {\"code\":\"CR0\"}"} << 0;
    QTest::newRow("line ends split") << QByteArrayList{"GET / HTTP/1.1\r", "\nHost: h\r\n\r", "\n"}
                                     << QByteArrayList{"GET / [] keep host=h"} << 0;
    row("pipelined, an empty line between, no length is no body",
        "POST /a HTTP/1.1\r\nHost: h\r\nContent-Length: 2\r\n\r\nhi\r\nPOST /b HTTP/1.1\r\nHost: h\r\n\r\n"
        "GET /c HTTP/1.1\r\nHost: h\r\nConnection: Upgrade, close\r\n\r\n",
        {"POST /a [a] keep host=h content-length=2 hi", "POST /b [b] keep host=h",
            "GET /c [c] close host=h connection=Upgrade, close"},
        0);
    row("HTTP/1.0", "GET / HTTP/1.0\r\n\r\nGET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n",
        {"GET / [] close", "GET / [] keep connection=keep-alive"}, 0);
    row("segments decoded", "GET /caf%C3%A9/a%20b/ HTTP/1.1\r\nHost: h\r\n\r\n",
        {"GET /caf%C3%A9/a%20b/ [café|a b|] keep host=h"}, 0);
    row("target ..", "GET /api/../x HTTP/1.1\r\nHost: h\r\n\r\n", {"GET /api/../x ! keep host=h"}, 0);
    row("encoded dot", "GET /%2e HTTP/1.1\r\nHost: h\r\n\r\n", {"GET /%2e ! keep host=h"}, 0);
    row("percent-encoded slash", "GET /a%2Fb HTTP/1.1\r\nHost: h\r\n\r\n", {"GET /a%2Fb ! keep host=h"}, 0);
    row("not UTF-8", "GET /%C3 HTTP/1.1\r\nHost: h\r\n\r\n", {"GET /%C3 ! keep host=h"}, 0);
    row("head of 8192 bytes", get + "X: " + QByteArray(8160, 'a') + "\r\n\r\n",
        {"GET / [] keep host=h x=" + QByteArray(8160, 'a')}, 0);
    row("head of 8193 bytes", get + "X: " + QByteArray(8161, 'a') + "\r\n\r\n", none, 431);
    row("too many headers", get + QByteArray("X: y\r\n").repeated(64) + "\r\n", none, 431);
    row("sent far ahead of the answers", (get + "\r\n").repeated(1000), QByteArrayList(910, "GET / [] keep host=h"),
        400);
    row("bare LF", "GET / HTTP/1.1\nHost: h\n\n", none, 400);
    row("bare CR", get + "X: a\rb\r\n\r\n", none, 400);
    row("obs-fold", get + "X: a\r\n b\r\n\r\n", none, 400);
    row("space before colon", "GET / HTTP/1.1\r\nHost : h\r\n\r\n", none, 400);
    row("NUL in header value", get + QByteArray("X: a\0b\r\n\r\n", 11), none, 400);
    row("double space", "GET  / HTTP/1.1\r\nHost: h\r\n\r\n", none, 400);
    row("tab in target", "GET /a\tb HTTP/1.1\r\nHost: h\r\n\r\n", none, 400);
    row("fragment", "GET /a#b HTTP/1.1\r\nHost: h\r\n\r\n", none, 400);
    row("absolute form", "GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n", none, 400);
    row("bad escape", "GET /a%g0 HTTP/1.1\r\nHost: h\r\n\r\n", none, 400);
    row("method not a token", "G(T / HTTP/1.1\r\nHost: h\r\n\r\n", none, 400);
    row("HTTP/2.0", "GET / HTTP/2.0\r\nHost: h\r\n\r\n", none, 505);
    row("lower-case version", "GET / http/1.1\r\nHost: h\r\n\r\n", none, 400);
    row("missing Host", "GET / HTTP/1.1\r\n\r\n", none, 400);
    row("two Hosts", get + "Host: h\r\n\r\n", none, 400);
    row("same Content-Length twice", get + "Content-Length: 1\r\nContent-Length: 01\r\n\r\nx",
        {"GET / [] keep host=h content-length=1 content-length=01 x"}, 0);
    row("duplicate differing Content-Length", get + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nxy", none, 400);
    row("signed Content-Length", get + "Content-Length: +1\r\n\r\nx", none, 400);
    row("Content-Length at maxBody", get + "Content-Length: 4096\r\n\r\n", none, 0);
    row("huge Content-Length", get + "Content-Length: 999999999999\r\n\r\n", none, 413);
    row("19-digit Content-Length", get + "Content-Length: 1000000000000000000\r\n\r\n", none, 400);
    row("Transfer-Encoding chunked", get + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n", none, 501);
}

void TestHttpMessage::httpRequests()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, requests);
    QFETCH(int, status);

    HttpRequestParser parser;
    QByteArrayList read;
    HttpRequest request;
    HttpRequestParser::State state = HttpRequestParser::State::NeedMore;
    for (const QByteArray& chunk : chunks) {
        parser.feed(chunk);
        while ((state = parser.next(&request)) == HttpRequestParser::State::Complete) {
            const std::optional<QStringList> segments = pathSegments(request.target);
            QByteArray text = request.method + ' ' + request.target + (request.query.isEmpty() ? "" : "?")
                + request.query + ' ' + (segments ? '[' + segments->join(u'|').toUtf8() + ']' : "!")
                + (request.keepAlive ? " keep" : " close");
            for (const auto& [name, value] : request.headers)
                text += ' ' + name + '=' + value;
            read.append(request.body.isEmpty() ? text : text + ' ' + request.body);
        }
    }
    QCOMPARE(read, requests);
    QCOMPARE(state == HttpRequestParser::State::Failed ? parser.failureStatus() : 0, status);
    QCOMPARE(parser.failureReason().isEmpty(), status == 0);
    QVERIFY(parser.buffered() <= parser.capacity());
}

void TestHttpMessage::httpResponses()
{
    HttpResponse response{404, {{"Content-Type", "application/json"}, {"X-Evil", "a\r\nSet-Cookie: b"}}, "{}"};
    QCOMPARE(renderResponse(response, false),
        QByteArray("HTTP/1.1 404 Not Found\r\nContent-Type: application/json\r\nX-Evil: a  Set-Cookie: b\r\n"
                   "X-Content-Type-Options: nosniff\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}"));
    response = {204, {}, {}};
    QCOMPARE(renderResponse(response, true),
        QByteArray("HTTP/1.1 204 No Content\r\nX-Content-Type-Options: nosniff\r\n\r\n"));
    response = {200, {{"Content-Type", "text/event-stream"}}, {}};
    QCOMPARE(renderStreamHead(response),
        QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nX-Content-Type-Options: nosniff\r\n"
                   "Connection: close\r\n\r\n"));
}

QTEST_GUILESS_MAIN(TestHttpMessage)
#include "tst_http_message.moc"
