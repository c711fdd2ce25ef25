#pragma once

#include <thread>

namespace orva {

// Loads the system's font configuration on a thread of its own while the
// program starts. Reading that configuration and its caches is the largest
// single cost of showing a window with text (some milliseconds); started
// first thing, it overlaps with the making of the application object.
//
// wait() before the window is built: the window's fonts then find the
// configuration loaded. Without the font configuration library this does
// nothing and the window loads the configuration itself when it first needs
// a font.
class FontWarmUp
{
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    void wait();

private:
    std::thread m_thread;
};

} // namespace orva
