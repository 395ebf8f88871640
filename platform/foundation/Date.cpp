#include "platform/foundation/Date.h"

#include <chrono>

namespace morvix::platform {

Date Date::fromWallTime(WallTime time)
{
    return Date(std::chrono::duration<double, std::milli>(time.time_since_epoch()).count());
}

Date Date::now()
{
    return fromWallTime(Clock::current()->date());
}

} // namespace morvix::platform
