#include "core/protocol/ProtocolValuePool.h"

#include <gtest/gtest.h>

#include <string>

using namespace morvix;
using platform::Value;

TEST(ProtocolValuePoolTest, RecycledPartsComeBackEmptyAndOnlyWithinTheBounds)
{
    ProtocolValuePool pool;
    Value operation = Value::parse(R"(["set","w1",{"text":"a text longer than any inline string","rows":[[1,"x"],{"k":"v"}]}])");
    pool.recycle(operation);
    EXPECT_TRUE(operation.is_null());
    EXPECT_EQ(pool.spareStrings(), 5u);
    EXPECT_EQ(pool.spareArrays(), 3u);
    EXPECT_EQ(pool.spareObjects(), 2u);

    // What comes out holds only what is asked for, never what the spare held before.
    for (std::string_view text : { "", "x", "changed \u00e9", "a text longer than any inline string, and longer still" })
        EXPECT_EQ(pool.string(text), Value(std::string(text)));
    Value array = pool.array();
    Value object = pool.object();
    EXPECT_EQ(array, Value::array());
    EXPECT_EQ(object, Value::object());

    // One large value leaves no more than the bounds with the pool: long strings and large
    // containers are freed, and each kind keeps at most its number of spares.
    Value large = Value::array();
    for (std::size_t i = 0; i < 3 * ProtocolValuePool::kMaximumSpares; ++i)
        large.push_back({ { "key", "short" } });
    large.push_back(std::string(ProtocolValuePool::kMaximumStringCapacity + 1, 'x'));
    ProtocolValuePool bounded;
    bounded.recycle(large);
    EXPECT_EQ(bounded.spareStrings(), ProtocolValuePool::kMaximumSpares);
    EXPECT_EQ(bounded.spareObjects(), ProtocolValuePool::kMaximumSpares);
    EXPECT_EQ(bounded.spareArrays(), 0u);
    for (std::size_t i = 0; i < ProtocolValuePool::kMaximumSpares; ++i)
        EXPECT_LE(bounded.string("").get_ref<const std::string&>().capacity(), ProtocolValuePool::kMaximumStringCapacity);

    // Scalars have no parts to keep.
    Value number = 3.5;
    pool.recycle(number);
    EXPECT_TRUE(number.is_null());
}
