#pragma once

#include "engine/protocol/ReplyValues.h"

#include <QString>
#include <QtGlobal>

#include <iterator>

// The key tables of the status queries: read by the status line's decoding
// (StatusDecoder.cpp, the text of a row) and by the values given to
// programs (ReplyValues.cpp, the value of the same row), so that the two
// never disagree. For the decoders' own sources, not a public interface.
namespace orva::keytables {

// One row of a key table: the key read from the rendered reply, the status
// text it stands for and the value it gives programs. Keys and texts are
// exact, blanks included.
template <class Value> struct Row
{
    const char* key;
    const char* text;
    Value value;
};

using P = PowerState;
inline constexpr Row<PowerState> PowerStateRows[] = {
    {" 0 0", " Power ON", P::On},
    {" 8 0", " Stand by", P::Standby},
    {" 4 0", " Count down", P::CountDown},
    {" 2 0", " Cooling down", P::CoolingDown},
    {" 1 0", " Power Fail", P::PowerFailure},
    {" 0 8", " Temperature Warning", P::TemperatureWarning},
    {" 0 2", " NO Key input ", P::NoKeyInput},
    {" 0 4", " Lamp OFF by PWR Management", P::LampOffByPowerManagement},
    {" 2 8", " Temperature Warning & cooling down", P::TemperatureWarningCooling},
    {" 2 4", "Cooling down  PWR Management", P::CoolingDownPowerManagement},
    {" 8 8", " Temperature Warning and recoverd", P::TemperatureWarningRecovered},
    {" 2 1", " Cooling down (All Lamp FAIL)", P::CoolingDownAllLampsFailed},
    {" 8 1", " Cooling down & sutandby (All Lamp FAIL)", P::StandbyAllLampsFailed},
};

inline constexpr Row<InputSource> InputSourceRows[] = {
    {" 1", " Computer 1", InputSource::Computer1},
    {" 2", " Computer 2", InputSource::Computer2},
    {" 3", " Video", InputSource::Video},
    {" 4", " Input mode 4", InputSource::InputMode4},
};

inline constexpr Row<Orientation> OrientationRows[] = {
    {" 1 1", " Normally", Orientation::Normal},
    {" 1 0", " Top/Bottom reversal", Orientation::TopBottomReversed},
    {" 0 1", " Left/Right reversal", Orientation::LeftRightReversed},
    {" 0 0", " Top/Bottom , Left/Right reversal", Orientation::BothReversed},
};

using M = MuteState;
inline constexpr Row<MuteState> MuteStateRows[] = {
    {" 0 0", " Video & Audio mute OFF", M::Off},
    {" 0 1", " Video mute ON", M::VideoMuted},
    {" 0 2", " Audio mute ON", M::AudioMuted},
    {" 0 3", " Video & Audio mute ON", M::VideoAndAudioMuted},
    {" 8 0", " No signal", M::NoSignal},
    {" F F", " Stand by", M::Standby},
};

using L = LampMode;
inline constexpr Row<LampMode> LampModeRows[] = {
    {" 0 0", " LAMP OFF", L::Off},
    {" 0 1", " LAMP ON", L::On},
    {" 0 2", " No2 ON  : 2 Lamp mode", L::TwoLampsNo2On},
    {" 0 3", " No1,2 ON  : 2 Lamp mode", L::TwoLampsBothOn},
    {" 1 0", " All OFF : 1 Lamp mode(No1 USE)", L::OneLampNo1AllOff},
    {" 1 1", " No1 ON  : 1 Lamp mode(No1 USE)", L::OneLampNo1On},
    {" 2 0", " All OFF : 1 Lamp mode(No2 USE)", L::OneLampNo2AllOff},
    {" 2 2", " No2 ON  : 1 Lamp mode(No2 USE)", L::OneLampNo2On},
};

// A key table of any value type, seen through its keys and texts: the
// first keyLength characters of a rendered reply are its key.
struct KeyTable
{
    qsizetype keyLength = 0;
    qsizetype size = 0;
    const char* (*key)(qsizetype) = nullptr;
    const char* (*text)(qsizetype) = nullptr;
};

template <auto& Rows> constexpr KeyTable tableOf(qsizetype keyLength)
{
    return {keyLength, qsizetype(std::size(Rows)), [](qsizetype i) { return Rows[i].key; },
        [](qsizetype i) { return Rows[i].text; }};
}

inline constexpr KeyTable PowerStateTable = tableOf<PowerStateRows>(4);
inline constexpr KeyTable InputSourceTable = tableOf<InputSourceRows>(2);
inline constexpr KeyTable OrientationTable = tableOf<OrientationRows>(4);
inline constexpr KeyTable MuteStateTable = tableOf<MuteStateRows>(4);
inline constexpr KeyTable LampModeTable = tableOf<LampModeRows>(4);

// The row of a rendered reply's key, or -1.
inline qsizetype rowOf(const KeyTable& table, const QString& rendered)
{
    const QString key = rendered.left(table.keyLength);
    for (qsizetype i = 0; i < table.size; ++i) {
        if (key == QLatin1String(table.key(i)))
            return i;
    }
    return -1;
}

} // namespace orva::keytables
