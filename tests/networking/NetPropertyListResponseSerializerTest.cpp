#include "networking/NetJSONReading.h"
#include "networking/NetPropertyListReading.h"

#include "tests/networking/SerializerTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

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

namespace {

void appendBigEndian(std::string& data, std::uint64_t value, int size)
{
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8)
        data += static_cast<char>((value >> shift) & 0xff);
}

// A binary list of `depth` arrays, each holding the next (object `link(index)`, or the array
// itself when `link` says so), the innermost one empty.
std::string nestedBinaryList(std::size_t depth, const std::function<std::uint64_t(std::uint64_t)>& link = nullptr)
{
    std::string data = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (std::size_t index = 0; index < depth; ++index) {
        offsets.push_back(data.size());
        if (index + 1 == depth) {
            data += '\xA0';
            break;
        }
        data += '\xA1';
        appendBigEndian(data, link ? link(index) : index + 1, 4);
    }
    std::uint64_t table = data.size();
    for (auto offset : offsets)
        appendBigEndian(data, offset, 4);
    data += std::string(6, '\0');
    data += '\x04'; // offset size
    data += '\x04'; // reference size
    appendBigEndian(data, depth, 8);
    appendBigEndian(data, 0, 8); // the top object
    appendBigEndian(data, table, 8);
    return data;
}

std::string nestedXMLList(std::size_t depth)
{
    std::string text = "<?xml version=\"1.0\"?><!-- <array> --><plist version=\"1.0\">";
    for (std::size_t level = 0; level < depth; ++level)
        text += "<array>";
    text += "<true/>";
    for (std::size_t level = 0; level < depth; ++level)
        text += "</array>";
    return text + "</plist>";
}

} // namespace

TEST(NetPropertyListReadingTest, DeepNestingIsRefusedBeforeTheListIsParsed)
{
    // The deepest accepted list: its innermost node sits at the limit.
    auto limit = static_cast<std::size_t>(kNetMaxNestingDepth);
    EXPECT_TRUE(NetPropertyListWithData(nestedXMLList(limit), 0, nullptr, nullptr));
    EXPECT_FALSE(NetPropertyListWithData(nestedXMLList(limit + 1), 0, nullptr, nullptr));
    EXPECT_TRUE(NetPropertyListWithData(nestedBinaryList(limit + 1), 0, nullptr, nullptr));
    EXPECT_FALSE(NetPropertyListWithData(nestedBinaryList(limit + 2), 0, nullptr, nullptr));

    // Lists deep enough to exhaust the stack of a recursive parser, and a list that holds
    // itself, are refused with the reader's error.
    for (const std::string& body : { nestedXMLList(300000), nestedBinaryList(300000),
             nestedBinaryList(3, [](std::uint64_t index) { return index == 1 ? 0 : index + 1; }) }) {
        std::optional<Error> error;
        EXPECT_FALSE(NetPropertyListWithData(body, 0, nullptr, &error));
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->is(NetCocoaErrorDomain, NetPropertyListReadCorruptError));
    }
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

TEST(NetPropertyListResponseSerializerTest, ReadErrorsOfAStatusFailureSitUnderTheStatusErrorAndRejectionsGiveNothing)
{
    auto serializer = NetPropertyListResponseSerializer::serializer();
    std::string garbage = "garbage";
    std::optional<Error> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(responseWithContentType(500, "application/x-plist"), &garbage, &error).has_value());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1011); // the status failure reads as such
    ASSERT_TRUE(error->underlyingError());
    EXPECT_TRUE(error->underlyingError()->is(NetCocoaErrorDomain, NetPropertyListReadCorruptError));

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
