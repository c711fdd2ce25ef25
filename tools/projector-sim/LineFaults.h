#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orva::sim {

// What the line does to the projector's replies. All off by default: every
// reply goes out whole, at once.
struct Faults
{
    bool silent = false;      // never answer
    std::int64_t delayMs = 0; // hold each reply this long
    int splitBytes = 0;       // > 0: send replies in pieces of this many bytes ...
    std::int64_t gapMs = 100; // ... this far apart
    bool noise = false;       // put a burst of garbage before each reply
    int streamRate = 0;       // > 0: unsolicited characters per second
    int hangupAfter = 0;      // > 0: hang up once this many frames are answered
};

// Bytes due on the line at a moment.
struct Piece
{
    std::int64_t dueMs;
    std::string bytes;
};

// Turns replies into timed pieces of line output and produces the
// unsolicited stream, on times handed in by the caller (so tests can use a
// virtual clock). Pieces come out in the order they must be written, and a
// reply never overtakes or interleaves with an earlier one.
class LineShaper
{
public:
    // The characters the unsolicited stream repeats: printable, and none of
    // them a digit or a carriage return, so a reply stands out within it.
    static constexpr std::string_view StreamPattern = "abcdefghijklmnopqrstuvwxyz";
    // Noise is drawn from these: control characters and bytes beyond ASCII.
    static constexpr std::string_view NoiseBytes{"\x00\x07\x11\x13\x1b\x7f\x80\xa5\xc3\xfe\xff", 11};

    LineShaper(const Faults& faults, std::int64_t startMs);

    // Pieces carrying the reply to a frame that arrived at nowMs; none when
    // the line is silent or the reply is empty.
    std::vector<Piece> shape(const std::string& reply, std::int64_t nowMs);

    // Unsolicited characters that fell due since the last call, at most
    // maxBytes of them; the rest are lost, as on a line nobody reads.
    std::string streamDue(std::int64_t nowMs, std::size_t maxBytes);
    // When the next unsolicited character falls due; -1 without a stream.
    std::int64_t nextStreamDue() const;

private:
    std::string noiseBurst();

    Faults m_faults;
    std::int64_t m_lastDue;
    std::uint32_t m_random = 0x2545f491u;
    std::int64_t m_streamStart;
    std::int64_t m_streamed = 0;  // characters accounted for, written or lost
    std::size_t m_patternPos = 0; // position in the pattern of the next one written
};

} // namespace orva::sim
