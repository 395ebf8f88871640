#pragma once
// Seconds given as floating numbers (by peers and the platform's interfaces) as clock durations.

#include "platform/foundation/Clock.h"

#include <chrono>
#include <cmath>

namespace morvix::platform {

/// The longest interval the view layer schedules: about a century, far enough to mean "until
/// removed" and short enough that a clock reading plus it cannot overflow.
inline constexpr Duration kLongestInterval = std::chrono::duration_cast<Duration>(std::chrono::hours(24 * 365 * 100));

/// `seconds` rounded to the clock's tick. Negative values and NaN give zero; anything beyond
/// `kLongestInterval`, infinity included, gives `kLongestInterval` (a plain conversion of such
/// a value to the clock's integer ticks is undefined).
inline Duration durationFromSeconds(double seconds)
{
    if (std::isnan(seconds) || seconds <= 0)
        return Duration::zero();
    if (seconds >= std::chrono::duration<double>(kLongestInterval).count())
        return kLongestInterval;
    return std::chrono::round<Duration>(std::chrono::duration<double>(seconds));
}

} // namespace morvix::platform
