#include "window/FontWarmUp.h"

#ifdef ORVA_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace orva {

FontWarmUp::FontWarmUp()
{
#ifdef ORVA_HAVE_FONTCONFIG
    // The library keeps one process-wide configuration and makes it safely
    // from any thread; Qt's font database takes the same one later.
    m_thread = std::thread([] { FcInit(); });
#endif
}

FontWarmUp::~FontWarmUp()
{
    wait();
}

void FontWarmUp::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace orva
