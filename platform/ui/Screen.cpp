#include "platform/ui/Screen.h"

namespace morvix::platform {

Screen& Screen::main()
{
    static Screen screen;
    return screen;
}

void Screen::resetForTesting()
{
    m_bounds = Rect(0, 0, 320, 568);
    m_scale = 2;
}

} // namespace morvix::platform
