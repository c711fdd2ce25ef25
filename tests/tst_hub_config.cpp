#include "hub/HttpMessage.h"
#include "hub/HubConfig.h"
#include "hub/PjlinkCodec.h"
#include "hub/ShareFraming.h"

#include <QHostAddress>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <optional>

using namespace orva;
using namespace orva::hub;

// orva-hub's configuration file and the requests its doors read (PJLink
// lines, share frames, HTTP): what is accepted, and the message for what is
// not.
class TestHubConfig : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void files_data();
    void files();
    void shareAllow_data();
    void shareAllow();
    void requests_data();
    void requests();
    void authentication();
    void shareFrames_data();
    void shareFrames();
    void httpRequests_data();
    void httpRequests();
    void httpResponses();
};

namespace {

const QByteArray OneProjector = "[[projector]]\nname = \"a101\"\nline = \"/dev/ttyUSB0\"\n";

} // namespace

void TestHubConfig::files_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<QString>("error");   // a part of the first error; empty: accepted
    QTest::addColumn<QString>("warning"); // a part of the first warning, if any

    const uint privateMode = 0100640;
    QTest::newRow("defaults") << OneProjector << privateMode << QString() << QString();
    QTest::newRow("everything") << QByteArray("listen = [\"127.0.0.1\", \"::1\"]\npoll-interval-ms = 0\n"
                                              "reply-timeout-ms = 800\n[[projector]]\nname = \"a-101\"\n"
                                              "line = \"rfc2217://10.0.0.5:2000\"\nspeed = 9600\n"
                                              "share-port = 5101\npjlink-port = 4352\npjlink-password = \"s3cret\"\n")
                                << privateMode << QString() << QString();
    QTest::newRow("unknown top key") << QByteArray("pol-interval-ms = 10\n") + OneProjector << privateMode
                                     << "cfg.toml:1:1: pol-interval-ms: unknown key" << QString();
    QTest::newRow("unknown projector key")
        << OneProjector + "sped = 9600\n"
        << privateMode << "cfg.toml:4:1: sped: unknown key in [[projector]]" << QString();
    QTest::newRow("bad speed") << OneProjector + "speed = 4800\n"
                               << privateMode << "cfg.toml:4:9: speed: must be 19200 or 9600" << QString();
    QTest::newRow("port out of range") << OneProjector + "share-port = 70000\n"
                                       << privateMode << "share-port: 70000 is out of range" << QString();
    QTest::newRow("duplicate name") << OneProjector + OneProjector << privateMode
                                    << "cfg.toml:5:8: name: \"a101\" names another projector already" << QString();
    QTest::newRow("same port twice") << OneProjector + "share-port = 5101\npjlink-port = 5101\n"
                                     << privateMode << "pjlink-port: port 5101 is taken by a101 share-port already"
                                     << QString();
    QTest::newRow("bad name") << QByteArray("[[projector]]\nname = \"A101\"\nline = \"/dev/x\"\n") << privateMode
                              << "name: \"A101\": use 1 to 32 lower-case letters" << QString();
    QTest::newRow("bad line") << QByteArray("[[projector]]\nname = \"a\"\nline = \"http://x:1\"\n") << privateMode
                              << "cfg.toml:3:8: line: \"http://x:1\"" << QString();
    QTest::newRow("missing line") << QByteArray("[[projector]]\nname = \"a\"\n") << privateMode
                                  << "line: missing in [[projector]]" << QString();
    QTest::newRow("no projector") << QByteArray("listen = [\"127.0.0.1\"]\n") << privateMode
                                  << "cfg.toml: no [[projector]]" << QString();
    QTest::newRow("not an address") << QByteArray("listen = [\"localhost\"]\n") + OneProjector << privateMode
                                    << "listen: \"localhost\" is not an IP address" << QString();
    QTest::newRow("syntax") << QByteArray("listen = [\n") << privateMode << "cfg.toml:1:12: " << QString();
    QTest::newRow("world-readable password")
        << OneProjector + "pjlink-port = 4352\npjlink-password = \"x\"\n"
        << uint(0100644) << "cfg.toml: holds a password or token but its mode 0644 lets others read it" << QString();
    QTest::newRow("world-readable, no password") << OneProjector << uint(0100644) << QString() << QString();
    QTest::newRow("open network door without password")
        << QByteArray("listen = [\"0.0.0.0\"]\n") + OneProjector + "pjlink-port = 4352\n"
        << privateMode << "pjlink-port: a PJLink door on an address other than loopback needs pjlink-password"
        << QString();
    QTest::newRow("open network door, empty password chosen")
        << QByteArray("listen = [\"0.0.0.0\"]\n") + OneProjector + "pjlink-port = 4352\npjlink-password = \"\"\n"
        << privateMode << QString() << "pjlink-password: empty: anybody who reaches 0.0.0.0 may control projector a101";
    QTest::newRow("HTTP door off loopback without token")
        << QByteArray("listen = [\"::\"]\nhttp-port = 8352\n") + OneProjector << privateMode
        << "cfg.toml:2:13: http-port: an HTTP door on an address other than loopback needs http-token" << QString();
    QTest::newRow("HTTP door off loopback with token")
        << QByteArray("listen = [\"::\"]\nhttp-port = 8352\nhttp-token = \"0123456789abcdef\"\n") + OneProjector
        << privateMode << QString() << QString();
    QTest::newRow("world-readable token")
        << QByteArray("http-port = 8352\nhttp-token = \"0123456789abcdef\"\n") + OneProjector << uint(0100604)
        << "cfg.toml: holds a password or token but its mode 0604 lets others read it" << QString();
    QTest::newRow("short token") << QByteArray("http-token = \"secret\"\n") + OneProjector << privateMode
                                 << "cfg.toml:1:14: http-token: 16 to 256 printable ASCII characters" << QString();
    QTest::newRow("token of few characters")
        << QByteArray("http-token = \"abababababababab1234\"\n") + OneProjector << privateMode
        << "cfg.toml:1:14: http-token: 16 to 256 printable ASCII characters, no blanks, at least 8 of them different"
        << QString();
    const int deep = 40'000;
    QTest::newRow("dotted key nested too deep")
        << "a" + QByteArray(".a").repeated(deep) + " = 1\n" + OneProjector << privateMode
        << "cfg.toml:1:66: nested more than 32 levels deep" << QString();
    QTest::newRow("table header nested too deep")
        << OneProjector + "[" + QByteArray("a.").repeated(deep) + "a]\n"
        << privateMode << "cfg.toml:4:65: nested more than 32 levels deep" << QString();
    QTest::newRow("inline tables nested too deep")
        << "x = " + QByteArray("{a=").repeated(deep) + '1' + QByteArray("}").repeated(deep) + '\n' + OneProjector
        << privateMode << "cfg.toml:1:101: nested more than 32 levels deep" << QString();
    QTest::newRow("arrays nested too deep")
        << "x = " + QByteArray("[").repeated(deep) + QByteArray("]").repeated(deep) + '\n' + OneProjector << privateMode
        << "cfg.toml:1:37: nested more than 32 levels deep" << QString();
    QTest::newRow("brackets in strings and comments nest nothing")
        << "x = \"" + QByteArray("[").repeated(deep) + "\" # " + QByteArray("{").repeated(deep) + "\ny = '''\n"
            + QByteArray("[").repeated(deep) + "'''\n" + OneProjector
        << privateMode << "cfg.toml:1:1: x: unknown key" << QString();
    QTest::newRow("a FIFO") << OneProjector << uint(0010640) << ": not a regular file" << QString();
    QTest::newRow("HTTP port taken by a door")
        << QByteArray("http-port = 5101\n") + OneProjector + "share-port = 5101\n"
        << privateMode << "cfg.toml:1:13: http-port: port 5101 is taken by a101 share-port already" << QString();
    QTest::newRow("share door off loopback, no share-allow")
        << QByteArray("listen = [\"0.0.0.0\"]\n") + OneProjector + "share-port = 5101\n"
        << privateMode << "cfg.toml:5:14: share-port: a share door on an address other than loopback needs share-allow"
        << QString();
    QTest::newRow("share door off loopback, share-allow at the top")
        << QByteArray("listen = [\"::\"]\nshare-allow = [\"10.1.2.0/24\", \"2001:db8::/64\", \"10.9.9.9\"]\n")
            + OneProjector + "share-port = 5101\n"
        << privateMode << QString() << QString();
    QTest::newRow("share door off loopback by its own listen")
        << OneProjector + "listen = [\"10.0.0.2\"]\nshare-port = 5101\n"
        << privateMode << "share-port: a share door on an address other than loopback needs share-allow" << QString();
    QTest::newRow("share-allow, bad range")
        << OneProjector + "share-allow = [\"10.1.2.0/33\"]\n"
        << privateMode << "cfg.toml:4:16: share-allow: \"10.1.2.0/33\" is neither an IP address nor a network"
        << QString();
    QTest::newRow("share-allow, empty") << OneProjector + "share-allow = []\n"
                                        << privateMode << "share-allow: must be a list of networks" << QString();
    const QByteArray secondProjector = "[[projector]]\nname = \"a102\"\nline = \"/dev/ttyUSB1\"\n";
    QTest::newRow("PJLink's own port at each projector's own address")
        << OneProjector + "listen = [\"127.0.0.2\"]\npjlink-port = 4352\n" + secondProjector
            + "listen = [\"127.0.0.3\"]\npjlink-port = 4352\n"
        << privateMode << QString() << QString();
    QTest::newRow("same address and port twice")
        << OneProjector + "listen = [\"127.0.0.2\"]\npjlink-port = 4352\n" + secondProjector
            + "listen = [\"127.0.0.3\", \"127.0.0.2\"]\npjlink-port = 4352\n"
        << privateMode << "cfg.toml:10:15: pjlink-port: port 4352 is taken by a101 pjlink-port already" << QString();
    QTest::newRow("0.0.0.0 takes the port on every IPv4 address")
        << QByteArray("listen = [\"0.0.0.0\"]\n") + OneProjector + "pjlink-port = 4352\npjlink-password = \"\"\n"
            + secondProjector + "listen = [\"127.0.0.3\"]\npjlink-port = 4352\n"
        << privateMode << "pjlink-port: port 4352 is taken by a101 pjlink-port on 0.0.0.0 already"
        << "pjlink-password: empty";
    QTest::newRow("0.0.0.0 and :: apart")
        << QByteArray("listen = [\"0.0.0.0\"]\n") + OneProjector + "pjlink-port = 4352\npjlink-password = \"\"\n"
            + secondProjector + "listen = [\"::\"]\npjlink-port = 4352\npjlink-password = \"\"\n"
        << privateMode << QString() << "pjlink-password: empty";
    QTest::newRow("HTTP door at an address a projector takes whole")
        << QByteArray("http-port = 8352\n") + OneProjector + "listen = [\"::1\"]\nshare-port = 8352\n" + secondProjector
            + "listen = [\"0.0.0.0\"]\nshare-allow = [\"10.0.0.0/8\"]\nshare-port = 8352\n"
        << privateMode << "cfg.toml:1:13: http-port: port 8352 is taken by a102 share-port on 0.0.0.0 already"
        << QString();
}

void TestHubConfig::files()
{
    QFETCH(QByteArray, text);
    QFETCH(uint, mode);
    QFETCH(QString, error);
    QFETCH(QString, warning);

    // A mode of a kind other than a regular file: the text is read from a
    // file of that kind, made for the row.
    QTemporaryDir dir;
    const QString special = dir.filePath(QStringLiteral("cfg.toml"));
    QVERIFY(S_ISREG(mode) || (S_ISFIFO(mode) && ::mkfifo(QFile::encodeName(special).constData(), 0600) == 0));
    const ConfigResult result
        = S_ISREG(mode) ? parseHubConfig(text, QStringLiteral("cfg.toml"), mode) : readHubConfig(special);
    if (error.isEmpty()) {
        QVERIFY2(result.errors.isEmpty(), qPrintable(result.errors.join(QLatin1Char('\n'))));
        QVERIFY(result.config.has_value());
    } else {
        QVERIFY(!result.config.has_value());
        QVERIFY(!result.errors.isEmpty());
        QVERIFY2(result.errors.first().contains(error), qPrintable(result.errors.first()));
    }
    if (!warning.isEmpty()) {
        QVERIFY(!result.warnings.isEmpty());
        QVERIFY2(result.warnings.first().contains(warning), qPrintable(result.warnings.first()));
    }
}

// Who the share door lets in, as share-allow reads.
void TestHubConfig::shareAllow_data()
{
    QTest::addColumn<QByteArray>("allow");
    QTest::addColumn<QString>("peer");
    QTest::addColumn<bool>("admitted");

    QTest::newRow("in the network") << QByteArray("[\"10.1.2.0/24\"]") << "10.1.2.77" << true;
    QTest::newRow("outside it") << QByteArray("[\"10.1.2.0/24\"]") << "10.1.3.1" << false;
    QTest::newRow("a bare address is that host") << QByteArray("[\"10.0.0.1\"]") << "10.0.0.1" << true;
    QTest::newRow("a bare address is that host alone") << QByteArray("[\"10.1.0.0\"]") << "10.1.0.5" << false;
    QTest::newRow("IPv4 peer on an IPv6 socket") << QByteArray("[\"10.1.2.0/24\"]") << "::ffff:10.1.2.3" << true;
    QTest::newRow("IPv4 peer on an IPv6 socket, outside")
        << QByteArray("[\"10.1.2.0/24\"]") << "::ffff:10.9.2.3" << false;
    QTest::newRow("IPv6 network") << QByteArray("[\"10.1.2.0/24\", \"2001:db8::/64\"]") << "2001:db8::5" << true;
    QTest::newRow("IPv6, outside") << QByteArray("[\"2001:db8::/64\"]") << "2001:db8:0:1::5" << false;
    QTest::newRow("loopback, always") << QByteArray("[\"10.1.2.0/24\"]") << "127.0.0.1" << true;
    QTest::newRow("IPv6 loopback, always") << QByteArray("[\"10.1.2.0/24\"]") << "::1" << true;
}

void TestHubConfig::shareAllow()
{
    QFETCH(QByteArray, allow);
    QFETCH(QString, peer);
    const ConfigResult result = parseHubConfig(
        "listen = [\"::\"]\nshare-allow = " + allow + '\n' + OneProjector + "share-port = 5101\n", "cfg.toml", 0100600);
    QVERIFY2(result.config, qPrintable(result.errors.join(u'\n')));
    QTEST(result.config->projectors.first().shareAllow.admits(QHostAddress(peer)), "admitted");
}

void TestHubConfig::requests_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QByteArray>("body");      // to answer under; empty: not answerable
    QTest::addColumn<QByteArray>("parameter"); // when parsed
    QTest::addColumn<QByteArray>("digest");

    const QByteArray digest = QByteArray(32, 'a');
    QTest::newRow("set") << QByteArray("%1POWR 1") << true << QByteArray("POWR") << QByteArray("1") << QByteArray();
    QTest::newRow("query, lower case") << QByteArray("%1powr ?") << true << QByteArray("POWR") << QByteArray("?")
                                       << QByteArray();
    QTest::newRow("with digest") << QByteArray(32, 'A') + "%1INPT 12" << true << QByteArray("INPT") << QByteArray("12")
                                 << digest;
    QTest::newRow("no header") << QByteArray("POWR 1") << false << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("class 2 header") << QByteArray("%2POWR 1") << true << QByteArray("POWR") << QByteArray("1")
                                    << QByteArray();
    QTest::newRow("class 0 header") << QByteArray("%0POWR 1") << false << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("short digest") << QByteArray(31, 'a') + "%1POWR 1" << false << QByteArray() << QByteArray()
                                  << QByteArray();
    QTest::newRow("no separator") << QByteArray("%1POWR1") << false << QByteArray("POWR") << QByteArray()
                                  << QByteArray();
    QTest::newRow("no parameter") << QByteArray("%1POWR ") << false << QByteArray("POWR") << QByteArray()
                                  << QByteArray();
    QTest::newRow("short body") << QByteArray("%1PO") << false << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("control character") << QByteArray("%1NAME \x1b") << false << QByteArray("NAME") << QByteArray()
                                       << QByteArray();
    QTest::newRow("136 bytes") << QByteArray("%1INFO ") + QByteArray(129, 'X') << true << QByteArray("INFO")
                               << QByteArray(129, 'X') << QByteArray();
    QTest::newRow("137 bytes") << QByteArray("%1INFO ") + QByteArray(130, 'X') << false << QByteArray("INFO")
                               << QByteArray() << QByteArray();
}

void TestHubConfig::requests()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, parsed);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, parameter);
    QFETCH(QByteArray, digest);

    const PjlinkParse parse = parsePjlinkRequest(line);
    QCOMPARE(parse.request.has_value(), parsed);
    QCOMPARE(parse.answerable, !body.isEmpty());
    QCOMPARE(parse.body, body);
    if (parsed) {
        QCOMPARE(parse.request->body, body);
        QCOMPARE(parse.request->parameter, parameter);
        QCOMPARE(parse.request->digest, digest);
    }
}

void TestHubConfig::authentication()
{
    // MD5 of "498e4a67JBMIA", as md5sum computes it.
    const QByteArray digest = pjlinkDigest("498e4a67", "JBMIA");
    QCOMPARE(digest, QByteArray("8a36d09ab68186318cedf79297d3bd47"));
    QVERIFY(digestsMatch(digest, "8a36d09ab68186318cedf79297d3bd47"));
    QVERIFY(!digestsMatch(digest, "8a36d09ab68186318cedf79297d3bd48"));
    QVERIFY(!digestsMatch(digest, digest.chopped(1)));
    QCOMPARE(pjlinkGreeting(QByteArray("498e4a67")), QByteArray("PJLINK 1 498e4a67\r"));
    QCOMPARE(pjlinkGreeting(std::nullopt), QByteArray("PJLINK 0\r"));
    QCOMPARE(pjlinkAnswer("POWR", PjlinkError::Unavailable), QByteArray("%1POWR=ERR3\r"));
}

void TestHubConfig::shareFrames_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArrayList>("pieces"); // frames as sent; "!" for a refusal

    QTest::newRow("two in one chunk") << QByteArrayList{"C00\rCR0\r"} << QByteArrayList{"C00\r", "CR0\r"};
    QTest::newRow("split") << QByteArrayList{"C", "R0", "\r"} << QByteArrayList{"CR0\r"};
    QTest::newRow("256 bytes") << QByteArrayList{QByteArray(255, 'A') + '\r'}
                               << QByteArrayList{QByteArray(255, 'A') + '\r'};
    QTest::newRow("257 bytes") << QByteArrayList{QByteArray(256, 'A') + "\rCR0\r"} << QByteArrayList{"!", "CR0\r"};
    QTest::newRow("flood refused once, then a frame")
        << QByteArrayList{QByteArray(300, 'A'), QByteArray(5000, 'B'), "B\rC01\r"} << QByteArrayList{"!", "C01\r"};
    QTest::newRow("unfinished") << QByteArrayList{"C00"} << QByteArrayList{};
}

void TestHubConfig::shareFrames()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, pieces);

    ShareFraming framing;
    QByteArrayList given;
    for (const QByteArray& chunk : chunks) {
        for (const ShareFraming::Piece& piece : framing.take(chunk))
            given.append(piece.refused ? QByteArray("!") : piece.frame);
    }
    QCOMPARE(given, pieces);
}

void TestHubConfig::httpRequests_data()
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

void TestHubConfig::httpRequests()
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

void TestHubConfig::httpResponses()
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

QTEST_GUILESS_MAIN(TestHubConfig)
#include "tst_hub_config.moc"
