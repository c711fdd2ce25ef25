#include "FrameReader.h"

namespace orva::sim {

std::vector<std::string> FrameReader::feed(std::string_view bytes)
{
    std::vector<std::string> frames;
    for (const char c : bytes) {
        if (c == '\r') {
            frames.push_back(m_overflow ? std::string() : std::move(m_partial));
            m_partial.clear();
            m_overflow = false;
        } else if (c == '\n' && m_partial.empty()) {
            continue;
        } else if (!m_overflow) {
            m_partial += c;
            if (m_partial.size() > MaxFrame) {
                m_partial.clear();
                m_overflow = true;
            }
        }
    }
    return frames;
}

} // namespace orva::sim
