#include "networking/NetJSONReading.h"
#include "networking/NetURLResponseSerialization.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace morvix;
using morvix::platform::Error;
using morvix::platform::Value;

namespace {

std::string fixture(const std::string& name)
{
    auto path = std::filesystem::path(__FILE__).parent_path() / "fixtures" / name;
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

} // namespace

TEST(NetJSONReadingTest, KeepsTheWireKeyOrderOfAFixtureWrittenByPython)
{
    auto value = NetJSONObjectWithData(fixture("ordered.json"), 0, nullptr);
    ASSERT_TRUE(value);
    std::vector<std::string> keys;
    for (const auto& [key, member] : value->items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string> { "zeta", "alpha", "mid", "b", "f" }));
    EXPECT_EQ((*value)["mid"]["s"], "caf\u00e9");
}

TEST(NetJSONReadingTest, TopLevelScalarsNeedTheFragmentsOption)
{
    std::optional<Error> error;
    EXPECT_FALSE(NetJSONObjectWithData("\"text\"", 0, &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(NetCocoaErrorDomain, NetPropertyListReadCorruptError));
    EXPECT_FALSE(NetJSONObjectWithData("12", NetJSONReadingMutableContainers, nullptr));

    auto fragment = NetJSONObjectWithData("12", NetJSONReadingAllowFragments, nullptr);
    ASSERT_TRUE(fragment);
    EXPECT_EQ(*fragment, 12);
    EXPECT_TRUE(NetJSONObjectWithData("null", NetJSONReadingAllowFragments, nullptr));
}

TEST(NetJSONReadingTest, SyntaxErrorsAndTruncationsAreReportedNotThrown)
{
    std::string document = fixture("ordered.json");
    for (std::size_t length = 0; length < document.size(); ++length) {
        std::optional<Error> error;
        EXPECT_FALSE(NetJSONObjectWithData(document.substr(0, length), 0, &error)) << length;
        EXPECT_TRUE(error) << length;
    }
}

TEST(NetJSONReadingTest, DeepNestingIsRefusedInsteadOfExhaustingTheStack)
{
    std::string deep(100000, '[');
    std::optional<Error> error;
    EXPECT_FALSE(NetJSONObjectWithData(deep + std::string(100000, ']'), 0, &error));
    EXPECT_TRUE(error);
    // Brackets inside strings do not count.
    EXPECT_TRUE(NetJSONObjectWithData("[\"" + deep + "\"]", 0, nullptr));
    std::string allowed = std::string(kNetMaxNestingDepth, '[') + std::string(kNetMaxNestingDepth, ']');
    EXPECT_TRUE(NetJSONObjectWithData(allowed, 0, nullptr));
}

TEST(NetJSONReadingTest, RandomBytesNeverCrash)
{
    std::mt19937 random(1234);
    std::string base = fixture("ordered.json");
    for (int round = 0; round < 2000; ++round) {
        std::string mutated = base;
        for (int flips = 0; flips < 4; ++flips)
            mutated[random() % mutated.size()] = static_cast<char>(random());
        auto value = NetJSONObjectWithData(mutated, NetJSONReadingAllowFragments, nullptr);
        if (value)
            (void)NetJSONObjectByRemovingKeysWithNullValues(*value, 0);
    }
}

TEST(NetJSONReadingTest, NullRemovalDropsMapEntriesOnlyAtEveryDepth)
{
    auto value = NetJSONObjectWithData(fixture("ordered.json"), 0, nullptr);
    ASSERT_TRUE(value);
    Value cleaned = NetJSONObjectByRemovingKeysWithNullValues(*value, NetJSONReadingMutableContainers);
    EXPECT_EQ(cleaned["alpha"].size(), 3u);
    EXPECT_TRUE(cleaned["alpha"][1].is_null()); // list elements stay
    EXPECT_FALSE(cleaned["alpha"][2].contains("k"));
    EXPECT_EQ(cleaned["alpha"][2]["v"], "x");
    EXPECT_FALSE(cleaned["mid"].contains("n"));
    EXPECT_EQ(cleaned.begin().key(), "zeta"); // order kept
    EXPECT_EQ(NetJSONObjectByRemovingKeysWithNullValues(Value(nullptr), 0), Value(nullptr));
}

TEST(NetJSONReadingTest, TextDecodesStrictlyInTheNamedCharacterSet)
{
    EXPECT_EQ(NetDecodeText("caf\xe9", "iso-8859-1"), "caf\u00e9");
    EXPECT_EQ(NetDecodeText("caf\xc3\xa9", "utf-8"), "caf\u00e9");
    EXPECT_FALSE(NetDecodeText("caf\xe9", "utf-8"));
    EXPECT_FALSE(NetDecodeText("\xc0\xaf", "UTF-8")); // an overlong form
    EXPECT_FALSE(NetDecodeText("abc", "no-such-charset"));
    EXPECT_EQ(NetDecodeText("", "UTF-8"), "");
    EXPECT_TRUE(NetIsKnownCharset("Shift_JIS"));
    EXPECT_FALSE(NetIsKnownCharset(""));
    EXPECT_EQ(NetDecodeTextLossily("a\xff", "UTF-8"), "a\ufffd");
}

TEST(NetResponseErrorTest, ChainingKeepsAnExistingUnderlyingError)
{
    Error outer("outer", 1);
    Error inner("inner", 2);
    EXPECT_FALSE(NetErrorWithUnderlyingError(std::nullopt, std::nullopt));
    EXPECT_EQ(NetErrorWithUnderlyingError(std::nullopt, inner)->domain(), "inner");
    EXPECT_EQ(NetErrorWithUnderlyingError(outer, std::nullopt)->underlyingError(), nullptr);

    auto chained = NetErrorWithUnderlyingError(outer, inner);
    ASSERT_TRUE(chained && chained->underlyingError());
    EXPECT_EQ(chained->domain(), "outer");
    EXPECT_EQ(chained->underlyingError()->domain(), "inner");

    auto again = NetErrorWithUnderlyingError(chained, Error("third", 3));
    EXPECT_EQ(again->underlyingError()->domain(), "inner");
}

TEST(NetResponseErrorTest, FindsAContentTypeRejectionAnywhereInTheChain)
{
    Error rejection(NetURLResponseSerializationErrorDomain, NetURLErrorCannotDecodeContentData);
    Error status(NetURLResponseSerializationErrorDomain, NetURLErrorBadServerResponse);
    EXPECT_FALSE(NetErrorOrUnderlyingErrorHasCodeInDomain(std::nullopt));
    EXPECT_FALSE(NetErrorOrUnderlyingErrorHasCodeInDomain(status));
    EXPECT_TRUE(NetErrorOrUnderlyingErrorHasCodeInDomain(rejection));
    auto deep = NetErrorWithUnderlyingError(Error("a", 1), NetErrorWithUnderlyingError(status, rejection));
    EXPECT_TRUE(NetErrorOrUnderlyingErrorHasCodeInDomain(deep));
    EXPECT_FALSE(NetErrorOrUnderlyingErrorHasCodeInDomain(Error("other", NetURLErrorCannotDecodeContentData)));
}
