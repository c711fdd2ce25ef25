#pragma once

#include "FakeSerialLine.h"
#include "VirtualClock.h"

namespace orva {

// The hub's poller's first round, answered on a fake line, one reply a
// millisecond: standby, PC1, no mute, 1234 hours, lamp off, three
// temperatures (25, 26, 27), TK600. What it wrote is cleared after.
inline void answerPollRound(FakeSerialLine& line, VirtualClock& clock)
{
    for (const char* reply : {"80\r", "1\r", "00\r", "1234\r", "00\r", "25.0,26.0,27.0\r", "TK600\r"}) {
        line.receive(reply);
        clock.advance(1);
    }
    line.clearWritten();
}

} // namespace orva
