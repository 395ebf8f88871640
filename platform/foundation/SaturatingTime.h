#pragma once
// Adding a delay to a time point without running off the end of the clock's range.

#include "platform/foundation/Clock.h"

namespace morvix::platform {

/// `time + delay`, saturated at the ends of the clock's range instead of wrapping around: a
/// delay too long for the clock gives its last moment (`TimePoint::max()`), which never comes,
/// and a delay far enough into the past gives its first. Any thread.
TimePoint saturatingAdd(TimePoint time, Duration delay);

} // namespace morvix::platform
