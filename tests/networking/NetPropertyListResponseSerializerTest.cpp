#include "networking/NetJSONReading.h"
#include "networking/NetPropertyListReading.h"

#include "tests/networking/SerializerTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace morvix;
using morvix::testing::fixture;
using morvix::testing::responseWithContentType;
using morvix::platform::Error;
using morvix::platform::Value;

namespace {

void expectSample(const Value& value)
{
    EXPECT_EQ(value["name"], "Morvix");
    EXPECT_EQ(value["count"], 42);
    EXPECT_EQ(value["neg"], -7);
    EXPECT_EQ(value["ratio"], 0.25);
    EXPECT_EQ(value["on"], true);
    ASSERT_TRUE(value["blob"].is_binary());
    EXPECT_EQ(value["blob"].get_binary(), (std::vector<std::uint8_t> { 0, 1, 255 }));
    EXPECT_EQ(value["list"], Value::parse(R"(["a", 2])"));
    EXPECT_DOUBLE_EQ(value["when"].get<double>(), 86400.0); // one day after the 2001 epoch
}

} // namespace

TEST(NetPropertyListReadingTest, ReadsXMLAndBinaryListsWrittenByPython)
{
    NetPropertyListFormat format = NetPropertyListFormat::OpenStep;
    auto xml = NetPropertyListWithData(fixture("sample.xml.plist"), 0, &format, nullptr);
    ASSERT_TRUE(xml);
    EXPECT_EQ(format, NetPropertyListFormat::XML);
    expectSample(*xml);
    EXPECT_EQ(xml->begin().key(), "name"); // document order

    auto binary = NetPropertyListWithData(fixture("sample.binary.plist"), 0, &format, nullptr);
    ASSERT_TRUE(binary);
    EXPECT_EQ(format, NetPropertyListFormat::Binary);
    expectSample(*binary);
}

TEST(NetPropertyListReadingTest, OpenStepTextAndGarbageAreCorruptData)
{
    for (std::string text : { "{ a = b; }", "", "not a plist", "<plist><dict><key>a</key>" }) {
        std::optional<Error> error;
        EXPECT_FALSE(NetPropertyListWithData(text, 0, nullptr, &error)) << text;
        ASSERT_TRUE(error) << text;
        EXPECT_TRUE(error->is(NetCocoaErrorDomain, NetPropertyListReadCorruptError));
    }
}

TEST(NetPropertyListReadingTest, TruncatedAndCorruptedBodiesNeverCrash)
{
    std::mt19937 random(99);
    for (const char* name : { "sample.xml.plist", "sample.binary.plist" }) {
        std::string document = fixture(name);
        for (std::size_t length = 0; length < document.size(); ++length)
            (void)NetPropertyListWithData(document.substr(0, length), 0, nullptr, nullptr);
        for (int round = 0; round < 3000; ++round) {
            std::string mutated = document;
            for (int flips = 0; flips < 3; ++flips)
                mutated[random() % mutated.size()] = static_cast<char>(random());
            (void)NetPropertyListWithData(mutated, 0, nullptr, nullptr);
        }
    }
}

TEST(NetPropertyListReadingTest, DeepNestingIsRefused)
{
    std::string text = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int depth = 0; depth < kNetMaxNestingDepth + 10; ++depth)
        text += "<array>";
    for (int depth = 0; depth < kNetMaxNestingDepth + 10; ++depth)
        text += "</array>";
    text += "</plist>";
    EXPECT_FALSE(NetPropertyListWithData(text, 0, nullptr, nullptr));
}

// The serializer --------------------------------------------------------------------------------

#include "networking/NetPropertyListResponseSerializer.h"

TEST(NetPropertyListResponseSerializerTest, DecodesBothFormatsOfAcceptedResponses)
{
    auto serializer = NetPropertyListResponseSerializer::serializer();
    for (const char* name : { "sample.xml.plist", "sample.binary.plist" }) {
        std::string body = fixture(name);
        std::optional<Error> error;
        std::any object = serializer->responseObjectForResponse(responseWithContentType(200, "application/x-plist"), &body, &error);
        ASSERT_TRUE(object.has_value()) << name;
        expectSample(std::any_cast<Value>(object));
        EXPECT_FALSE(error);
    }
}

TEST(NetPropertyListResponseSerializerTest, ReadErrorsChainTheValidationErrorAndRejectionsGiveNothing)
{
    auto serializer = NetPropertyListResponseSerializer::serializer();
    std::string garbage = "garbage";
    std::optional<Error> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(500, "application/x-plist"), &garbage, &error).has_value());
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(NetCocoaErrorDomain, NetPropertyListReadCorruptError));
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), -1011);

    std::string body = fixture("sample.xml.plist");
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(200, "text/xml"), &body, &error).has_value());
    EXPECT_EQ(error->code(), -1016);

    error.reset();
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(200, "application/x-plist"), nullptr, &error).has_value());
    EXPECT_FALSE(error);

    auto copy = std::dynamic_pointer_cast<NetPropertyListResponseSerializer>(
        NetPropertyListResponseSerializer::serializerWithFormat(NetPropertyListFormat::Binary, 2)->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->format(), NetPropertyListFormat::Binary);
    EXPECT_EQ(copy->readOptions(), 2u);
}
