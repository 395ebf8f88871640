#pragma once
// Where reachability flags come from.

#include <cstdint>
#include <functional>
#include <optional>

namespace morvix::platform {

/// Reachability flags; the bit values are the platform's.
using ReachabilityFlags = std::uint32_t;
inline constexpr ReachabilityFlags kReachabilityFlagTransientConnection = 1u << 0;
inline constexpr ReachabilityFlags kReachabilityFlagReachable = 1u << 1;
inline constexpr ReachabilityFlags kReachabilityFlagConnectionRequired = 1u << 2;
inline constexpr ReachabilityFlags kReachabilityFlagConnectionOnTraffic = 1u << 3;
inline constexpr ReachabilityFlags kReachabilityFlagInterventionRequired = 1u << 4;
inline constexpr ReachabilityFlags kReachabilityFlagConnectionOnDemand = 1u << 5;
inline constexpr ReachabilityFlags kReachabilityFlagIsLocalAddress = 1u << 16;
inline constexpr ReachabilityFlags kReachabilityFlagIsDirect = 1u << 17;
inline constexpr ReachabilityFlags kReachabilityFlagIsWWAN = 1u << 18;

/// Watches whether one target (an address or a host name) can be reached.
///
/// Rules:
///  1. `flags` reads the current flags; it may block (name resolution), so callers read it off
///     the main thread. Nothing when they cannot be read.
///  2. The callback, once set, stays set until the source goes away; it is called on the main
///     thread, with the new flags, only while the source is scheduled.
///  3. `schedule` and `unschedule` are idempotent.
///
/// `flags` any thread; the rest on the main thread.
class ReachabilitySource {
public:
    using Callback = std::function<void(ReachabilityFlags)>;

    virtual ~ReachabilitySource() = default;
    virtual std::optional<ReachabilityFlags> flags() = 0;
    virtual void setCallback(Callback callback) = 0;
    virtual void schedule() = 0;
    virtual void unschedule() = 0;
};

} // namespace morvix::platform
