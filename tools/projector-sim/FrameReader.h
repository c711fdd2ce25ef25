#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orva::sim {

// Cuts the bytes read from the line into frames, each ended by a carriage
// return. A line feed at the start of a frame is dropped, so senders that
// end frames with CR LF are understood. A frame that grows beyond MaxFrame
// bytes without its carriage return is thrown away and comes out as an empty
// frame (which the projector answers with its error reply).
class FrameReader
{
public:
    static constexpr std::size_t MaxFrame = 256;

    // Frames completed by these bytes, without their carriage returns.
    std::vector<std::string> feed(std::string_view bytes);

private:
    std::string m_partial;
    bool m_overflow = false;
};

} // namespace orva::sim
