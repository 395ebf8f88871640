#include "platform/foundation/WireNumber.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

namespace morvix::platform {
namespace {

TEST(WireNumberTest, CountsAreRefusedOutsideTheirRangeAndClampedWhenAsked)
{
    EXPECT_EQ(WireNumber::count(Value(12.9), 0, 100), 12);
    EXPECT_EQ(WireNumber::count(Value(-0.5), 0, 100), 0); // truncated toward zero first
    EXPECT_EQ(WireNumber::count(Value(true), 0, 100), 1); // a boolean reads as a number
    EXPECT_EQ(WireNumber::count(Value(3e7), 0, 100), std::nullopt);
    EXPECT_EQ(WireNumber::count(Value(-1), 0, 100), std::nullopt);
    EXPECT_EQ(WireNumber::count(Value("5"), 0, 100), std::nullopt);
    EXPECT_EQ(WireNumber::count(Value(std::numeric_limits<double>::infinity()), 0, 100), std::nullopt);
    EXPECT_EQ(WireNumber::count(Value(1e300), std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()),
        std::nullopt);

    EXPECT_EQ(WireNumber::clampedCount(Value(1e12), 0, WireNumber::kMaximumItemCount), WireNumber::kMaximumItemCount);
    EXPECT_EQ(WireNumber::clampedCount(Value(-1e308), -5, 5), -5);
    EXPECT_EQ(WireNumber::clampedCount(Value(std::numeric_limits<double>::quiet_NaN()), 0, 5), std::nullopt);
    EXPECT_EQ(WireNumber::clampedCount(Value(nullptr), 0, 5), std::nullopt);
}

TEST(WireNumberTest, NumbersDurationsAndFloatsNeverLeaveTheirRange)
{
    EXPECT_EQ(WireNumber::number(Value(0.25), 0, 1), 0.25);
    EXPECT_EQ(WireNumber::number(Value(1.5), 0, 1), std::nullopt);
    EXPECT_EQ(WireNumber::clampedNumber(Value(1.5), 0, 1), 1.0);
    EXPECT_EQ(WireNumber::clampedNumber(Value(false), 0.5, 1), 0.5);

    EXPECT_EQ(WireNumber::seconds(-3), Duration::zero());
    EXPECT_EQ(WireNumber::seconds(std::numeric_limits<double>::quiet_NaN()), Duration::zero());
    EXPECT_EQ(WireNumber::seconds(1e308), WireNumber::seconds(WireNumber::kMaximumDelaySeconds));
    EXPECT_EQ(WireNumber::seconds(0.25), std::chrono::milliseconds(250));
    // The longest delay still lies far inside the clock's range from any time point.
    EXPECT_GT(TimePoint::max() - Clock::current()->now(), WireNumber::seconds(1e308));

    EXPECT_EQ(WireNumber::singlePrecision(1e39), std::numeric_limits<float>::max());
    EXPECT_EQ(WireNumber::singlePrecision(-1e39), -std::numeric_limits<float>::max());
    EXPECT_EQ(WireNumber::singlePrecision(std::numeric_limits<double>::quiet_NaN()), 0.0f);
}

} // namespace
} // namespace morvix::platform
