#include "platform/foundation/WireNumber.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace morvix::platform {

namespace {

// Whole numbers beyond ±2^63 do not fit the count type; clamping first keeps the conversion
// defined.
constexpr double kLargestCount = 9.2233720368547748e18;

} // namespace

std::optional<std::int64_t> WireNumber::count(const Value& value, std::int64_t minimum, std::int64_t maximum)
{
    auto number = numberValue(value);
    if (!number || !std::isfinite(*number))
        return std::nullopt;
    double whole = std::trunc(*number);
    if (whole < static_cast<double>(minimum) || whole > static_cast<double>(maximum))
        return std::nullopt;
    auto result = static_cast<std::int64_t>(std::clamp(whole, -kLargestCount, kLargestCount));
    if (result < minimum || result > maximum)
        return std::nullopt;
    return result;
}

std::optional<std::int64_t> WireNumber::clampedCount(const Value& value, std::int64_t minimum, std::int64_t maximum)
{
    auto number = numberValue(value);
    if (!number || std::isnan(*number))
        return std::nullopt;
    double whole = std::clamp(std::trunc(*number), -kLargestCount, kLargestCount);
    return std::clamp(static_cast<std::int64_t>(whole), minimum, maximum);
}

std::optional<double> WireNumber::number(const Value& value, double minimum, double maximum)
{
    auto number = numberValue(value);
    if (!number || !std::isfinite(*number) || *number < minimum || *number > maximum)
        return std::nullopt;
    return number;
}

std::optional<double> WireNumber::clampedNumber(const Value& value, double minimum, double maximum)
{
    auto number = numberValue(value);
    if (!number || std::isnan(*number))
        return std::nullopt;
    return std::clamp(*number, minimum, maximum);
}

Duration WireNumber::seconds(double seconds)
{
    if (std::isnan(seconds))
        return Duration::zero();
    seconds = std::clamp(seconds, 0.0, kMaximumDelaySeconds);
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds));
}

float WireNumber::singlePrecision(double value)
{
    constexpr double kMaximum = std::numeric_limits<float>::max();
    if (std::isnan(value))
        return 0;
    return static_cast<float>(std::clamp(value, -kMaximum, kMaximum));
}

} // namespace morvix::platform
