#include "core/protocol/SortedDictionary.h"

#include <gtest/gtest.h>

#include <string>

using namespace morvix;
using platform::Value;

TEST(SortedDictionaryTest, RepeatedKeyKeepsFirstPositionAndTakesLastValue)
{
    // Past the index threshold as well as below it.
    for (int size : { 3, 40 }) {
        SortedDictionary dictionary;
        for (int i = size; i > 0; --i)
            dictionary.setObject("k" + std::to_string(i), i);
        dictionary.setObject("k2", "again");
        ASSERT_EQ(dictionary.count(), static_cast<std::size_t>(size));
        EXPECT_EQ(*dictionary.objectForKey("k2"), "again");
        auto keys = dictionary.allKeys();
        EXPECT_EQ(keys.front(), "k" + std::to_string(size));
        EXPECT_EQ(keys[size - 2], "k2");

        Value value = dictionary.takeValue();
        EXPECT_EQ(value.size(), static_cast<std::size_t>(size));
        EXPECT_EQ(value.begin().key(), "k" + std::to_string(size));
        EXPECT_EQ(value["k2"], "again");
        EXPECT_EQ(dictionary.count(), 0u);
    }
}

TEST(SortedDictionaryTest, RemovingKeepsTheOrderOfTheRestAndLookupsStayRight)
{
    SortedDictionary dictionary(4);
    for (int i = 0; i < 30; ++i)
        dictionary.setObject("k" + std::to_string(i), i);
    dictionary.removeObject("k3");
    dictionary.removeObject("absent");
    EXPECT_EQ(dictionary.count(), 29u);
    EXPECT_EQ(dictionary.objectForKey("k3"), nullptr);
    EXPECT_EQ(*dictionary.objectForKey("k29"), 29);
    EXPECT_EQ(dictionary.allKeys()[3], "k4");
    dictionary.setObject("k3", "back");
    EXPECT_EQ(dictionary.allKeys().back(), "k3");
}

TEST(SortedDictionaryTest, CopiesAnotherObjectInItsOrder)
{
    Value source = Value::parse(R"({"z":1,"a":{"y":2,"b":3}})");
    SortedDictionary copy(source);
    EXPECT_EQ(copy.allKeys(), (std::vector<std::string> { "z", "a" }));
    EXPECT_EQ(copy.takeValue().dump(), R"({"z":1,"a":{"y":2,"b":3}})");
    EXPECT_EQ(SortedDictionary(Value::array()).count(), 0u);
}
