#include "networking/NetHTTPRequestOperationManager.h"
#include "networking/NetJSONRequestSerializer.h"
#include "networking/NetPropertyListReading.h"
#include "networking/NetPropertyListRequestSerializer.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/Url.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>

using namespace morvix;
using namespace std::chrono_literals;
using morvix::platform::Error;
using morvix::platform::Url;
using morvix::platform::Value;
using morvix::testing::TestHttpServer;
using morvix::testing::TestResponse;

namespace {

class NetRequestBodyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        server.route("*", TestResponse().withHeader("Content-Type", "application/json").withBody("{}"));
        server.start();
        manager = NetHTTPRequestOperationManager::create(Url::parse(server.url("/api")));
    }
    void TearDown() override
    {
        server.stop();
        loop.resetForTesting();
    }

    /// POSTs through the manager and waits for its outcome; the error when it failed.
    std::optional<Error> post(const std::string& path, const Value& parameters)
    {
        std::optional<Error> failure;
        bool done = false;
        manager->POST(path, parameters, [&](const auto&, const std::any&) { done = true; },
            [&](const auto&, const Error& error) { failure = error; done = true; });
        EXPECT_TRUE(loop.runUntil([&] { return done; }, 10s));
        return failure;
    }

    platform::MainLoop& loop = platform::MainLoop::main();
    TestHttpServer server;
    std::shared_ptr<NetHTTPRequestOperationManager> manager;
};

const Value kParameters = Value::parse(R"({"b":[1,2.5,"x"],"a":{"t":true,"f":false,"n":-5},"s":"\u00e9 /"})");

} // namespace

TEST_F(NetRequestBodyTest, JSONBodiesReachTheServerAndURIMethodsUseTheQuery)
{
    manager->setRequestSerializer(NetJSONRequestSerializer::serializer());
    ASSERT_FALSE(post("json", kParameters));
    auto recorded = server.requests().back();
    EXPECT_EQ(recorded.header("Content-Type"), "application/json");
    EXPECT_EQ(Value::parse(recorded.body), kParameters);
    EXPECT_NE(recorded.body.find("\"t\":true"), std::string::npos) << "booleans are written as true/false, compactly";

    bool done = false;
    manager->GET("json", Value { { "q", "a b" } }, [&](const auto&, const std::any&) { done = true; }, [&](const auto&, const Error&) { done = true; });
    ASSERT_TRUE(loop.runUntil([&] { return done; }, 10s));
    EXPECT_EQ(server.requests().back().query, "q=a%20b");
    EXPECT_TRUE(server.requests().back().body.empty());

    // Pretty printing, a content type already on the request, and no parameters.
    auto pretty = NetJSONRequestSerializer::serializerWithWritingOptions(NetJSONRequestSerializer::kPrettyPrinted);
    platform::URLRequest request(Url::parse("http://h/"));
    request.setMethod("PUT");
    request.setValueForHeader("text/x-json", "content-type");
    auto serialized = pretty->requestBySerializingRequest(request, Value { { "a", 1 } }, nullptr);
    ASSERT_TRUE(serialized);
    EXPECT_EQ(serialized->valueForHeader("Content-Type"), "text/x-json");
    EXPECT_EQ(serialized->body(), "{\n  \"a\": 1\n}");
    auto bare = pretty->requestBySerializingRequest(request, std::nullopt, nullptr);
    EXPECT_FALSE(bare->body());
    EXPECT_EQ(std::dynamic_pointer_cast<NetJSONRequestSerializer>(pretty->copy())->writingOptions(), 1u);
}

TEST_F(NetRequestBodyTest, PropertyListBodiesInBothFormatsReadBackTheSame)
{
    for (auto format : { NetPropertyListFormat::XML, NetPropertyListFormat::Binary }) {
        manager->setRequestSerializer(NetPropertyListRequestSerializer::serializerWithFormat(format, 0));
        ASSERT_FALSE(post("plist", kParameters));
        auto recorded = server.requests().back();
        EXPECT_EQ(recorded.header("Content-Type"), "application/x-plist");
        NetPropertyListFormat read = NetPropertyListFormat::OpenStep;
        auto value = NetPropertyListWithData(recorded.body, 0, &read, nullptr);
        ASSERT_TRUE(value);
        EXPECT_EQ(read, format);
        EXPECT_TRUE(platform::valuesEqual(*value, kParameters)) << value->dump();
    }
    auto copy = std::dynamic_pointer_cast<NetPropertyListRequestSerializer>(
        NetPropertyListRequestSerializer::serializerWithFormat(NetPropertyListFormat::Binary, 3)->copy());
    EXPECT_EQ(copy->format(), NetPropertyListFormat::Binary);
    EXPECT_EQ(copy->writeOptions(), 3u);
}

TEST_F(NetRequestBodyTest, PropertyListsKeepEveryTextAndIntegerTheyTake)
{
    // The widest integers, and the controls XML keeps; a binary list keeps every control.
    Value edges = { { "max", INT64_MAX }, { "min", INT64_MIN }, { "ws", "a\tb\nc" }, { "<&>", "]]> & <x/>" } };
    Value controls = { { "c", "\x01\x1f\xEF\xBF\xBE" } };
    for (auto [format, value] : { std::pair { NetPropertyListFormat::XML, edges }, std::pair { NetPropertyListFormat::Binary, edges },
             std::pair { NetPropertyListFormat::Binary, controls } }) {
        std::optional<Error> error;
        auto data = NetPropertyListData(value, format, &error);
        ASSERT_TRUE(data) << error->failureReason().value_or("");
        auto read = NetPropertyListWithData(*data, 0, nullptr, nullptr);
        ASSERT_TRUE(read);
        EXPECT_TRUE(platform::valuesEqual(*read, value)) << read->dump();
    }
}

TEST_F(NetRequestBodyTest, UnwritableParametersGiveNoRequestAndTheManagerSendsNothing)
{
    struct Case {
        std::shared_ptr<NetHTTPRequestSerializer> serializer;
        Value parameters;
        std::string named;
    };
    Value notFinite = { { "a", { { "x", NAN } } } };
    Value badText = { { "list", { "ok", "\xC3(" } } };
    Value withNull = { { "n", nullptr } };
    auto binary = NetPropertyListRequestSerializer::serializerWithFormat(NetPropertyListFormat::Binary, 0);
    std::vector<Case> cases {
        { NetJSONRequestSerializer::serializer(), notFinite, "a[x]" },
        { NetJSONRequestSerializer::serializer(), badText, "list[1]" },
        { NetJSONRequestSerializer::serializer(), Value(3), "number" },
        { NetPropertyListRequestSerializer::serializer(), withNull, "\"n\"" },
        { NetPropertyListRequestSerializer::serializer(), Value { { "d", INFINITY } }, "\"d\"" },
        { NetPropertyListRequestSerializer::serializerWithFormat(NetPropertyListFormat::OpenStep, 0), Value { { "a", 1 } }, "format 1" },
        // What the writer would change: a text cut at its NUL, two keys merged into one, an
        // integer turned negative, characters that leave XML no reader takes.
        { NetPropertyListRequestSerializer::serializer(), Value { { "s", std::string("x\0y", 3) } }, "\"s\" holds a NUL" },
        { binary, Value { { "l", { "ok", std::string("x\0y", 3) } } }, "\"l[1]\" holds a NUL" },
        { binary, Value { { std::string("a\0b", 3), 1 } }, "\"a\\u0000b\"" },
        { binary, Value { { "n", { { "big", 9223372036854775808ull } } } }, "9223372036854775808 at \"n[big]\"" },
        { NetPropertyListRequestSerializer::serializer(), Value { { "big", 18446744073709551615ull } }, "18446744073709551615" },
        { NetPropertyListRequestSerializer::serializer(), Value { { "c", "bell\x07" } }, "U+0007" },
        { NetPropertyListRequestSerializer::serializer(), Value { { "k\x1b", 1 } }, "U+001B" },
        { NetPropertyListRequestSerializer::serializer(), Value::array({ "\xEF\xBF\xBF" }), "\"[0]\" holds U+FFFF" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        std::optional<Error> error;
        EXPECT_FALSE(c.serializer->requestWithMethod("POST", "http://h/", c.parameters, &error)) << c.named;
        ASSERT_TRUE(error) << c.named;
        EXPECT_EQ(error->domain(), NetURLRequestSerializationErrorDomain);
        EXPECT_NE(error->failureReason().value_or("").find(c.named), std::string::npos) << error->failureReason().value_or("");
    }

    // A null is fine in JSON; in a property list the manager makes no operation and fails.
    manager->setRequestSerializer(NetPropertyListRequestSerializer::serializer());
    auto before = server.requestCount();
    auto error = post("plist", withNull);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NetURLRequestSerializationErrorDomain);
    EXPECT_EQ(server.requestCount(), before);
}
