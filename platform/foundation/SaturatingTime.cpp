#include "platform/foundation/SaturatingTime.h"

#include <limits>

namespace morvix::platform {

TimePoint saturatingAdd(TimePoint time, Duration delay)
{
    using Ticks = std::numeric_limits<Duration::rep>;
    Duration::rep ticks = time.time_since_epoch().count();
    Duration::rep by = delay.count();
    if (by > 0 && ticks > Ticks::max() - by)
        return TimePoint::max();
    if (by < 0 && ticks < Ticks::min() - by)
        return TimePoint::min();
    return time + delay;
}

} // namespace morvix::platform
