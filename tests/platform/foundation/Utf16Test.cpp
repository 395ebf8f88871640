// Offsets into UTF-8 text counted in UTF-16 code units.

#include "platform/foundation/Utf16.h"

#include <gtest/gtest.h>

namespace morvix::platform {
namespace {

// "a😀b": the emoji is four UTF-8 bytes and two UTF-16 units (Python:
// len("a😀b".encode("utf-16-le")) // 2 == 4).
const std::string kMixed = "a\xF0\x9F\x98\x80" "b\xC3\xA9";

TEST(Utf16Test, CountsPairsAsTwoUnitsAndMapsOffsetsBothWays)
{
    EXPECT_EQ(utf16::length(""), 0u);
    EXPECT_EQ(utf16::length(kMixed), 5u);
    EXPECT_EQ(utf16::byteIndex(kMixed, 1), 1u);
    EXPECT_EQ(utf16::byteIndex(kMixed, 3), 5u);
    EXPECT_EQ(utf16::byteIndex(kMixed, 4), 6u);
    EXPECT_EQ(utf16::offset(kMixed, 5), 3u);
    EXPECT_EQ(utf16::offset(kMixed, 3), 1u) << "inside a sequence counts as its start";
    EXPECT_EQ(utf16::offset(kMixed, kMixed.size()), 5u);
    EXPECT_EQ(utf16::substring(kMixed, { 1, 2 }), "\xF0\x9F\x98\x80");
}

TEST(Utf16Test, OffsetsInsideAPairMoveToItsStartAndPastTheEndAreClamped)
{
    EXPECT_EQ(utf16::roundedOffset(kMixed, 2), 1u);
    EXPECT_EQ(utf16::roundedOffset(kMixed, 99), 5u);
    EXPECT_EQ(utf16::byteIndex(kMixed, 2), 1u);
    EXPECT_EQ(utf16::roundedRange(kMixed, { 2, 1 }), (TextRange { 1, 2 }));
    EXPECT_EQ(utf16::roundedRange(kMixed, { 3, SIZE_MAX }), (TextRange { 3, 2 })) << "no wrap-around";
    EXPECT_EQ(utf16::substring(kMixed, { 4, 100 }), "\xC3\xA9");
}

TEST(Utf16Test, MalformedTextIsCountedBytewiseWithoutReadingPastTheEnd)
{
    const std::string cut = "a\xF0\x9F";
    EXPECT_EQ(utf16::length(cut), 3u);
    EXPECT_EQ(utf16::byteIndex(cut, 2), 2u);
    EXPECT_EQ(utf16::length("\x80\x80"), 2u);
}

} // namespace
} // namespace morvix::platform
