#pragma once

#include "engine/line/SerialLine.h"
#include "hub/AddressRanges.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace orva::hub {

// One projector the hub owns: its line and the doors that share it.
struct ProjectorConfig
{
    QString name; // [a-z0-9-]{1,32}, unique; in every log line
    QString line; // a device path, rfc2217://HOST:PORT or tcp://HOST:PORT
    LineSpeed speed = LineSpeed::Baud19200;
    quint16 sharePort = 0;                 // frame door for the panel and orva-ctl; 0 = none
    quint16 pjlinkPort = 0;                // PJLink class 1 door; 0 = none
    std::optional<QString> pjlinkPassword; // absent: no authentication
    // What PJLink class 2 controllers are told the projector cannot: its
    // serial number, software version, lamp and filter models (empty:
    // unknown), and names of its inputs by PJLink input code ("11") that
    // replace the panel's own.
    QString serialNumber;
    QString softwareVersion;
    QString lampModel;
    QString filterModel;
    QMap<QString, QString> inputNames;
    QStringList listen;                   // addresses its doors bind: its own, else the hub's
    AddressRanges shareAllow;             // who may use the share door: its own, else the hub's
    std::optional<QString> label;         // shown to people: 1..64 characters of any text
    QStringList groups;                   // names as projector names; "all" is every projector already
    std::optional<qint64> lampRatedHours; // the lamp's rated life, for "at 93% of it"
    // PJLink over UDP (PjlinkUdp): the hardware address searches are
    // answered with ("02:1a:..."; none: derived from the machine and the
    // name), whether searches are answered (none: when the PJLink door is
    // on), and the addresses notified (none: the top's pjlink-notify).
    std::optional<QString> mac;
    std::optional<bool> pjlinkSearch;
    std::optional<QStringList> pjlinkNotify;

    bool operator==(const ProjectorConfig&) const = default;
};

// An action the hub sends by itself whenever a calendar event elapses.
struct ScheduleConfig
{
    QString name;        // as a projector's name, unique among schedules
    QString at;          // a calendar event as systemd's OnCalendar= writes it (CalendarEvent)
    QString action;      // an action's name as the HTTP door spells it: "power-off"
    QStringList targets; // projector names, "group:NAME", or just "all"
    bool enabled = true;

    bool operator==(const ScheduleConfig&) const = default;
};

// What a token of the HTTP door may do: a viewer reads, an operator also
// acts on projectors and groups, an admin also sends free codes. In order:
// each role may all that the ones before it may.
enum class TokenRole : quint8 {
    Viewer,
    Operator,
    Admin,
};

// A named holder of the HTTP door's bearer token.
struct TokenConfig
{
    QString name;       // as a projector's name, unique; in the audit's "who"
    QString secret;     // the token itself, as written or as read from secretFile
    QString secretFile; // the file it was read from; empty: written in the configuration
    TokenRole role = TokenRole::Viewer;

    bool operator==(const TokenConfig&) const = default;
};

// Who may read through the HTTP door: anybody it answers (as it always
// has), or only the holder of a token, of any role.
enum class HttpReads : quint8 {
    Open,
    Token,
};

// The whole configuration of orva-hub, as read from its TOML file.
struct HubConfig
{
    QStringList listen{QStringLiteral("127.0.0.1")}; // addresses the doors bind, unless a projector names its own
    int pollIntervalMs = 5000;                       // 0: never poll
    // How long a frame waits for its reply. Real projectors answer a query
    // in tens of milliseconds but stall for most of a second while they
    // warm up, cool down or switch inputs.
    int replyTimeoutMs = 1000;
    // After a frame went unanswered, how long the line must be quiet (or
    // its late reply must have ended) before the next frame goes out, so
    // that a late reply is never taken for the next frame's.
    int lateReplyMs = 1500;
    quint16 httpPort = 0;             // the HTTP door on every listen address; 0 = none
    std::optional<QString> httpToken; // an operator's token, named "default"
    QList<TokenConfig> tokens;        // the [[token]] tables
    HttpReads httpReads = HttpReads::Open;
    QString auditLog; // a file the audit trail is appended to as well; empty: none
    QList<ProjectorConfig> projectors;
    QString timezone; // IANA name the schedules' times are read in; empty: the system's
    QList<ScheduleConfig> schedules;
    // The UDP port of PJLink's search and notifications, heard on every
    // IPv4 address and sent to; 0: neither.
    quint16 pjlinkUdpPort = 4352;
    QStringList pjlinkNotify; // IPv4 addresses every projector notifies unless it names its own
};

// What reading a configuration found: the configuration, or the errors
// ("FILE:LINE:COLUMN: KEY: REASON", one a line); warnings either way.
struct ConfigResult
{
    std::optional<HubConfig> config;
    QStringList errors;
    QStringList warnings;
};

// Reads and checks a configuration file. Unknown keys, wrong types, values
// out of range, duplicate names and ports are errors; so is a file holding a
// password that others than its owner and group may read, and a PJLink door
// on an address other than loopback without a password (unless the password
// is set to "" explicitly, which is only warned about). The HTTP door
// likewise: off loopback it needs a token, and a file holding a token
// is kept from others. A share door off loopback needs share-allow, the
// networks that may use it. One address and port serves one door, an
// unspecified address (0.0.0.0, ::) counting as every address of its kind.
ConfigResult readHubConfig(const QString& path);

// The same for a text already read; path only names it in messages, and
// fileMode (the file's permission bits) is checked when given.
ConfigResult parseHubConfig(const QByteArray& text, const QString& path, std::optional<uint> fileMode);

} // namespace orva::hub
