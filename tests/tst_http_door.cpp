#include "FakeSerialLine.h"
#include "PollRound.h"
#include "VirtualClock.h"
#include "hub/GuessGuard.h"
#include "hub/HttpApi.h"
#include "hub/HttpSession.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/Projector.h"
#include "hub/Scheduler.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace orva;
using namespace orva::hub;

namespace {

// 2026-12-07T12:00:00Z, when the virtual clock starts.
constexpr std::int64_t Epoch = 1796644800000;
const QString Token = QStringLiteral("0123456789abcdef");

QByteArray post(const QByteArray& path, const QByteArray& headers, const QByteArray& body = QByteArray())
{
    return "POST " + path + " HTTP/1.1\r\nHost: hub\r\n" + headers
        + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray withToken(const QByteArray& path, const QByteArray& body = QByteArray())
{
    return post(path, "Authorization: Bearer " + Token.toLatin1() + "\r\nContent-Type: application/json\r\n", body);
}

QByteArray get(const QByteArray& path, const QByteArray& headers = QByteArray())
{
    return "GET " + path + " HTTP/1.1\r\nHost: hub\r\n" + headers + "\r\n";
}

// The named tokens beside http-token, by role.
const QByteArray Viewer = "viewer-0123456789";
const QByteArray Operator = "operator-0123456789";
const QByteArray Admin = "admin-0123456789";

QByteArray bearer(const QByteArray& secret)
{
    return "Authorization: Bearer " + secret + "\r\n";
}

} // namespace

// An HTTP connection to the hub's door for one projector on a fake line,
// on the virtual clock. Steps: "> BYTES" the client sends, "< CHARS" the
// projector sends, "+MS" time passes, "lost" the line goes away, "poll" the
// poller's round is answered (standby, PC1, no mute, 1234 hours, lamp off,
// three temperatures, TK600), "unanswered" the poller runs and nothing
// answers it, "retoken" a reload gives the hub another token and takes its
// named ones, "reads-token" reads need a token, "removed" a reload serves
// the projector no longer. What the
// client receives, then "audit:" and the audit lines when there are any,
// is checked for fragments in order; "!FRAGMENT" must not be there at all.
class HttpDoorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scenario_data();
    void scenario();
};

void HttpDoorTest::scenario_data()
{
    QTest::addColumn<QList<QByteArray>>("steps");
    QTest::addColumn<QString>("frames"); // what went out on the line after the poll round
    QTest::addColumn<QStringList>("received");
    QTest::addColumn<QString>("closed"); // why, or empty

    const QByteArray powerOn = "/api/projectors/a101/actions/power-on";
    QTest::newRow("power on with the token")
        << QList<QByteArray>{"> " + withToken(powerOn), "< \x06"} << "C00"
        << QStringList{"HTTP/1.1 200 OK", "Cache-Control: no-store", "\"action\":\"power-on\"", "\"code\":\"C00\"",
               "\"error\":null", "\"ok\":true", "audit:",
               QStringLiteral(
                   "\"projector\":\"a101\",\"door\":\"http\",\"peer\":\"192.0.2.7:4000\",\"who\":\"default\","
                   "\"code\":\"C00\",\"action\":\"power-on\",\"outcome\":\"ok\",\"error_kind\":null,\"ms\":1}")}
        << "";
    QTest::newRow("no token") << QList<QByteArray>{"> " + post(powerOn, "")} << ""
                              << QStringList{"HTTP/1.1 401 Unauthorized", "WWW-Authenticate: Bearer"} << "";
    QTest::newRow("wrong token") << QList<QByteArray>{"> "
        + post(powerOn, "Authorization: Bearer 0123456789abcdeF\r\n")}
                                 << "" << QStringList{"HTTP/1.1 401 Unauthorized"} << "";
    QTest::newRow("scheme in lower case")
        << QList<QByteArray>{"> " + post(powerOn, "Authorization: bearer " + Token.toLatin1() + "\r\n"), "< \x06"}
        << "C00" << QStringList{"HTTP/1.1 200 OK", "\"ok\":true"} << "";
    const QByteArray wrong = "> " + post(powerOn, "Authorization: Bearer 0123456789abcdeF\r\n");
    QTest::newRow("five wrong tokens: the right one waits 10 s, uncompared")
        << QList<QByteArray>{wrong, wrong, wrong, wrong, wrong, "+9980", "> " + withToken(powerOn), "+30",
               "> " + withToken(powerOn), "< \x06"}
        << "C00"
        << QStringList{"401", "401", "401", "401", "401", "HTTP/1.1 429 Too Many Requests", "Retry-After: 1\r\n",
               "HTTP/1.1 200 OK", "\"ok\":true"}
        << "";
    QTest::newRow("a viewer's reads do not wipe wrong guesses")
        << QList<QByteArray>{"reads-token", wrong, wrong, wrong, wrong, "> " + get("/api/groups", bearer(Viewer)),
               wrong, "> " + post(powerOn, bearer(Operator))}
        << "" << QStringList{"401", "401", "401", "401", "200 OK", "401", "429 Too Many Requests"} << "";
    QTest::newRow("token in another scheme")
        << QList<QByteArray>{"> " + post(powerOn, "Authorization: Basic " + Token.toLatin1() + "\r\n")} << ""
        << QStringList{"HTTP/1.1 401 Unauthorized"} << "";
    QTest::newRow("from another site") << QList<QByteArray>{"> "
        + post(powerOn, "Origin: http://evil.example\r\nAuthorization: Bearer " + Token.toLatin1() + "\r\n")}
                                       << "" << QStringList{"HTTP/1.1 403 Forbidden"} << "";
    QTest::newRow("from the panel's own page") << QList<QByteArray>{"> "
            + post(powerOn, "Origin: http://hub\r\nAuthorization: Bearer " + Token.toLatin1() + "\r\n"),
        "< \x06"} << "C00" << QStringList{"HTTP/1.1 200 OK", "\"ok\":true"}
                                               << "";
    QTest::newRow("no token kept: asked on the hub's own machine")
        << QList<QByteArray>{"tokenless",
               "> POST /api/projectors/a101/actions/power-on HTTP/1.1\r\nHost: [::1]:8352\r\n\r\n", "< \x06"}
        << "C00" << QStringList{"HTTP/1.1 200 OK", "\"ok\":true", "audit:", "\"who\":\"local\""} << "";
    QTest::newRow("no token kept: asked by another name")
        << QList<QByteArray>{"tokenless", "> " + post(powerOn, "")} << ""
        << QStringList{"HTTP/1.1 403 Forbidden", "asked as 127.0.0.1"} << "";
    QTest::newRow("no token kept: read by another name")
        << QList<QByteArray>{"tokenless", "> " + get("/api/projectors"), "> " + get("/")} << ""
        << QStringList{"HTTP/1.1 403 Forbidden", "HTTP/1.1 403 Forbidden", "!\"projectors\"", "!<html"} << "";
    QTest::newRow("the token changed by a reload")
        << QList<QByteArray>{"retoken", "> " + withToken(powerOn),
               "> " + post(powerOn, "Authorization: Bearer fedcba9876543210\r\n"), "< \x06"}
        << "C00" << QStringList{"HTTP/1.1 401 Unauthorized", "HTTP/1.1 200 OK"} << "";
    QTest::newRow("the projector removed by a reload, an action waiting")
        << QList<QByteArray>{"> " + withToken(powerOn), "removed", "< \x06"} << "C00"
        << QStringList{"HTTP/1.1 503 Service Unavailable", "no longer served", "!200 OK"} << "";
    QTest::newRow("unknown action") << QList<QByteArray>{"> " + withToken("/api/projectors/a101/actions/power-up")}
                                    << "" << QStringList{"404 Not Found", "no action named 'power-up'"} << "";
    QTest::newRow("unknown projector") << QList<QByteArray>{"> " + withToken("/api/projectors/a999/actions/power-on"),
        "> " + get("/api/projectors/a999")}
                                       << ""
                                       << QStringList{"404 Not Found", "no projector named 'a999'", "404 Not Found",
                                              "no projector named 'a999'"}
                                       << "";
    QTest::newRow("query action") << QList<QByteArray>{"> " + withToken("/api/projectors/a101/actions/lamp-hours"),
        "< 01234\r"} << "CR3" << QStringList{"200 OK", "\"ok\":true", "\"value\":1234", "!audit:"}
                                  << "";
    QTest::newRow("refused") << QList<QByteArray>{"> " + withToken(powerOn), "< \x15"} << "C00"
                             << QStringList{"200 OK", "\"error\":\"refused (NAK)\"", "\"ok\":false",
                                    "audit:", "\"outcome\":\"nak\""}
                             << "";
    QTest::newRow("free command") << QList<QByteArray>{"> "
            + post("/api/projectors/a101/send", bearer(Admin), R"({"code":"CR3"})"),
        "< 01234\r"} << "CR3" << QStringList{"200 OK", "\"action\":null", "\"ok\":true", "\"value\":1234", "!audit:"}
                                  << "";
    QTest::newRow("free command, bad JSON")
        << QList<QByteArray>{"> " + post("/api/projectors/a101/send", bearer(Admin), R"({"code":)")} << ""
        << QStringList{"400 Bad Request", "not a JSON object"} << "";
    QTest::newRow("free command, an array")
        << QList<QByteArray>{"> " + post("/api/projectors/a101/send", bearer(Admin), R"(["CR3"])")} << ""
        << QStringList{"400 Bad Request", "not a JSON object", "!no error occurred"} << "";
    QTest::newRow("free command with a carriage return")
        << QList<QByteArray>{"> " + post("/api/projectors/a101/send", bearer(Admin), R"({"code":"C00\rC01"})")} << ""
        << QStringList{"400 Bad Request", "printable ASCII"} << "";
    QTest::newRow("free command too long") << QList<QByteArray>{"> "
        + post("/api/projectors/a101/send", bearer(Admin), "{\"code\":\"" + QByteArray(65, 'C') + "\"}")}
                                           << "" << QStringList{"400 Bad Request"} << "";
    QTest::newRow("line down") << QList<QByteArray>{"lost", "> " + withToken(powerOn)} << ""
                               << QStringList{"503 Service Unavailable", "\"error_kind\":\"lost\"", "\"ok\":false",
                                      "audit:", "\"outcome\":\"error\",\"error_kind\":\"lost\",\"ms\":0}"}
                               << "";
    QTest::newRow("no reply") << QList<QByteArray>{"> " + withToken(powerOn), "+500"} << "C00"
                              << QStringList{"504 Gateway Timeout", "\"error_kind\":\"no-answer\"",
                                     "audit:", "\"outcome\":\"no-answer\",\"error_kind\":\"no-answer\",\"ms\":500}"}
                              << "";
    QTest::newRow("wrong method") << QList<QByteArray>{"> " + get(powerOn), "> " + post("/metrics", "")} << ""
                                  << QStringList{"405 Method Not Allowed", "Allow: POST", "405", "Allow: GET, HEAD"}
                                  << "";
    QTest::newRow("cached state, each with its time")
        << QList<QByteArray>{"poll", "> " + get("/api/projectors")} << ""
        << QStringList{"200 OK",
               QStringLiteral("\"line_error\":null,\"line_open\":true,\"name\":\"a101\","
                              "\"read_at\":\"2026-12-07T12:00:00.007Z\",\"up\":true"),
               QStringLiteral("\"lamp_hours\":{\"read_at\":\"2026-12-07T12:00:00.004Z\","
                              "\"since\":\"2026-12-07T12:00:00.004Z\",\"value\":1234}"),
               QStringLiteral(
                   "\"power_state\":{\"fault\":\"none\",\"phase\":\"standby\",\"read_at\":\"2026-12-07T12:00:00.001Z\","
                   "\"since\":\"2026-12-07T12:00:00.001Z\",\"state\":\"standby\",\"value\":\"standby\"}"),
               QStringLiteral("\"temperatures\":{\"read_at\":\"2026-12-07T12:00:00.006Z\","
                              "\"since\":\"2026-12-07T12:00:00.006Z\",\"value\":[25,26,27]}"),
               "!\"orientation\""}
        << "";
    QTest::newRow("cooling down after a temperature fault: a phase and a fault")
        << QList<QByteArray>{"> " + get("/api/projectors/a101"), "poll", "+5000", "< 28\r",
               "> " + get("/api/projectors/a101")}
        << "CR0 CR1"
        << QStringList{"\"power_state\":{\"fault\":\"temperature_error\",\"phase\":\"cooling\",\"read_at\":",
               "\"state\":\"temperature_shutdown\",\"value\":\"temperature-warning-cooling\"}"}
        << "";
    QTest::newRow("schedules, and their next runs in the metrics")
        << QList<QByteArray>{"scheduled", "> " + get("/api/schedules"), "> " + get("/metrics")} << ""
        << QStringList{"200 OK", "{\"schedules\":[{\"action\":\"power-off\",\"at\":\"Mon..Fri 22:00\"",
               "\"last\":null,\"name\":\"off\",\"next\":\"2026-12-07T22:00:00+01:00\",\"targets\":[\"all\"]}]}",
               "orva_schedule_runs_total{schedule=\"off\",outcome=\"ok\"} 0",
               "orva_schedule_next_run_timestamp_seconds{schedule=\"off\"} 1796677200"}
        << "";
    QTest::newRow("nothing read yet") << QList<QByteArray>{"> " + get("/api/projectors/a101")} << ""
                                      << QStringList{"200 OK", "\"up\":false", "\"values\":{}"} << "";
    QTest::newRow("metrics") << QList<QByteArray>{"poll", "> " + get("/metrics")} << ""
                             << QStringList{"Content-Type: text/plain; version=0.0.4",
                                    "orva_projector_up{projector=\"a101\"} 1",
                                    "orva_projector_info{projector=\"a101\",model=\"TK600\",line=\"/dev/null\"} 1",
                                    "orva_projector_power_state{projector=\"a101\",state=\"standby\"} 1",
                                    "orva_projector_power_state{projector=\"a101\",state=\"on\"} 0",
                                    "orva_projector_input{projector=\"a101\",input=\"pc1\"} 1",
                                    "orva_projector_muted{projector=\"a101\",kind=\"sound\"} 0",
                                    "orva_projector_lamp_seconds_total{projector=\"a101\"} 4442400",
                                    "orva_projector_lamp_on{projector=\"a101\"} 0",
                                    "orva_projector_temperature_celsius{projector=\"a101\",sensor=\"3\"} 27",
                                    "orva_projector_last_poll_timestamp_seconds{projector=\"a101\"} 1796644800.007",
                                    "orva_hub_frames_total{projector=\"a101\",door=\"poll\"} 7",
                                    "orva_hub_frames_total{projector=\"a101\",door=\"http\"} 0"}
                             << "";
    QTest::newRow("metrics before any answer")
        << QList<QByteArray>{"unanswered", "+500", "> " + get("/metrics")} << "CR0"
        << QStringList{"orva_projector_up{projector=\"a101\"} 0", "orva_hub_reply_timeouts_total{projector=\"a101\"} 1",
               "orva_hub_late_characters_dropped_total{projector=\"a101\"} 0", "!orva_projector_lamp_seconds_total{",
               "!orva_projector_power_state{"}
        << "";
    const QStringList noValues{"!orva_projector_power_state{", "!orva_projector_input{", "!orva_projector_muted{",
        "!orva_projector_lamp_seconds_total{", "!orva_projector_lamp_on{", "!orva_projector_temperature_celsius{"};
    QTest::newRow("metrics once the line is down: no values")
        << QList<QByteArray>{"poll", "lost", "> " + get("/metrics")} << ""
        << QStringList{"orva_projector_up{projector=\"a101\"} 0",
               "orva_projector_last_poll_timestamp_seconds{projector=\"a101\"} 1796644800.007"}
            + noValues
        << "";
    QTest::newRow("metrics once polls go unanswered: no values")
        << QList<QByteArray>{"poll", "> " + get("/favicon.ico"), "+5600", "> " + get("/metrics")} << "CR0"
        << QStringList{"orva_projector_up{projector=\"a101\"} 0"} + noValues << "";
    QTest::newRow("metrics rendered again a moment later")
        << QList<QByteArray>{"> " + get("/metrics"), "poll", "+250", "> " + get("/metrics")} << ""
        << QStringList{"orva_projector_up{projector=\"a101\"} 0", "orva_projector_up{projector=\"a101\"} 1",
               "orva_projector_lamp_seconds_total{projector=\"a101\"} 4442400"}
        << "";
    QTest::newRow("events: snapshot, then each change")
        << QList<QByteArray>{"> " + get("/api/events"), "poll", "+15000"} << "CR0 CR0 CR0"
        << QStringList{"Content-Type: text/event-stream", "event: snapshot\ndata: {\"projectors\":[{",
               QStringLiteral(
                   "event: value\ndata: "
                   "{\"fault\":\"none\",\"name\":\"power_state\",\"phase\":\"standby\",\"projector\":\"a101\""),
               "event: line\ndata: {\"line_error\":null,\"line_open\":true,\"projector\":\"a101\",\"up\":true}",
               "event: value\ndata: {\"name\":\"model\",\"projector\":\"a101\",\"read_at\":",
               "event: read\ndata: {\"projector\":\"a101\",\"read_at\":\"2026-12-07T12:00:00.008Z\"}",
               ": keep-alive\n\n"}
        << "";
    const QByteArray groupOff = "/api/groups/building-3/actions/power-off";
    QTest::newRow("groups and labels")
        << QList<QByteArray>{"fleet", "> " + get("/api/groups"), "> " + get("/api/projectors/a101")} << ""
        << QStringList{"{\"groups\":[{\"name\":\"all\",\"projectors\":[\"a101\",\"b202\"]},{\"name\":\"building-3\","
                       "\"projectors\":[\"a101\",\"b202\"]},{\"name\":\"lecture-halls\",\"projectors\":[\"b202\"]}]}",
               "\"groups\":[\"building-3\"],\"label\":\"Hörsaal <b>1</b>\",\"lamp_rated_hours\":3000,"}
        << "";
    QTest::newRow("group action, all ok")
        << QList<QByteArray>{"fleet", "> " + withToken(groupOff), "<b \x06", "< \x06"} << "C01"
        << QStringList{QStringLiteral(
                           "event: group-result\ndata: {\"action\":\"power-off\",\"error\":null,\"error_kind\":null,"
                           "\"group\":\"building-3\",\"ms\":1,\"ok\":true,\"projector\":\"b202\"}"),
               "event: group-result", "\"projector\":\"a101\"}", "HTTP/1.1 200 OK",
               QStringLiteral(
                   "{\"action\":\"power-off\",\"group\":\"building-3\",\"results\":[{\"error\":null,\"error_kind\":"
                   "null,"
                   "\"ms\":2,\"ok\":true,\"projector\":\"a101\"},{\"error\":null,\"error_kind\":null,\"ms\":1,"
                   "\"ok\":true,\"projector\":\"b202\"}]}")}
        << "";
    QTest::newRow("an action acknowledged: what it changes read back and told at once")
        << QList<QByteArray>{"fleet", "poll", "> " + withToken(powerOn), "< \x06", "< 40\r", "< 27.0,28.0,29.0\r",
               "< 00\r", "< 01\r"}
        << "C00 CR0 CR6 CRA CR7"
        << QStringList{"\"ok\":true",
               "event: value\ndata: {\"fault\":\"none\",\"name\":\"power_state\",\"phase\":\"warming\"",
               "event: value\ndata: {\"name\":\"temperatures\"",
               "event: value\ndata: {\"lit\":true,\"name\":\"lamp_mode\"",
               "event: read\ndata: {\"projector\":\"a101\",\"read_at\":\"2026-12-07T12:00:00.013Z\"}"}
        << "";
    QTest::newRow("group action, one NAK")
        << QList<QByteArray>{"fleet", "> " + withToken(groupOff), "< \x06", "<b \x15"} << "C01"
        << QStringList{"HTTP/1.1 200 OK", "\"ok\":true,\"projector\":\"a101\"",
               "\"error\":\"refused (NAK)\",\"error_kind\":null,\"ms\":2,\"ok\":false,\"projector\":\"b202\""}
        << "";
    QTest::newRow("group action, one line down, told why")
        << QList<QByteArray>{"fleet", "lost b", "> " + withToken("/api/groups/all/actions/power-off"), "< \x06"}
        << "C01"
        << QStringList{QStringLiteral("event: line\ndata: {\"line_error\":{\"kind\":\"lost\",\"text\":\"gone\"},"
                                      "\"line_open\":false,\"projector\":\"b202\",\"up\":false}"),
               "\"error_kind\":\"lost\",\"group\":\"all\",\"ms\":null,\"ok\":false,\"projector\":\"b202\"",
               "\"ok\":true,\"projector\":\"a101\"}", "HTTP/1.1 200 OK", "\"group\":\"all\""}
        << "";
    QTest::newRow("group action, a member removed by a reload")
        << QList<QByteArray>{"fleet", "> " + withToken(groupOff), "< \x06", "removed"} << "C01"
        << QStringList{"HTTP/1.1 200 OK", "\"ok\":true,\"projector\":\"a101\"", "no longer served", "!503"} << "";
    QTest::newRow("group action, unknown group or action")
        << QList<QByteArray>{"fleet", "> " + withToken("/api/groups/building-9/actions/power-off"),
               "> " + withToken("/api/groups/building-3/actions/power-up")}
        << "" << QStringList{"404 Not Found", "no group named 'building-9'", "404", "no action named 'power-up'"} << "";
    QTest::newRow("group action, no token or another site") << QList<QByteArray>{"fleet", "> " + post(groupOff, ""),
        "> " + post(groupOff, "Origin: http://evil.example\r\nAuthorization: Bearer " + Token.toLatin1() + "\r\n")}
                                                            << ""
                                                            << QStringList{"401 Unauthorized", "403 Forbidden",
                                                                   "!group-result"}
                                                            << "";
    QTest::newRow("group metrics") << QList<QByteArray>{"fleet", "> " + get("/metrics")} << ""
                                   << QStringList{"orva_projector_group{projector=\"a101\",group=\"building-3\"} 1",
                                          "orva_projector_group{projector=\"b202\",group=\"building-3\"} 1",
                                          "orva_projector_group{projector=\"b202\",group=\"lecture-halls\"} 1"}
                                   << "";
    const QByteArray send = "/api/projectors/a101/send";
    const QByteArray mayNot = "{\"error\":\"the token \\\"prometheus\\\" has the role viewer; this needs operator "
                              "or more\",\"needs\":\"operator\",\"role\":\"viewer\",\"token\":\"prometheus\"}";
    QTest::newRow("viewer: reads; may not act, on a group or send")
        << QList<QByteArray>{"fleet", "> " + get("/api/groups", bearer(Viewer)), "> " + post(powerOn, bearer(Viewer)),
               "> " + post(groupOff, bearer(Viewer)), "> " + post(send, bearer(Viewer), R"({"code":"C00"})")}
        << ""
        << QStringList{"200 OK", "\"building-3\"", "403 Forbidden", mayNot, "403 Forbidden", mayNot, "403 Forbidden",
               "\"needs\":\"admin\",\"role\":\"viewer\"", "!group-result", "!audit:"}
        << "";
    QTest::newRow("operator: acts on a projector and a group; may not send")
        << QList<QByteArray>{"fleet", "> " + post(powerOn, bearer(Operator)), "< \x06",
               "> " + post(send, bearer(Operator), R"({"code":"C00"})"), "> " + post(groupOff, bearer(Operator)),
               "< \x06", "<b \x06"}
        << "C00 C01"
        << QStringList{"200 OK", "403 Forbidden", "\"needs\":\"admin\",\"role\":\"operator\",\"token\":\"room-101\"",
               "HTTP/1.1 200 OK", "\"group\":\"building-3\"",
               "audit:", "\"door\":\"http\",\"peer\":\"192.0.2.7:4000\",\"who\":\"room-101\",\"code\":\"C00\"",
               "\"door\":\"group\",\"peer\":\"192.0.2.7:4000\",\"who\":\"room-101\",\"code\":\"C01\""}
        << "";
    QTest::newRow("admin: sends a free code")
        << QList<QByteArray>{"> " + post(send, bearer(Admin), R"({"code":"C00"})"), "< \x06"} << "C00"
        << QStringList{"200 OK", "\"ok\":true", "audit:", "\"who\":\"av-admin\",\"code\":\"C00\""} << "";
    QTest::newRow("reads need a token, but not the page's files")
        << QList<QByteArray>{"reads-token", "> " + get("/"), "> HEAD /panel.js HTTP/1.1\r\nHost: hub\r\n\r\n",
               "> " + get("/api/projectors"), "> " + get("/api/events"), "> " + get("/metrics", bearer("x" + Viewer)),
               "> " + get("/metrics", bearer(Viewer))}
        << ""
        << QStringList{"200 OK", "<html", "200 OK", "401 Unauthorized", "401 Unauthorized", "401 Unauthorized",
               "200 OK", "orva_projector_up{projector=\"a101\"} 0", "!text/event-stream"}
        << "";
    QTest::newRow("reads need a token: the stream ends when its token goes")
        << QList<QByteArray>{"reads-token", "> " + get("/api/events", bearer(Viewer)), "retoken"} << ""
        << QStringList{"text/event-stream", "event: snapshot"} << "closed: no longer admitted after a reload";
    QTest::newRow("reads open: a stream outlives its token")
        << QList<QByteArray>{"> " + get("/api/events", bearer(Viewer)), "retoken"} << ""
        << QStringList{"text/event-stream"} << "";
    QTest::newRow("the page, with its policy")
        << QList<QByteArray>{"> " + get("/")} << ""
        << QStringList{"200 OK", "Content-Type: text/html; charset=utf-8",
               "Content-Security-Policy: default-src 'none'; script-src 'self';", "<html"}
        << "";
    QTest::newRow("no answer sniffed") << QList<QByteArray>{"> " + get("/panel.js"), "> " + get("/nowhere"),
        "> " + get("/api/events")} << ""
                                       << QStringList{"200 OK", "X-Content-Type-Options: nosniff", "404 Not Found",
                                              "X-Content-Type-Options: nosniff", "text/event-stream",
                                              "X-Content-Type-Options: nosniff"}
                                       << "";
    QTest::newRow("no files beyond the page")
        << QList<QByteArray>{"> " + get("/../../etc/passwd"), "> " + get("/index.html")} << ""
        << QStringList{"400 Bad Request", "404 Not Found"} << "";
    QTest::newRow("two requests in one chunk")
        << QList<QByteArray>{"> " + get("/api/projectors/a101") + get("/nowhere")} << ""
        << QStringList{"200 OK", "404 Not Found"} << "";
    QTest::newRow("connection: close") << QList<QByteArray>{"> " + get("/api/projectors", "Connection: close\r\n")}
                                       << "" << QStringList{"200 OK", "Connection: close"}
                                       << "closed after the response";
    QTest::newRow("malformed") << QList<QByteArray>{"> GARBAGE\r\n\r\n"} << "" << QStringList{"400 Bad Request"}
                               << "refused: 400";
    QTest::newRow("body too large")
        << QList<QByteArray>{"> POST /api/projectors/a101/send HTTP/1.1\r\nHost: hub\r\nContent-Length: 5000\r\n\r\n"}
        << "" << QStringList{"413 "} << "refused: 413";
    QTest::newRow("request trickling in")
        << QList<QByteArray>{"> GET / HTTP/1.1\r\n", "+2000", "> H", "+2000", "> o", "+997", "> s", "+1"} << ""
        << QStringList{"408 Request Timeout"} << "refused: 408";
    QTest::newRow("new connection saying nothing")
        << QList<QByteArray>{"+4999", "+1"} << "" << QStringList{"!HTTP"} << "closed: nothing asked within 5 s";
    QTest::newRow("idle") << QList<QByteArray>{"> " + get("/api/projectors"), "+29999", "+1"} << ""
                          << QStringList{"200 OK", "!408"} << "closed: idle for 30 s";
}

void HttpDoorTest::scenario()
{
    QFETCH(QList<QByteArray>, steps);

    VirtualClock clock;
    const HubLog log;
    ProjectorConfig config;
    config.name = QStringLiteral("a101");
    config.line = QStringLiteral("/dev/null");
    config.groups = QStringList{QStringLiteral("building-3")};
    config.label = QStringLiteral("Hörsaal <b>1</b>");
    config.lampRatedHours = 3000;
    auto owned = std::make_unique<FakeSerialLine>();
    FakeSerialLine& line = *owned;
    // "unanswered": the poller runs, and nothing answers it.
    const bool polls = steps.contains("poll") || steps.contains("unanswered");
    Projector projector(config, polls ? 5000 : 0, 500, std::move(owned), clock, log);
    projector.start();
    ProjectorConfig second;
    second.name = QStringLiteral("b202");
    second.line = QStringLiteral("/dev/null");
    second.groups = QStringList{QStringLiteral("building-3"), QStringLiteral("lecture-halls")};
    auto secondOwned = std::make_unique<FakeSerialLine>();
    FakeSerialLine& secondLine = *secondOwned;
    Projector b202(second, 0, 500, std::move(secondOwned), clock, log);
    b202.start();
    clock.advance(1);
    const bool fleet = steps.contains("fleet");
    std::vector<Projector*> served{&projector};
    if (fleet)
        served.push_back(&b202);

    // "tokenless": the hub keeps no token.
    QByteArray accessText = "[[projector]]\nname = \"a101\"\nline = \"/dev/null\"\n";
    if (!steps.contains("tokenless")) {
        accessText = "http-token = \"" + Token.toLatin1() + "\"\n" + accessText;
        for (const auto& [name, role, secret] : {std::tuple{"prometheus", "viewer", Viewer},
                 std::tuple{"room-101", "operator", Operator}, std::tuple{"av-admin", "admin", Admin}})
            accessText += QByteArray("[[token]]\nname = \"") + name + "\"\nrole = \"" + role + "\"\nsecret = \""
                + secret + "\"\n";
    }
    HubConfig access = parseHubConfig(accessText, QStringLiteral("hub.toml"), 0100600).config.value();
    access.httpReads = steps.contains("reads-token") ? HttpReads::Token : HttpReads::Open;
    GuessGuard guard(QStringLiteral("http"), QStringLiteral("token"), clock, log);
    HttpApi api(
        served, HttpTokens(access), access.httpReads, clock, [&clock] { return Epoch + clock.nowMs(); }, log, guard);
    // "scheduled": one schedule, switching every projector off on weekday evenings.
    HubConfig hubConfig;
    hubConfig.projectors = {config};
    hubConfig.timezone = QStringLiteral("Europe/Berlin");
    hubConfig.schedules = {ScheduleConfig{QStringLiteral("off"), QStringLiteral("Mon..Fri 22:00"),
        QStringLiteral("power-off"), {QStringLiteral("all")}, true}};
    Scheduler scheduler(
        clock, [&clock] { return Epoch + clock.nowMs(); }, log, [&projector](const QString&) { return &projector; });
    if (steps.contains("scheduled")) {
        scheduler.setConfig(hubConfig);
        api.setSchedules(&scheduler);
    }
    QTemporaryDir dir;
    AuditLog audit(log, [&clock] { return Epoch + clock.nowMs(); });
    audit.setFile(dir.filePath(QStringLiteral("audit.jsonl")));
    projector.setAudit(&audit);
    QByteArray receivedBytes;
    QString closed;
    HttpSession session(
        api, clock, log, Projector::requestersOf(Projector::Door::Http) | 1, QStringLiteral("http 192.0.2.7:4000"),
        [&receivedBytes](const QByteArray& bytes) { receivedBytes += bytes; },
        [&closed](const QString& why, LogLevel) { closed = why; });
    if (fleet)
        QObject::connect(
            &api, &HttpApi::published, [&receivedBytes](const QByteArray& bytes) { receivedBytes += bytes; });

    for (const QByteArray& step : steps) {
        if (step.startsWith('+')) {
            clock.advance(step.mid(1).toInt());
        } else if (step.startsWith("<b ")) {
            secondLine.receive(step.mid(3));
            clock.advance(1);
        } else if (step == "lost b") {
            secondLine.loseDevice(QStringLiteral("gone"));
        } else if (step.startsWith("< ")) {
            line.receive(step.mid(2));
            clock.advance(1);
        } else if (step.startsWith("> ")) {
            session.receive(step.mid(2));
            clock.advance(1);
        } else if (step == "removed") {
            api.setServed({});
        } else if (step == "retoken") {
            access.httpToken = QStringLiteral("fedcba9876543210");
            access.tokens.clear();
            api.setAccess(HttpTokens(access), access.httpReads);
        } else if (step == "lost") {
            line.loseDevice(QStringLiteral("gone"));
        } else if (step == "poll") {
            answerPollRound(line, clock);
        }
    }
    QStringList frames;
    for (const FakeSerialLine::Write& w : line.writes())
        frames.append(QString::fromLatin1(w.bytes).remove(QLatin1Char('\r')));
    QTEST(frames.join(u' '), "frames");
    QFETCH(QStringList, received);
    QFile audited(audit.file());
    const QByteArray auditLines = audited.open(QIODevice::ReadOnly) ? audited.readAll() : QByteArray();
    const QString text = QString::fromUtf8(receivedBytes + (auditLines.isEmpty() ? "" : "audit:\n" + auditLines));
    qsizetype at = 0;
    for (const QString& fragment : received) {
        if (fragment.startsWith(u'!')) {
            QVERIFY2(!text.contains(fragment.mid(1)), qPrintable(fragment + QStringLiteral(" in:\n") + text));
            continue;
        }
        const qsizetype found = text.indexOf(fragment, at);
        QVERIFY2(found >= 0, qPrintable(QStringLiteral("no '%1' after %2 in:\n%3").arg(fragment).arg(at).arg(text)));
        at = found + fragment.size();
    }
    QTEST(closed.section(QLatin1Char(' '), 0, closed.startsWith(QLatin1String("refused")) ? 1 : -1), "closed");
}

QTEST_GUILESS_MAIN(HttpDoorTest)
#include "tst_http_door.moc"
