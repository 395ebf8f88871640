#include "platform/foundation/ObjectDescription.h"

#include <gtest/gtest.h>

using namespace morvix::platform;

TEST(ObjectDescriptionTest, ScalarsReadAsThePlatformDescribesThem)
{
    EXPECT_EQ(objectDescription(Value(42)), "42");
    EXPECT_EQ(objectDescription(Value(42.0)), "42");
    EXPECT_EQ(objectDescription(Value(0.5)), "0.5");
    EXPECT_EQ(objectDescription(Value(true)), "1");
    EXPECT_EQ(objectDescription(Value(false)), "0");
    EXPECT_EQ(objectDescription(Value("a b \"c\"")), "a b \"c\"");
    EXPECT_EQ(objectDescription(Value(nullptr)), "<null>");
}

TEST(ObjectDescriptionTest, ContainersIndentSortKeysAndQuoteOnlyStringsThatNeedIt)
{
    EXPECT_EQ(objectDescription(Value::parse(R"([1, "a b"])")), "(\n    1,\n    \"a b\"\n)");
    EXPECT_EQ(objectDescription(Value::array()), "(\n)");
    EXPECT_EQ(objectDescription(Value::object()), "{\n}");
    Value nested = Value::parse(R"({"z": [true, null, "x_1"], "a b": {"k": ""}, "m": "q\"\\\n"})");
    EXPECT_EQ(objectDescription(nested),
        "{\n"
        "    \"a b\" = {\n"
        "        k = \"\";\n"
        "    };\n"
        "    m = \"q\\\"\\\\\\n\";\n"
        "    z = (\n"
        "        1,\n"
        "        <null>,\n"
        "        x_1\n"
        "    );\n"
        "}");
}
