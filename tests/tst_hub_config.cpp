#include "hub/HubConfig.h"

#include <QHostAddress>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <optional>

using namespace orva;
using namespace orva::hub;

// orva-hub's configuration file: what is accepted, and the message for what
// is not.
class TestHubConfig : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void files_data();
    void files();
    void shareAllow_data();
    void shareAllow();
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
    QTest::newRow("PJLink class 2 keys") << OneProjector
            + "serial-number = \"SN 0042\"\nsoftware-version = \"2.10\"\nlamp-model = \"LMP-7\"\n"
              "filter-model = \"\"\ninput-names = { \"11\" = \"Lectern\", \"32\" = \"Kamera über\" }\n"
                                         << privateMode << QString() << QString();
    QTest::newRow("PJLink over UDP") << "pjlink-udp-port = 0\npjlink-notify = [\"10.1.2.3\"]\n" + OneProjector
            + "pjlink-port = 4352\nmac = \"02-1A-2B-3C-4D-5E\"\npjlink-search = false\npjlink-notify = []\n"
                                     << privateMode << QString() << QString();
    QTest::newRow("notification target not IPv4")
        << "pjlink-notify = [\"10.1.2.3\", \"::1\"]\n" + OneProjector << privateMode
        << "cfg.toml:1:30: pjlink-notify: \"::1\" is not an IPv4 address" << QString();
    QTest::newRow("multicast MAC") << OneProjector + "mac = \"01:00:5e:00:00:01\"\n"
                                   << privateMode << "cfg.toml:4:7: mac: \"01:00:5e:00:00:01\": six hex bytes"
                                   << QString();
    QTest::newRow("search without a PJLink door")
        << OneProjector + "pjlink-search = true\n"
        << privateMode << "cfg.toml:4:17: pjlink-search: answers for the PJLink door" << QString();
    QTest::newRow("two projectors, one MAC")
        << OneProjector
            + "mac = \"02:00:00:00:00:01\"\n[[projector]]\nname = \"a102\"\nline = \"/dev/ttyUSB1\"\n"
              "mac = \"02:00:00:00:00:01\"\n"
        << privateMode << "cfg.toml:8:7: mac: 02:00:00:00:00:01 is projector a101's already" << QString();
    QTest::newRow("input name of no input code")
        << OneProjector + "input-names = { \"11\" = \"Lectern\", \"14\" = \"Wall\" }\n"
        << privateMode << "cfg.toml:4:35: input-names: 14 is no input code (11 12 13 21 22 23 31 32)" << QString();
    QTest::newRow("input names as a list")
        << OneProjector + "input-names = [\"Lectern\"]\n"
        << privateMode << "cfg.toml:4:15: input-names: must be a table of input codes" << QString();
    QTest::newRow("serial number longer than PJLink's 32 bytes")
        << OneProjector + "serial-number = \"" + QByteArray(33, 'X') + "\"\n"
        << privateMode << "cfg.toml:4:17: serial-number: at most 32 bytes, printable" << QString();
    QTest::newRow("audit log") << QByteArray("audit-log = \"/var/log/orva/audit.jsonl\"\n") + OneProjector
                               << privateMode << QString() << QString();
    QTest::newRow("audit log not absolute") << QByteArray("audit-log = \"audit.jsonl\"\n") + OneProjector << privateMode
                                            << "cfg.toml:1:13: audit-log: an absolute path" << QString();
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
    const QByteArray e = "\xc3\xa9"; // one character, two bytes
    QTest::newRow("label of 64 characters, 128 bytes")
        << OneProjector + "label = \"" + e.repeated(64) + "\"\ngroups = [\"building-3\", \"lecture-halls\"]\n"
        << privateMode << QString() << QString();
    QTest::newRow("label of 65 characters")
        << OneProjector + "label = \"" + e.repeated(65) + "\"\n"
        << privateMode << "cfg.toml:4:9: label: 65 characters: use 1 to 64" << QString();
    QTest::newRow("label empty") << OneProjector + "label = \"\"\n"
                                 << privateMode << "cfg.toml:4:9: label: 0 characters" << QString();
    QTest::newRow("group of a bad name") << OneProjector + "groups = [\"ok\", \"Building 3\"]\n"
                                         << privateMode << "cfg.toml:4:17: groups: \"Building 3\": use 1 to 32"
                                         << QString();
    QTest::newRow("group all is reserved")
        << OneProjector + "groups = [\"all\"]\n"
        << privateMode << "cfg.toml:4:11: groups: \"all\" is every projector" << QString();
    QTest::newRow("groups not a list") << OneProjector + "groups = \"building-3\"\n"
                                       << privateMode << "cfg.toml:4:10: groups: must be a list" << QString();
    QTest::newRow("group twice") << OneProjector + "groups = [\"b3\", \"b3\"]\n"
                                 << privateMode << "groups: \"b3\" is given twice" << QString();
    QTest::newRow("lamp-rated-hours") << OneProjector + "lamp-rated-hours = 3000\n"
                                      << privateMode << QString() << QString();
    QTest::newRow("lamp-rated-hours zero")
        << OneProjector + "lamp-rated-hours = 0\n"
        << privateMode << "cfg.toml:4:20: lamp-rated-hours: 0 is out of range" << QString();
    QTest::newRow("lamp-rated-hours as text") << OneProjector + "lamp-rated-hours = \"3000\"\n"
                                              << privateMode << "lamp-rated-hours: must be a whole number" << QString();
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
    QTest::newRow("HTTP door off loopback with token, reads open by default")
        << QByteArray("listen = [\"::\"]\nhttp-port = 8352\nhttp-token = \"0123456789abcdef\"\n") + OneProjector
        << privateMode << QString() << "cfg.toml:2:13: http-reads: not set: anybody who reaches :: may read";
    QTest::newRow("world-readable token")
        << QByteArray("http-port = 8352\nhttp-token = \"0123456789abcdef\"\n") + OneProjector << uint(0100604)
        << "cfg.toml: holds a password or token but its mode 0604 lets others read it" << QString();
    QTest::newRow("short token") << QByteArray("http-token = \"secret\"\n") + OneProjector << privateMode
                                 << "cfg.toml:1:14: http-token: 16 to 256 printable ASCII characters" << QString();
    QTest::newRow("token of few characters")
        << QByteArray("http-token = \"abababababababab1234\"\n") + OneProjector << privateMode
        << "cfg.toml:1:14: http-token: 16 to 256 printable ASCII characters, no blanks, at least 8 of them different"
        << QString();
    // Secret files the rows name in @DIR@: good.token (0600), open.token
    // (0644) and weak.token (0600, "aaaa...").
    const auto token = [](const char* name, const char* role, const QByteArray& secret) {
        return QByteArray("[[token]]\nname = \"") + name + "\"\nrole = \"" + role + "\"\n" + secret + '\n';
    };
    const QByteArray httpToken = "http-port = 8352\nhttp-token = \"0123456789abcdef\"\n";
    QTest::newRow("tokens of each role, one in a file, reads need one")
        << QByteArray("listen = [\"::\"]\nhttp-reads = \"token\"\n") + httpToken + OneProjector
            + token("prometheus", "viewer", "secret-file = \"@DIR@/good.token\"")
            + token("room-101", "operator", "secret = \"room-0123456789ab\"")
            + token("av", "admin", "secret = \"admin-0123456789\"")
        << privateMode << QString() << QString();
    QTest::newRow("token file readable by others")
        << OneProjector + token("p", "viewer", "secret-file = \"@DIR@/open.token\"") << privateMode
        << "cfg.toml:7:15: secret-file: @DIR@/open.token: its mode 0644 lets others read it" << QString();
    QTest::newRow("token file of a weak token")
        << OneProjector + token("p", "viewer", "secret-file = \"@DIR@/weak.token\"") << privateMode
        << "secret-file: @DIR@/weak.token: holds no token: 16 to 256" << QString();
    QTest::newRow("token file a directory") << OneProjector + token("p", "viewer", "secret-file = \"@DIR@\"")
                                            << privateMode << "secret-file: @DIR@: not a regular file" << QString();
    QTest::newRow("token file missing") << OneProjector + token("p", "viewer", "secret-file = \"@DIR@/none\"")
                                        << privateMode << "secret-file: @DIR@/none: No such file or directory"
                                        << QString();
    QTest::newRow("token file not absolute") << OneProjector + token("p", "viewer", "secret-file = \"p.token\"")
                                             << privateMode << "secret-file: an absolute path" << QString();
    QTest::newRow("token file only: the configuration may be read")
        << OneProjector + token("p", "viewer", "secret-file = \"@DIR@/good.token\"") << uint(0100644) << QString()
        << QString();
    QTest::newRow("token secret: the configuration may not be read")
        << OneProjector + token("p", "viewer", "secret = \"room-0123456789ab\"") << uint(0100644)
        << "cfg.toml: holds a password or token but its mode 0644" << QString();
    QTest::newRow("token with secret and file")
        << OneProjector + token("p", "viewer", "secret = \"room-0123456789ab\"\nsecret-file = \"/x\"") << privateMode
        << "cfg.toml:8:15: secret-file: give secret or secret-file, not both" << QString();
    QTest::newRow("token without a secret") << OneProjector + token("p", "viewer", "") << privateMode
                                            << "cfg.toml:4:1: secret: missing in [[token]]" << QString();
    QTest::newRow("token of a weak secret") << OneProjector + token("p", "viewer", "secret = \"aaaaaaaaaaaaaaaa\"")
                                            << privateMode << "cfg.toml:7:10: secret: 16 to 256" << QString();
    QTest::newRow("token of an unknown role")
        << OneProjector + token("p", "root", "secret = \"room-0123456789ab\"") << privateMode
        << "cfg.toml:6:8: role: \"viewer\", \"operator\" or \"admin\"" << QString();
    QTest::newRow("token without a role") << OneProjector + "[[token]]\nname = \"p\"\nsecret = \"room-0123456789ab\"\n"
                                          << privateMode << "cfg.toml:4:1: role: missing in [[token]]" << QString();
    QTest::newRow("token of an unknown key")
        << OneProjector + token("p", "viewer", "secret = \"room-0123456789ab\"\nrights = \"all\"") << privateMode
        << "cfg.toml:8:1: rights: unknown key in [[token]]" << QString();
    QTest::newRow("token named local") << OneProjector + token("local", "viewer", "secret = \"room-0123456789ab\"")
                                       << privateMode << "cfg.toml:5:8: name: \"local\" is who acts" << QString();
    QTest::newRow("token named default beside http-token")
        << httpToken + OneProjector + token("default", "admin", "secret = \"room-0123456789ab\"") << privateMode
        << "cfg.toml:7:8: name: \"default\" is http-token's holder already" << QString();
    QTest::newRow("token named default, no http-token")
        << OneProjector + token("default", "admin", "secret = \"room-0123456789ab\"") << privateMode << QString()
        << QString();
    QTest::newRow("two tokens of one name")
        << OneProjector + token("p", "viewer", "secret = \"room-0123456789ab\"")
            + token("p", "admin", "secret = \"admin-0123456789\"")
        << privateMode << "cfg.toml:9:8: name: \"p\" names another token already" << QString();
    QTest::newRow("two tokens of one secret, one in a file")
        << OneProjector + token("p", "viewer", "secret = \"0123456789abcdefXYZ\"")
            + token("q", "admin", "secret-file = \"@DIR@/good.token\"")
        << privateMode << "cfg.toml:11:15: secret-file: the same secret as token \"p\"" << QString();
    QTest::newRow("a token of the http-token's secret")
        << httpToken + OneProjector + token("p", "viewer", "secret = \"0123456789abcdef\"") << privateMode
        << "cfg.toml:9:10: secret: the same secret as http-token" << QString();
    QTest::newRow("reads need a token, there is none")
        << QByteArray("http-port = 8352\nhttp-reads = \"token\"\n") + OneProjector << privateMode
        << "cfg.toml:2:14: http-reads: \"token\" needs http-token or a [[token]]" << QString();
    QTest::newRow("reads of another kind") << QByteArray("http-reads = \"closed\"\n") + OneProjector << privateMode
                                           << "cfg.toml:1:14: http-reads: \"open\" or \"token\"" << QString();
    QTest::newRow("HTTP door off loopback, a viewer's token alone")
        << QByteArray("listen = [\"::\"]\nhttp-port = 8352\nhttp-reads = \"open\"\n") + OneProjector
            + token("p", "viewer", "secret = \"room-0123456789ab\"")
        << privateMode << QString() << QString();
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
    const auto schedule = [](const char* at, const char* action, const char* targets) {
        return QByteArray("[[schedule]]\nname = \"off\"\nat = \"") + at + "\"\naction = \"" + action
            + "\"\ntargets = " + targets + "\n";
    };
    QTest::newRow("schedule") << QByteArray("timezone = \"Europe/Berlin\"\n") + OneProjector
            + schedule("Mon..Fri 22:00", "power-off", "[\"a101\"]") + "enabled = false\n"
                              << privateMode << QString() << QString();
    QTest::newRow("schedule at: the column inside the string")
        << OneProjector + schedule("Mon..Fri 25:00", "power-off", "[\"all\"]") << privateMode
        << "cfg.toml:6:16: at: \"Mon..Fri 25:00\": 25 is out of range" << QString();
    QTest::newRow("schedule of an unknown action")
        << OneProjector + schedule("daily", "power-of", "[\"all\"]") << privateMode
        << "cfg.toml:7:10: action: \"power-of\" is not an action" << QString();
    QTest::newRow("schedule for an unknown projector")
        << OneProjector + schedule("daily", "power-off", "[\"a101\", \"a102\"]") << privateMode
        << "cfg.toml:8:20: targets: no projector named \"a102\"" << QString();
    QTest::newRow("schedule for a group nobody is in")
        << OneProjector + schedule("daily", "power-off", "[\"group:hall\"]") << privateMode
        << "targets: no projector is in group \"hall\"" << QString();
    QTest::newRow("schedule for all and more") << OneProjector + schedule("daily", "power-off", "[\"all\", \"a101\"]")
                                               << privateMode << "targets: \"all\" stands alone" << QString();
    QTest::newRow("two schedules of one name")
        << OneProjector + schedule("daily", "power-off", "[\"all\"]") + schedule("hourly", "power-on", "[\"all\"]")
        << privateMode << "cfg.toml:10:8: name: \"off\" names another schedule already" << QString();
    QTest::newRow("schedule without a time")
        << OneProjector + "[[schedule]]\nname = \"off\"\naction = \"power-off\"\ntargets = [\"all\"]\n"
        << privateMode << "at: missing in [[schedule]]" << QString();
    QTest::newRow("unknown time zone") << QByteArray("timezone = \"Europe/Bonn\"\n") + OneProjector << privateMode
                                       << "cfg.toml:1:12: timezone: \"Europe/Bonn\" is not a time zone" << QString();
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
    for (const auto& [name, content, permissions] : {std::tuple{"good.token", "0123456789abcdefXYZ\n", 0600},
             std::tuple{"open.token", "0123456789abcdefXYZ\n", 0644},
             std::tuple{"weak.token", "aaaaaaaaaaaaaaaaaa", 0600}}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) > 0);
        file.close();
        QVERIFY(::chmod(QFile::encodeName(file.fileName()).constData(), mode_t(permissions)) == 0);
    }
    text.replace("@DIR@", QFile::encodeName(dir.path()));
    error.replace(QLatin1String("@DIR@"), dir.path());
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

QTEST_GUILESS_MAIN(TestHubConfig)
#include "tst_hub_config.moc"
