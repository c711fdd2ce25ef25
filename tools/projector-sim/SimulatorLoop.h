#pragma once

#include "FrameReader.h"
#include "LineFaults.h"
#include "ProjectorModel.h"
#include "SimOptions.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

namespace orva::sim {

// The simulator's I/O: reads frames from the pseudo-terminal's master side,
// has the model answer them, and writes the replies (shaped by the line
// faults) back, on one thread with poll(). Takes over both sides of the
// pseudo-terminal and closes them on hang-up or destruction.
class SimulatorLoop
{
public:
    // master: the pseudo-terminal master, non-blocking. slave: the slave
    // side, held open by the simulator so that the line stays up while no
    // panel has the device open. stopFd: becomes readable when a stop signal
    // arrived.
    SimulatorLoop(const SimOptions& options, int master, int slave, int stopFd);
    ~SimulatorLoop();
    SimulatorLoop(const SimulatorLoop&) = delete;
    SimulatorLoop& operator=(const SimulatorLoop&) = delete;

    // Runs until a stop signal (returns 0), a hang-up fault (closes both
    // sides of the pseudo-terminal, returns 0) or a failure of the line
    // (returns 1).
    int run();

private:
    std::int64_t now() const;
    bool readLine();
    void answer(const std::string& frame);
    bool flush();
    bool hangUpDue(std::int64_t t) const;
    void closeLine();
    int pollTimeout(std::int64_t t) const;
    void log(const char* direction, const std::string& bytes) const;

    SimOptions m_options;
    int m_master;
    int m_slave;
    int m_stopFd;
    std::chrono::steady_clock::time_point m_start;
    ProjectorModel m_model;
    LineShaper m_shaper;
    FrameReader m_reader;
    std::deque<Piece> m_scheduled; // replies not yet due, in order
    std::string m_pending;         // bytes due but not yet taken by the line
    int m_frames = 0;
    bool m_hangUpArmed = false;
    std::int64_t m_lastActivity = 0; // last time reply bytes fell due or went out
};

} // namespace orva::sim
