#include "core/base/Strings.h"

#include <gtest/gtest.h>

using morvix::Strings;
using namespace std::string_literals;

TEST(StringsTest, ToSingleLineRemovesEveryLineBreakCharacter)
{
    EXPECT_EQ(Strings::toSingleLine("one\r\ntwo\nthree\rfour"), "onetwothreefour");
    EXPECT_EQ(Strings::toSingleLine("a\vb\fc"), "abc");
    EXPECT_EQ(Strings::toSingleLine("a\u0085b\u2028c\u2029d"), "abcd");
    // Neighbours of the line-break characters in UTF-8 stay.
    EXPECT_EQ(Strings::toSingleLine("\u00e9\u2027\u202a\t"), "\u00e9\u2027\u202a\t");
    EXPECT_EQ(Strings::toSingleLine(""), "");
}

TEST(StringsTest, RemoveTabsKeepsOtherWhiteSpace)
{
    EXPECT_EQ(Strings::removeTabs("\ta b\t\tc\n"), "a bc\n");
}

TEST(StringsTest, MD5IsLowerCaseHexOfTheBytesBeforeTheFirstZero)
{
    EXPECT_EQ(Strings::MD5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Strings::MD5("abc\0def"s), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Strings::MD5(""), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(StringsTest, URLEncodingLeavesOnlyUnreservedCharacters)
{
    EXPECT_EQ(Strings::urlEncodeUsingEncoding("a b&c=d/\u00e9~-._!*'();:@+$,?%#[]\""),
        "a%20b%26c%3Dd%2F%C3%A9~-._%21%2A%27%28%29%3B%3A%40%2B%24%2C%3F%25%23%5B%5D%22");
    EXPECT_EQ(Strings::urlEncodeUsingEncoding("AZaz09"), "AZaz09");
    EXPECT_EQ(Strings::urlEncodeUsingEncoding(""), "");
}

TEST(StringsTest, URLEncodingUsesTheBytesOfTheGivenEncoding)
{
    EXPECT_EQ(Strings::urlEncodeUsingEncoding("\u00e9", "ISO-8859-1"), "%E9");
    EXPECT_EQ(Strings::urlEncodeUsingEncoding("\u65e5\u672c", "Shift_JIS"), "%93%FA%96%7B");
}

TEST(StringsTest, URLEncodingGivesNothingForWhatCannotBeEncoded)
{
    EXPECT_EQ(Strings::urlEncodeUsingEncoding("\u65e5", "ISO-8859-1"), std::nullopt);
    EXPECT_EQ(Strings::urlEncodeUsingEncoding("a", "no-such-encoding"), std::nullopt);
    EXPECT_EQ(Strings::urlEncodeUsingEncoding("\xff\xfe"), std::nullopt);
}
