#pragma once

#include "engine/protocol/Commands.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <array>
#include <variant>

namespace orva {

// The values a query's reply stands for, for programs. The panel's status
// line shows the same replies as text (decodeStatus); the two read the same
// key tables.

// The thirteen power states, in the order of the status table.
enum class PowerState : quint8 {
    On,                          // 00
    Standby,                     // 80
    CountDown,                   // 40
    CoolingDown,                 // 20
    PowerFailure,                // 10
    TemperatureWarning,          // 08
    NoKeyInput,                  // 02
    LampOffByPowerManagement,    // 04
    TemperatureWarningCooling,   // 28
    CoolingDownPowerManagement,  // 24
    TemperatureWarningRecovered, // 88
    CoolingDownAllLampsFailed,   // 21
    StandbyAllLampsFailed,       // 81
};

enum class InputSource : quint8 { Computer1, Computer2, Video, InputMode4 };

enum class Orientation : quint8 { Normal, TopBottomReversed, LeftRightReversed, BothReversed };

enum class MuteState : quint8 { Off, VideoMuted, AudioMuted, VideoAndAudioMuted, NoSignal, Standby };

enum class LampMode : quint8 {
    Off,              // one lamp: off
    On,               // one lamp: on
    TwoLampsNo2On,    // two-lamp mode, lamp 2 lit
    TwoLampsBothOn,   // two-lamp mode, both lit
    OneLampNo1AllOff, // one-lamp mode using lamp 1, none lit
    OneLampNo1On,     // one-lamp mode using lamp 1, lit
    OneLampNo2AllOff, // one-lamp mode using lamp 2, none lit
    OneLampNo2On,     // one-lamp mode using lamp 2, lit
};

struct LampHours
{
    qint64 hours = 0;
    bool operator==(const LampHours&) const = default;
};

struct Temperatures
{
    std::array<double, 3> celsius{};
    bool operator==(const Temperatures&) const = default;
};

struct ModelName
{
    QString text;
    bool operator==(const ModelName&) const = default;
};

struct AirPressure
{
    int hectopascals = 0;
    bool operator==(const AirPressure&) const = default;
};

// No value: the reply does not read as the query's kind of value.
using ReplyValue = std::variant<std::monostate, PowerState, InputSource, Orientation, LampHours, Temperatures,
    MuteState, ModelName, AirPressure, LampMode>;

// The longest model name taken as one.
inline constexpr qsizetype MaxModelNameLength = 32;

// The value of a reply body (the reply before the character that ends it)
// to a query of this decoding. A body that cannot be the answer to the
// query at all has no value, so every program judges a reply alike:
//  - the key tables read the body's first one or two characters, as the
//    status line does ("80" is Standby, "99" nothing);
//  - lamp hours: 1 to 15 decimal digits;
//  - temperatures: three comma-separated decimal numbers, blanks allowed
//    around each; nothing but digits, blanks, signs, points and commas
//    (no exponent, no "inf");
//  - model name: 1 to MaxModelNameLength printable ASCII characters (line
//    noise, a NUL or an escape sequence is no name);
//  - air pressure: the reading converted to hPa, nothing when out of range.
ReplyValue decodeReply(StatusQuery decoding, QStringView body);

} // namespace orva
