#pragma once
// The one way a number from the peer becomes a size, a count, an index or a duration.

#include "platform/foundation/Clock.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <optional>

namespace morvix::platform {

/// Reads a number that arrives from a peer and sizes something: an allocation, a loop, a table
/// or a duration. The peer is untrusted, so every such number passes through here before it is
/// used, and what lies outside the place's range is either refused (`count`, `number`: nothing)
/// or clamped (`clampedCount`, `clampedNumber`), as the place decides; the caller logs what it
/// refused or clamped. A value counts as a number as the protocol reads numbers: integers,
/// floating numbers and booleans (0 or 1); every other kind gives nothing.
///
/// Stateless; any thread.
class WireNumber final {
public:
    WireNumber() = delete;

    /// The largest number of rows, items or pages a peer may declare for one view.
    static constexpr std::int64_t kMaximumItemCount = 1 << 20;
    /// The longest delay or interval a peer may ask for: about 31 years, far below the clock's
    /// range, so that adding it to any time point cannot overflow.
    static constexpr double kMaximumDelaySeconds = 1e9;

    /// The value truncated toward zero, when it is a finite number whose truncation lies in
    /// [minimum, maximum]; nothing otherwise.
    static std::optional<std::int64_t> count(const Value& value, std::int64_t minimum, std::int64_t maximum);
    /// The value truncated toward zero and clamped to [minimum, maximum] (the infinities give
    /// the ends); nothing for NaN and for what is no number.
    static std::optional<std::int64_t> clampedCount(const Value& value, std::int64_t minimum, std::int64_t maximum);

    /// The value when it is a finite number in [minimum, maximum]; nothing otherwise.
    static std::optional<double> number(const Value& value, double minimum, double maximum);
    /// The value clamped to [minimum, maximum]; nothing for NaN and for what is no number.
    static std::optional<double> clampedNumber(const Value& value, double minimum, double maximum);

    /// A number of seconds as a duration of the clock, clamped to [0, kMaximumDelaySeconds];
    /// NaN gives zero.
    static Duration seconds(double seconds);
    /// A number as single precision, saturated at the largest finite floats; NaN gives zero.
    static float singlePrecision(double value);
};

} // namespace morvix::platform
