#include "ProjectorModel.h"

#include <algorithm>
#include <cstdio>

namespace orva::sim {

namespace {

// Sensor temperatures in standby and the rise each shows once the lamp has
// run long enough: intake, exhaust, lamp housing.
constexpr std::array<double, 3> ColdCelsius = {24.0, 25.5, 26.0};
constexpr std::array<double, 3> RiseCelsius = {14.5, 26.5, 18.0};

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

std::string withCr(std::string text)
{
    text += '\r';
    return text;
}

std::string hexByte(unsigned value)
{
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", value & 0xffu);
    return buf;
}

} // namespace

ProjectorModel::ProjectorModel(ModelSettings settings, TimeSource now)
    : m_settings(settings)
    , m_now(std::move(now))
    , m_time(m_now())
{
}

std::string ProjectorModel::answer(std::string_view frame)
{
    settle();
    const bool operation = (frame.size() == 3 && frame[0] == 'C' && isUpperHex(frame[1]) && isUpperHex(frame[2]))
        || frame.starts_with("CF ");
    if (operation) {
        operate(frame);
        return std::string(1, Ack);
    }
    if (frame.starts_with("CR"))
        return read(frame);
    return std::string(ErrorReply);
}

Power ProjectorModel::power()
{
    settle();
    return m_power;
}

std::int64_t ProjectorModel::lampHours()
{
    settle();
    return m_settings.lampHours + m_litMs / std::max<std::int64_t>(1, m_settings.hourMs);
}

std::array<double, 3> ProjectorModel::temperatures()
{
    settle();
    std::array<double, 3> t{};
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = ColdCelsius[i] + m_heat * RiseCelsius[i];
    return t;
}

void ProjectorModel::settle()
{
    const std::int64_t now = std::max(m_now(), m_time);
    if (m_power == Power::CountDown && m_powerSince + m_settings.warmupMs <= now) {
        advanceTo(m_powerSince + m_settings.warmupMs);
        setPower(Power::On);
    } else if (m_power == Power::CoolDown && m_powerSince + m_settings.cooldownMs <= now) {
        advanceTo(m_powerSince + m_settings.cooldownMs);
        setPower(Power::Standby);
    }
    advanceTo(now);
}

void ProjectorModel::advanceTo(std::int64_t t)
{
    const std::int64_t dt = t - m_time;
    if (dt <= 0)
        return;
    const double step = m_settings.heatUpMs > 0 ? double(dt) / double(m_settings.heatUpMs) : 1.0;
    if (lampLit()) {
        m_litMs += dt;
        m_heat = std::min(1.0, m_heat + step);
    } else {
        m_heat = std::max(0.0, m_heat - step);
    }
    m_time = t;
}

void ProjectorModel::setPower(Power power)
{
    m_power = power;
    m_powerSince = m_time;
}

void ProjectorModel::operate(std::string_view code)
{
    // Operations the model keeps track of; every other valid code is
    // acknowledged and changes nothing here.
    if (code == "C00") {
        // Switching on during a cool-down is refused by the projector, as is
        // switching on what is already on.
        if (m_power == Power::Standby)
            setPower(Power::CountDown);
    } else if (code == "C01") {
        if (lampLit())
            setPower(Power::CoolDown);
    } else if (code == "C05" || code == "C50" || code == "C51" || code == "C54") {
        m_input = 1;
    } else if (code == "C06" || code == "C5B" || code == "C5C" || code == "CF INPUT2 ANALOG") {
        m_input = 2;
    } else if (code == "C07" || code == "C34" || code == "CF INPUT3 VIDEO") {
        m_input = 3;
    } else if (code == "C0B") {
        m_soundMuted = true;
    } else if (code == "C0C") {
        m_soundMuted = false;
    } else if (code == "C0D") {
        m_pictureBlanked = true;
    } else if (code == "C0E") {
        m_pictureBlanked = false;
    }
}

std::string ProjectorModel::read(std::string_view query)
{
    if (query == "CR0") {
        const bool overheated = m_power == Power::On && m_settings.overheatAfterMs > 0
            && m_time - m_powerSince >= m_settings.overheatAfterMs;
        return withCr(overheated ? "08" : hexByte(unsigned(m_power)));
    }
    if (query == "CR1")
        return withCr(std::to_string(m_input));
    if (query == "CR3") {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%05lld", static_cast<long long>(std::min<std::int64_t>(lampHours(), 99999)));
        return withCr(buf);
    }
    if (query == "CR4")
        return withCr("11");
    if (query == "CR6") {
        const auto t = temperatures();
        char buf[64];
        std::snprintf(buf, sizeof buf, "%5.1f,%5.1f,%5.1f", t[0], t[1], t[2]);
        return withCr(buf);
    }
    if (query == "CR7")
        return withCr(lampLit() ? "01" : "00");
    if (query == "CR9")
        return withCr(std::string(ModelName));
    if (query == "CRA") {
        if (m_power == Power::Standby)
            return withCr("FF");
        return withCr(hexByte((m_pictureBlanked ? 1u : 0u) | (m_soundMuted ? 2u : 0u)));
    }
    if (query == "CR PRESSURE")
        return withCr(std::to_string(PressureReading));
    return std::string(ErrorReply);
}

} // namespace orva::sim
