#include "LineFaults.h"

#include <algorithm>

namespace orva::sim {

LineShaper::LineShaper(const Faults& faults, std::int64_t startMs)
    : m_faults(faults)
    , m_lastDue(startMs)
    , m_streamStart(startMs)
{
}

std::vector<Piece> LineShaper::shape(const std::string& reply, std::int64_t nowMs)
{
    std::vector<Piece> pieces;
    if (m_faults.silent || reply.empty())
        return pieces;

    const std::string bytes = m_faults.noise ? noiseBurst() + reply : reply;
    std::int64_t due = std::max(nowMs + m_faults.delayMs, m_lastDue);
    const std::size_t size = m_faults.splitBytes > 0 ? std::size_t(m_faults.splitBytes) : bytes.size();
    for (std::size_t at = 0; at < bytes.size(); at += size) {
        if (at > 0)
            due += m_faults.gapMs;
        pieces.push_back({due, bytes.substr(at, size)});
    }
    m_lastDue = due;
    return pieces;
}

std::string LineShaper::noiseBurst()
{
    // A small linear congruential generator: the same garbage on every run.
    auto next = [this] {
        m_random = m_random * 1664525u + 1013904223u;
        return m_random >> 16;
    };
    std::string burst;
    const unsigned length = 1 + next() % 3;
    for (unsigned i = 0; i < length; ++i)
        burst += NoiseBytes[next() % NoiseBytes.size()];
    return burst;
}

std::string LineShaper::streamDue(std::int64_t nowMs, std::size_t maxBytes)
{
    if (m_faults.streamRate <= 0 || nowMs <= m_streamStart)
        return {};
    const std::int64_t due = (nowMs - m_streamStart) * m_faults.streamRate / 1000;
    const std::int64_t count = std::min<std::int64_t>(due - m_streamed, std::int64_t(maxBytes));
    m_streamed = std::max(m_streamed, due);
    std::string out;
    for (std::int64_t i = 0; i < count; ++i) {
        out += StreamPattern[m_patternPos];
        m_patternPos = (m_patternPos + 1) % StreamPattern.size();
    }
    return out;
}

std::int64_t LineShaper::nextStreamDue() const
{
    if (m_faults.streamRate <= 0)
        return -1;
    // The first moment at which (t - start) * rate / 1000 exceeds m_streamed.
    const std::int64_t rate = m_faults.streamRate;
    return m_streamStart + ((m_streamed + 1) * 1000 + rate - 1) / rate;
}

} // namespace orva::sim
