#include "core/outgoing/ServerMessage.h"

#include "platform/foundation/SystemLog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace morvix;
using platform::Value;

TEST(ServerMessageTest, OperationsAreAlwaysWrittenAndAnEmptyHeadNever)
{
    ServerMessage empty(Value::object(), {});
    EXPECT_EQ(empty.serialize(), R"({"operations":[]})");

    ServerMessage message(Value { { "zub_initialize", true } }, { WireOperation::fromArray(Value::parse(R"(["set","w1",{"x":1}])")) });
    EXPECT_EQ(message.serialize(), R"({"head":{"zub_initialize":true},"operations":[["set","w1",{"x":1}]]})");
}

TEST(ServerMessageTest, PingBodyCarriesTheCounterBesideIt)
{
    ServerMessage message(Value { { "ping", true } }, {});
    message.setRequestCounter(3);
    EXPECT_EQ(message.serialize(), R"({"head":{"ping":true,"requestCounter":3},"operations":[]})");
}

TEST(ServerMessageTest, ACounterAddedLaterStillLeadsWithTheHead)
{
    ServerMessage message(Value::object(), { WireOperation::fromArray(Value::parse(R"(["notify","w1","Selection",{}])")) });
    message.setRequestCounter(0);
    EXPECT_EQ(message.serialize(), R"({"head":{"requestCounter":0},"operations":[["notify","w1","Selection",{}]]})");
    EXPECT_EQ(message.json()["head"]["requestCounter"], 0);
}

TEST(ServerMessageTest, WholeDoublesInTheRangeOfA64BitIntegerAreWrittenAsIntegers)
{
    // 2^53 + 2 and 2^62 are whole doubles beyond the exact integers of a double; -2^63 is the
    // last whole double a signed 64-bit integer holds, 2^63 the first it does not.
    Value value = Value::array({ 0.1, 1.5, 2.0, -0.0, 1e15, 9007199254740994.0, 4611686018427387904.0,
        -9223372036854775808.0, 9223372036854775808.0, 1e21, -7, true, nullptr, 12345678901234LL,
        std::numeric_limits<std::uint64_t>::max(), -0.000001 });
    EXPECT_EQ(ServerMessage::serialize(value),
        "[0.1,1.5,2,0,1000000000000000,9007199254740994,4611686018427387904,-9223372036854775808,"
        "9.223372036854776e+18,1e+21,-7,true,null,12345678901234,18446744073709551615,-1e-06]");
    auto parsed = Value::parse(ServerMessage::serialize(Value::array({ 0.1, 1.0 / 3.0 })));
    EXPECT_EQ(parsed[0].get<double>(), 0.1);
    EXPECT_EQ(parsed[1].get<double>(), 1.0 / 3.0);
}

TEST(ServerMessageTest, NonFiniteNumbersBecomeNullSoTheBodyStaysValid)
{
    testing::internal::CaptureStderr();
    Value value { { "width", std::nan("") }, { "height", std::numeric_limits<double>::infinity() },
        { "depth", -std::numeric_limits<double>::infinity() } };
    auto text = ServerMessage::serialize(value);
    auto warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(text, R"({"width":null,"height":null,"depth":null})");
    EXPECT_NE(warnings.find("not finite"), std::string::npos);
}

TEST(ServerMessageTest, StringsAreEscapedAndUnicodePassesThrough)
{
    Value value { { "text", "a\"b\\c\n\t\x01 / \xc3\xa9 \xf0\x9f\x98\x80" } };
    auto text = ServerMessage::serialize(value);
    EXPECT_EQ(text, "{\"text\":\"a\\\"b\\\\c\\n\\t\\u0001 / \xc3\xa9 \xf0\x9f\x98\x80\"}");
    EXPECT_EQ(Value::parse(text), value);
}

TEST(ServerMessageTest, CompactTextHasExactlyTheEscapesAndPunctuationPeersRead)
{
    // Control characters without a short escape go as \u00XX in upper-case hex; DEL and the
    // solidus go as they are. Empty containers, literals and nesting carry no spaces.
    Value value { { "a", Value::array({ true, false, nullptr, Value::array(), Value::object() }) },
        { "b", Value { { "", std::string("\x00\x07\x08\x0B\x0C\x0E\x1F\x7F/\r", 10) } } } };
    EXPECT_EQ(ServerMessage::serialize(value),
        "{\"a\":[true,false,null,[],{}],\"b\":{\"\":\"\\u0000\\u0007\\b\\u000B\\f\\u000E\\u001F\x7F/\\r\"}}");
    ServerMessage message(Value { { "ping", true } }, { WireOperation::fromArray(Value::parse(R"(["call","w","go",{}])")),
                                                          WireOperation::fromArray(Value::parse(R"(["other",1])")) });
    EXPECT_EQ(message.serialize(), R"({"head":{"ping":true},"operations":[["call","w","go",{}],["other",1]]})");
}

TEST(ServerMessageTest, ContainersTooDeepForTheGeneratorBecomeNull)
{
    Value value = Value::array();
    for (int i = 0; i < 200; ++i)
        value = Value::array({ std::move(value) });
    testing::internal::CaptureStderr();
    auto text = ServerMessage::serialize(value);
    testing::internal::GetCapturedStderr();
    auto parsed = Value::parse(text); // valid JSON
    int depth = 0;
    for (const Value* inner = &parsed; inner->is_array(); inner = &(*inner)[0])
        ++depth;
    EXPECT_EQ(depth, 127);
}

TEST(ServerMessageTest, IllFormedUTF8IsReplacedAndLoggedOncePerMessage)
{
    // Each maximal ill-formed part becomes one U+FFFD: an overlong form byte by byte, a cut-off
    // sequence as a whole, a surrogate and a code point above U+10FFFF byte by byte; keys too.
    const std::string replacement = "\xEF\xBF\xBD";
    std::string bad = "a\xC0\xAF" "b\xE2\x82" "A\xED\xA0\x80" "c\xF4\x90\x80\x80" "\xE2\x82";
    std::vector<std::string> lines;
    auto previous = platform::setSystemLogSink([&](const std::string& line) { lines.push_back(line); });
    ServerMessage message(Value::object(), { WireOperation::fromArray(Value::array({ "set", "t", Value { { "text", bad }, { "k\xFF", "\xC3\xA9" } } })) });
    auto text = message.serialize();
    platform::setSystemLogSink(previous);

    auto r = [&](int count) {
        std::string repeated;
        for (int i = 0; i < count; ++i)
            repeated += replacement;
        return repeated;
    };
    Value expected = Value::array({ "set", "t", Value { { "text", "a" + r(2) + "b" + r(1) + "A" + r(3) + "c" + r(4) + r(1) },
                                                    { "k" + r(1), "\xC3\xA9" } } });
    EXPECT_EQ(Value::parse(text)["operations"][0], expected); // the body is valid JSON again
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("12 invalid UTF-8 sequences"), std::string::npos) << lines[0];
}
