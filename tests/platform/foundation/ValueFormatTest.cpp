#include "platform/foundation/Digest.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/ThreadPool.h"
#include "platform/foundation/Value.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace morvix::platform;

TEST(ValueTest, ProtocolEqualityComparesNumbersByValueAndMapsWithoutOrder)
{
    EXPECT_TRUE(valuesEqual(Value(1), Value(1.0)));
    EXPECT_TRUE(valuesEqual(Value(true), Value(1)));
    EXPECT_FALSE(valuesEqual(Value(true), Value(2)));
    EXPECT_FALSE(valuesEqual(Value("1"), Value(1)));
    EXPECT_FALSE(valuesEqual(Value(nullptr), Value(0)));
    Value a = Value::parse(R"({"x":1,"y":[1,{"z":true}]})");
    Value b = Value::parse(R"({"y":[1.0,{"z":1}],"x":1})");
    EXPECT_TRUE(valuesEqual(a, b));
    EXPECT_FALSE(valuesEqual(a, Value::parse(R"({"x":1})")));
    EXPECT_TRUE(isNumber(Value(false)));
    EXPECT_FALSE(isNumber(Value("3")));
}

TEST(ValueTest, ObjectsKeepTheirKeyOrder)
{
    Value v = Value::parse(R"({"z":1,"a":2,"m":3})");
    std::string keys;
    for (const auto& [key, value] : v.items())
        keys += key;
    EXPECT_EQ(keys, "zam");
    EXPECT_EQ(v.dump(), R"({"z":1,"a":2,"m":3})");
}

TEST(ValueTest, NumberTextIsTheShortestDecimal)
{
    EXPECT_EQ(numberText(Value(3)), "3");
    EXPECT_EQ(numberText(Value(3.0)), "3");
    EXPECT_EQ(numberText(Value(0.1)), "0.1");
    EXPECT_EQ(numberText(Value(-2.5)), "-2.5");
    EXPECT_EQ(numberText(Value(true)), "1");
}

TEST(FormatTest, FillsConversionsInOrder)
{
    EXPECT_EQ(format("Property %@ of %@ is %ld", "alpha", std::string("w1"), 3L), "Property alpha of w1 is 3");
    EXPECT_EQ(format("%.04f|%5d|%-3s|%%|%x", 1.5, 42, "ab", 255), "1.5000|   42|ab |%|ff");
    EXPECT_EQ(format("%@ and %@", nullptr), "(null) and (null)");
    EXPECT_EQ(format("value %@", Value::parse("[1,\"a\"]")), "value [1,\"a\"]");
    EXPECT_EQ(format("unknown %k stays"), "unknown %k stays");
    EXPECT_EQ(format("trailing %"), "trailing %");
}

TEST(ErrorTest, KeepsUserInformation)
{
    Error error("com.example", 417, "Unauthorized Access", "wrong server");
    error.setUnderlyingError(Error("inner", -1));
    error.set("data", std::string("body"));
    EXPECT_EQ(error.description(), "Unauthorized Access");
    EXPECT_EQ(error.failureReason(), "wrong server");
    ASSERT_TRUE(error.underlyingError());
    EXPECT_EQ(error.underlyingError()->code(), -1);
    EXPECT_EQ(*error.value<std::string>("data"), "body");
    EXPECT_EQ(error.value<int>("data"), nullptr);
    EXPECT_FALSE(Error("d", 1).failureReason());
}

TEST(DigestTest, Md5MatchesKnownDigests)
{
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
}

TEST(QueueTest, SerialQueueRunsInOrderAndSyncWaits)
{
    SerialQueue queue("morvix.test");
    std::vector<int> order;
    for (int i = 0; i < 100; ++i)
        queue.async([&order, i] { order.push_back(i); });
    queue.sync([&] { order.push_back(100); });
    ASSERT_EQ(order.size(), 101u);
    for (int i = 0; i <= 100; ++i)
        EXPECT_EQ(order[i], i);
    bool nested = false;
    queue.sync([&] { queue.sync([&] { nested = true; }); });
    EXPECT_TRUE(nested);
}

TEST(QueueTest, ThreadPoolRunsEveryTask)
{
    std::atomic<int> ran = 0;
    {
        ThreadPool pool(3);
        for (int i = 0; i < 500; ++i)
            pool.async([&] { ++ran; });
    }
    EXPECT_EQ(ran, 500);
}
