#include "networking/NetJSONReading.h"
#include "networking/NetURLResponseSerialization.h"

#include "tests/networking/SerializerTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace morvix;
using morvix::testing::fixture;
using morvix::testing::responseWithContentType;
using morvix::platform::Error;
using morvix::platform::Value;

namespace {

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

// The serializer --------------------------------------------------------------------------------

#include "networking/NetJSONResponseSerializer.h"
#include "platform/net/HTTPURLResponse.h"

TEST(NetJSONResponseSerializerTest, ALoneSpaceAndAnEmptyBodyAreNothingWithoutAnError)
{
    auto serializer = NetJSONResponseSerializer::serializer();
    std::string space = " ";
    std::string empty;
    std::optional<Error> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(200, "application/json"), &space, &error).has_value());
    EXPECT_FALSE(error);
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(200, "application/json"), &empty, &error).has_value());
    EXPECT_FALSE(error);
    // An empty body leaves the validation error as it is.
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(500, "application/json"), &empty, &error).has_value());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1011);
}

TEST(NetJSONResponseSerializerTest, AStatusFailureStillDecodes)
{
    auto serializer = NetJSONResponseSerializer::serializer();
    std::string body = fixture("ordered.json");
    std::optional<Error> error;
    std::any object = serializer->responseObjectForResponse(responseWithContentType(500, "application/json"), &body, &error);
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(std::any_cast<Value>(object)["zeta"], 1);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1011);
    // Without an out-error an invalid response is not decoded.
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(500, "application/json"), &body, nullptr).has_value());
}

TEST(NetJSONResponseSerializerTest, AnUnacceptableContentTypeGivesNothing)
{
    auto serializer = NetJSONResponseSerializer::serializer();
    std::string body = "{}";
    std::optional<Error> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(200, "text/html"), &body, &error).has_value());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1016);
    for (const char* type : { "text/json", "text/javascript" })
        EXPECT_TRUE(serializer->responseObjectForResponse(responseWithContentType(200, type), &body, &error).has_value()) << type;
}

TEST(NetJSONResponseSerializerTest, DecodesInTheResponseCharacterSet)
{
    auto serializer = NetJSONResponseSerializer::serializer();
    std::string latin1 = "{\"s\":\"caf\xe9\"}";
    std::optional<Error> error;
    std::any object = serializer->responseObjectForResponse(responseWithContentType(200, "application/json; charset=iso-8859-1"), &latin1, &error);
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(std::any_cast<Value>(object)["s"], "caf\u00e9");
    // An unknown charset falls back to the serializer's encoding.
    std::string utf8 = "{\"s\":\"caf\xc3\xa9\"}";
    object = serializer->responseObjectForResponse(responseWithContentType(200, "application/json; charset=x-nothing"), &utf8, &error);
    EXPECT_EQ(std::any_cast<Value>(object)["s"], "caf\u00e9");
}

TEST(NetJSONResponseSerializerTest, UndecodableTextIsAnErrorNotNothing)
{
    auto serializer = NetJSONResponseSerializer::serializer();
    std::string broken = "{\"s\":\"\xff\xfe\"}";
    std::optional<Error> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(200, "application/json"), &broken, &error).has_value());
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(NetURLResponseSerializationErrorDomain, -1016));
    EXPECT_EQ(error->description(), "Data failed decoding as a UTF-8 string");
    ASSERT_TRUE(error->failureReason());
    EXPECT_EQ(error->failureReason()->rfind("Could not decode string: {\"s\":", 0), 0u);
    EXPECT_FALSE(error->underlyingError());
}

TEST(NetJSONResponseSerializerTest, AStatusFailureReadsAsTheStatusWithTheDecodingErrorUnderneath)
{
    auto serializer = NetJSONResponseSerializer::serializer();
    std::string broken = "{\"a\":";
    std::optional<Error> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(500, "application/json"), &broken, &error).has_value());
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(NetURLResponseSerializationErrorDomain, -1011));
    EXPECT_EQ(error->description(), "Request failed: " + platform::HTTPURLResponse::localizedStringForStatusCode(500) + " (500)");
    ASSERT_TRUE(error->underlyingError());
    EXPECT_TRUE(error->underlyingError()->is(NetCocoaErrorDomain, NetPropertyListReadCorruptError));

    std::string undecodable = "{\"s\":\"\xff\xfe\"}";
    error.reset();
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(404, "application/json"), &undecodable, &error).has_value());
    ASSERT_TRUE(error && error->underlyingError());
    EXPECT_EQ(error->code(), -1011);
    EXPECT_TRUE(error->underlyingError()->is(NetURLResponseSerializationErrorDomain, -1016));

    std::string scalar = "3";
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(200, "application/json"), &scalar, &error).has_value());
    serializer->setReadingOptions(NetJSONReadingAllowFragments);
    EXPECT_TRUE(serializer->responseObjectForResponse(responseWithContentType(200, "application/json"), &scalar, &error).has_value());
}

TEST(NetJSONResponseSerializerTest, RemovesNullMapValuesWhenAsked)
{
    auto serializer = NetJSONResponseSerializer::serializer();
    serializer->setRemovesKeysWithNullValues(true);
    std::string body = fixture("ordered.json");
    std::optional<Error> error;
    Value value = std::any_cast<Value>(serializer->responseObjectForResponse(responseWithContentType(200, "application/json"), &body, &error));
    EXPECT_FALSE(value["mid"].contains("n"));
    EXPECT_TRUE(value["alpha"][1].is_null());
}

TEST(NetJSONResponseSerializerTest, RandomBodiesInAnyCharsetGiveAnObjectOrAnErrorNeverSilence)
{
    auto serializer = NetJSONResponseSerializer::serializer();
    std::mt19937 random(77);
    for (const char* charset : { "utf-8", "utf-16", "utf-16be", "iso-8859-1", "shift_jis", "windows-1252", "x-unknown" }) {
        auto response = responseWithContentType(200, std::string("application/json; charset=") + charset);
        for (int round = 0; round < 300; ++round) {
            std::string body(1 + random() % 40, '\0');
            for (auto& byte : body)
                byte = static_cast<char>(random());
            if (body == " ")
                continue; // a lone space is nothing, without an error, on purpose
            std::optional<Error> error;
            auto object = serializer->responseObjectForResponse(response, &body, &error);
            EXPECT_TRUE(object.has_value() || error.has_value()) << charset << " round " << round;
        }
    }
}
