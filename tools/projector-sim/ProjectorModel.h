#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace orva::sim {

// Power states of the projector, with the code its power-state read ("CR0")
// answers for each.
enum class Power : std::uint8_t {
    On = 0x00,
    CoolDown = 0x20,
    CountDown = 0x40,
    Standby = 0x80,
};

struct ModelSettings
{
    std::int64_t warmupMs = 5000;    // count-down after "C00" before the picture is on
    std::int64_t cooldownMs = 5000;  // cool-down after "C01" before standby
    std::int64_t lampHours = 1234;   // lamp hours used at start
    std::int64_t hourMs = 3'600'000; // length of one lamp hour
    std::int64_t heatUpMs = 60'000;  // time for the temperatures to go from cold to running
    // This long after the picture came on, the projector warns of its
    // temperature (CR0 "08") until it is switched off; 0: never.
    std::int64_t overheatAfterMs = 0;
};

// What a TK500 / TK600 projector does with the frames it is sent, without
// any I/O: one frame in (the characters before its carriage return), one
// reply out. Time comes from an injected source so that tests can run it on
// a virtual clock; it must never go backwards.
//
// Replies:
//   "C" + two upper-case hex digits    ACK (6), no carriage return
//   "CF " + anything                   ACK
//   "CR0"  power state                 "80" standby, "40" count-down, "00" on, "20" cool-down,
//                                      "08" on with a temperature warning (overheatAfterMs)
//   "CR1"  input                       "1" computer 1, "2" computer 2, "3" video
//   "CR3"  lamp hours                  five digits, growing while the lamp is lit
//   "CR4"  picture orientation         "11" (normal)
//   "CR6"  temperatures                " 24.0, 25.5, 26.0": three fields of five, comma-separated
//   "CR7"  lamp mode                   "01" lamp lit, "00" lamp off
//   "CR9"  model name                  "TK600"
//   "CRA"  mute state                  "00".."03" (1 = picture blanked, 2 = sound muted), "FF" in standby
//   "CR PRESSURE"  air-pressure sensor "853" (reads as 1013 hPa)
//   anything else                      "?" (ErrorReply)
// Every reply but the acknowledgement ends with a carriage return.
class ProjectorModel
{
public:
    using TimeSource = std::function<std::int64_t()>;

    static constexpr char Ack = '\x06';
    static constexpr std::string_view ErrorReply = "?\r";
    static constexpr std::string_view ModelName = "TK600";
    static constexpr int PressureReading = 853;

    ProjectorModel(ModelSettings settings, TimeSource now);

    // The reply to one frame, given without its carriage return.
    std::string answer(std::string_view frame);

    // The state at the current time.
    Power power();
    int input() const { return m_input; }
    bool soundMuted() const { return m_soundMuted; }
    bool pictureBlanked() const { return m_pictureBlanked; }
    std::int64_t lampHours();
    std::array<double, 3> temperatures();

private:
    bool lampLit() const { return m_power == Power::CountDown || m_power == Power::On; }
    // Moves the model to the current time: ends a count-down or cool-down
    // that is due, and accounts lamp time and heat up to now.
    void settle();
    void advanceTo(std::int64_t t);
    void setPower(Power power);
    void operate(std::string_view code);
    std::string read(std::string_view query);

    ModelSettings m_settings;
    TimeSource m_now;
    std::int64_t m_time = 0;
    Power m_power = Power::Standby;
    std::int64_t m_powerSince = 0; // start of the current count-down or cool-down
    std::int64_t m_litMs = 0;      // lamp time accumulated so far
    double m_heat = 0.0;           // 0 cold .. 1 running temperature
    int m_input = 1;
    bool m_soundMuted = false;
    bool m_pictureBlanked = false;
};

} // namespace orva::sim
