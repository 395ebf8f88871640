#include "core/protocol/ProtocolReader.h"

#include "core/protocol/CommandOperator.h"
#include "core/protocol/ProtocolProcessor.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace morvix;
using platform::Value;

namespace {

// Records what the reader hands over, in order, as text: "head <key> <value>" and
// "op <operation>". An "error" head key stops the message, as the real operator does.
class RecordingOperator final : public CommandOperator {
public:
    static std::shared_ptr<RecordingOperator> create()
    {
        return std::shared_ptr<RecordingOperator>(new RecordingOperator);
    }

    std::optional<std::string> processHead(const Value& value, const std::string& key, const std::atomic<bool>&) override
    {
        events.push_back("head " + key + " " + value.dump());
        if (onEvent)
            onEvent();
        if (key == "error" && value.is_string())
            return value.get<std::string>();
        return std::nullopt;
    }

    std::optional<Value> processOperation(const Value& operation, const std::atomic<bool>&) override
    {
        events.push_back("op " + operation.dump());
        if (onEvent)
            onEvent();
        return std::nullopt;
    }

    std::vector<std::string> events;
    std::function<void()> onEvent;

private:
    RecordingOperator()
        : CommandOperator({})
    {
    }
};

struct Outcome {
    std::vector<std::string> events;
    ProtocolReader::Status status;
    std::optional<long> errorCode;
    bool operator==(const Outcome&) const = default;
};

Outcome readInChunks(std::string_view body, const std::vector<std::size_t>& cuts)
{
    auto recorder = RecordingOperator::create();
    auto reader = ProtocolReader::create(recorder);
    reader->open();
    std::size_t start = 0;
    for (std::size_t cut : cuts) {
        reader->write(body.substr(start, cut - start));
        start = cut;
    }
    reader->write(body.substr(start));
    reader->close();
    auto error = reader->error();
    return { recorder->events, reader->status(), error ? std::optional<long>(error->code()) : std::nullopt };
}

Outcome read(std::string_view body)
{
    return readInChunks(body, {});
}

std::vector<std::string> expectedEvents(const std::string& body);

const std::string kMessage = R"({"head":{"requestCounter":3,"url":"x"},"operations":[)"
                             R"(["create","w1","zub.widgets.Label",{"text":"é\u00e9","b":1,"a":[1.5,-2,true,null]}],)"
                             R"(["set","w1",{"visible":false}],"skipped",{"also":"skipped"},)"
                             R"(["call","w1","go",{"deep":{"head":{"not":"special"}}}]]})";

} // namespace

TEST(ProtocolReaderTest, HandsHeadMembersAndOperationsOverInDocumentOrder)
{
    auto outcome = read(kMessage);
    EXPECT_EQ(outcome.events, (std::vector<std::string> {
                                  "head requestCounter 3",
                                  "head url \"x\"",
                                  R"(op ["create","w1","zub.widgets.Label",{"text":"éé","b":1,"a":[1.5,-2,true,null]}])",
                                  R"(op ["set","w1",{"visible":false}])",
                                  R"(op ["call","w1","go",{"deep":{"head":{"not":"special"}}}])",
                              }));
    EXPECT_EQ(outcome.status, ProtocolReader::Status::Complete);
    EXPECT_FALSE(outcome.errorCode);
}

TEST(ProtocolReaderTest, EverySplitGivesTheSameOutcomeAsOneChunk)
{
    std::vector<std::string> bodies = { kMessage, kMessage.substr(0, 90), kMessage + " x", R"({"head":{"error":"no"}})" };
    for (const auto& body : bodies) {
        Outcome whole = read(body);
        for (std::size_t cut = 0; cut <= body.size(); ++cut)
            ASSERT_EQ(readInChunks(body, { cut }), whole) << "cut at " << cut << " of " << body;
        std::vector<std::size_t> everyByte;
        for (std::size_t cut = 1; cut < body.size(); ++cut)
            everyByte.push_back(cut);
        ASSERT_EQ(readInChunks(body, everyByte), whole) << body;
    }
}

TEST(ProtocolReaderTest, OperationsAreAppliedInsideTheWriteThatCompletesThem)
{
    auto recorder = RecordingOperator::create();
    auto reader = ProtocolReader::create(recorder);
    reader->write(R"({"operations":[["set","a",{}],["set","b")");
    EXPECT_EQ(recorder->events.size(), 1u);
    EXPECT_EQ(reader->status(), ProtocolReader::Status::InsufficientData);
    reader->write(R"(,{}]]})");
    EXPECT_EQ(recorder->events.size(), 2u);
    EXPECT_EQ(reader->status(), ProtocolReader::Status::Complete);
}

TEST(ProtocolReaderTest, OperationsBeforeHeadAreAppliedFirst)
{
    auto outcome = read(R"({"operations":[["destroy","w1"]],"head":{"requestCounter":1}})");
    EXPECT_EQ(outcome.events, (std::vector<std::string> { R"(op ["destroy","w1"])", "head requestCounter 1" }));
}

TEST(ProtocolReaderTest, KeysKeepWireOrderAndRepeatedKeysKeepFirstPositionWithLastValue)
{
    auto outcome = read(R"({"operations":[["set","w",{"b":1,"a":2,"b":3,"c":{"z":0,"y":1}}]]})");
    ASSERT_EQ(outcome.events.size(), 1u);
    EXPECT_EQ(outcome.events[0], R"(op ["set","w",{"b":3,"a":2,"c":{"z":0,"y":1}}])");
}

// The reader builds each operation in what the ones before it left: nothing of an earlier
// operation (its elements, members, text or escapes) may show in a later one.
TEST(ProtocolReaderTest, OperationsOfChangingShapesReadAsWrittenOneAfterAnother)
{
    std::string longText(300, 'l');
    std::string body = R"({"head":{"url":"a\u00e9b"},"operations":[)"
                       R"(["create","w1","T",{"text":"a text past the inline size","k":[1,2,3,4,5,6,7,8,9],"o":{"x":"y"}}],)"
                       R"(["set","w1",{}],["set","w1",{"k":[]}],["call","w1","m"],)"
                       R"(["set","w1",{"o":{"z":"\n"},"text":"é\u00e9"}],["set","w1",{"text":")"
        + longText + R"("}],["set","w1",{"text":"s"}],["destroy","w1"]]})";
    auto outcome = read(body);
    EXPECT_EQ(outcome.events, (std::vector<std::string> {
                                  R"(head url "aéb")",
                                  R"(op ["create","w1","T",{"text":"a text past the inline size","k":[1,2,3,4,5,6,7,8,9],"o":{"x":"y"}}])",
                                  R"(op ["set","w1",{}])",
                                  R"(op ["set","w1",{"k":[]}])",
                                  R"(op ["call","w1","m"])",
                                  R"(op ["set","w1",{"o":{"z":"\n"},"text":"éé"}])",
                                  R"(op ["set","w1",{"text":")" + longText + R"("}])",
                                  R"(op ["set","w1",{"text":"s"}])",
                                  R"(op ["destroy","w1"])",
                              }));
    EXPECT_EQ(outcome.status, ProtocolReader::Status::Complete);
}

TEST(ProtocolReaderTest, RepeatedHeadKeyIsHandedOverEachTime)
{
    auto outcome = read(R"({"head":{"requestCounter":1,"requestCounter":2}})");
    EXPECT_EQ(outcome.events, (std::vector<std::string> { "head requestCounter 1", "head requestCounter 2" }));
}

TEST(ProtocolReaderTest, HeadAndOperationsAreSpecialOnlyWithTheirOwnKinds)
{
    EXPECT_TRUE(read(R"({"head":[1],"operations":{"a":["set","w",{}]}})").events.empty());
    EXPECT_TRUE(read(R"({"other":{"head":{"a":1},"operations":[["set","w",{}]]}})").events.empty());
}

TEST(ProtocolReaderTest, TopLevelArrayOrScalarAppliesNothingAndIsNoError)
{
    for (std::string body : { R"([{"head":{"a":1}},[["set","w",{}]]])", R"("text")", "true" }) {
        auto outcome = read(body);
        EXPECT_TRUE(outcome.events.empty()) << body;
        EXPECT_EQ(outcome.status, ProtocolReader::Status::Complete) << body;
        EXPECT_FALSE(outcome.errorCode) << body;
    }
    // The parser cannot know that a top-level number has ended until more bytes come.
    EXPECT_EQ(read("12").errorCode, 2);
}

TEST(ProtocolReaderTest, EmptyBodyIsSuccess)
{
    auto reader = ProtocolReader::create(RecordingOperator::create());
    EXPECT_EQ(reader->status(), ProtocolReader::Status::None);
    EXPECT_FALSE(reader->error());
}

TEST(ProtocolReaderTest, TruncatedBodyKeepsWhatWasAppliedAndReportsInsufficientData)
{
    auto recorder = RecordingOperator::create();
    auto reader = ProtocolReader::create(recorder);
    reader->write(R"({"operations":[["set","a",{}],["set","b",{"x")");
    EXPECT_EQ(recorder->events.size(), 1u);
    auto error = reader->error();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "com.zerivoquastel.morvix");
    EXPECT_EQ(error->code(), 2);
    EXPECT_EQ(error->description(), "Server Response");
    EXPECT_EQ(error->failureReason(), "Insufficient data was returned.");
    EXPECT_EQ(error->userInfo().size(), 2u);
}

TEST(ProtocolReaderTest, MalformedBodiesAreParseErrorsThatStick)
{
    for (std::string body : { "{]", R"({"operations":[]} x)", "{}{}", R"({"a":01})", "{/*c*/}",
             R"({"a":"\xff"})", R"({"a":[1,]})", "nul" "l!" }) {
        auto recorder = RecordingOperator::create();
        auto reader = ProtocolReader::create(recorder);
        reader->write(body);
        reader->write(" ");
        auto error = reader->error();
        ASSERT_TRUE(error) << body;
        EXPECT_EQ(error->code(), 3) << body;
        EXPECT_EQ(error->description(), "Server Response");
        EXPECT_EQ(error->failureReason(), "Response could not be parsed.");
        EXPECT_EQ(error->userInfo().size(), 2u);
    }
}

namespace {

// Whatever the split, a body reads as it does in one chunk.
Outcome readSplitEveryWay(const std::string& body)
{
    Outcome whole = read(body);
    std::vector<std::size_t> everyByte;
    for (std::size_t cut = 1; cut < body.size(); ++cut) {
        everyByte.push_back(cut);
        EXPECT_EQ(readInChunks(body, { cut }), whole) << "cut at " << cut << " of " << body;
    }
    EXPECT_EQ(readInChunks(body, everyByte), whole) << body;
    return whole;
}

} // namespace

TEST(ProtocolReaderTest, StringsMustBeWellFormedUTF8)
{
    // Overlong forms, encoded surrogates, beyond U+10FFFF, stray and missing continuation bytes,
    // in values and in keys.
    for (std::string bad : { "\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80", "\xED\xBF\xBF",
             "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\x80", "a\xE2\x82", "\xE2\x82" "a", "\xFE" }) {
        auto outcome = readSplitEveryWay(R"({"operations":[["set","w",{"a":"x)" + bad + R"("}]]})");
        EXPECT_TRUE(outcome.events.empty());
        EXPECT_EQ(outcome.errorCode, 3);
        EXPECT_EQ(readSplitEveryWay(R"({"head":{")" + bad + R"(":1}})").errorCode, 3);
    }
    auto outcome = readSplitEveryWay(R"({"head":{"k\u00e9":"\u00e9\u20ac\ud83d\ude00 é€😀 \u0000\"\\\/\b\f\n\r\t"}})");
    EXPECT_EQ(outcome.events, (std::vector<std::string> { "head k\u00e9 " + Value(std::string("é€😀 é€😀 \0\"\\/\b\f\n\r\t", 29)).dump() }));
    EXPECT_FALSE(outcome.errorCode);
}

TEST(ProtocolReaderTest, EscapedLoneSurrogatesReadAsReplacementCharacters)
{
    auto outcome = readSplitEveryWay(R"({"head":{"a":"\ud800","b":"\udc00x","c":"\ud800\u0041","d":"\ud800\ud800\udc00",)"
                                     R"("e":"\udbff\udfff","\ud800":"f"}})");
    EXPECT_EQ(outcome.events, (std::vector<std::string> { "head a \"\uFFFD\"", "head b \"\uFFFDx\"", "head c \"\uFFFDA\"",
                                  "head d \"\uFFFD\U00010000\"", "head e \"\U0010FFFF\"", "head \uFFFD \"f\"" }));
    EXPECT_FALSE(outcome.errorCode);
}

TEST(ProtocolReaderTest, LongTokensOverManyChunksReadAsInOneChunk)
{
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += i % 7 ? "abc\\u00e9" : "\\\"\\ud83d\\ude00";
    std::string number = "12" + std::string(30000, '3') + ".25e-30000";
    std::string body = R"({"operations":[["set","w",{"t":")" + text + R"(","n":)" + number + "}]]}";
    std::vector<std::size_t> cuts;
    for (std::size_t cut = 5; cut < body.size(); cut += 5)
        cuts.push_back(cut);
    Outcome outcome = readInChunks(body, cuts);
    EXPECT_EQ(outcome, read(body));
    EXPECT_EQ(outcome.events, expectedEvents(body));
    EXPECT_EQ(outcome.status, ProtocolReader::Status::Complete);
    // A byte that a held token cannot take is refused in the write that brings it, as in one
    // chunk: a control character in a long string, an escape that is none, a letter in a long
    // number.
    for (std::string bad : { "\x01", "\\q", "\\u12x4" }) {
        std::string start = R"({"operations":[["set","w",{"t":")" + std::string(100000, 'a');
        EXPECT_EQ(readInChunks(start + bad, { 10, 50000, start.size() }).status, ProtocolReader::Status::Error) << bad;
    }
    std::string digits = R"({"head":{"n":)" + std::string(100000, '7');
    EXPECT_EQ(readInChunks(digits + "x", { 10, 50000, digits.size() }).status, ProtocolReader::Status::Error);
    std::string zero = R"({"head":{"n":-0)" + std::string(10, '1') + " ";
    EXPECT_EQ(readInChunks(zero, { 14, 15, 20 }), read(zero));
}

TEST(ProtocolReaderTest, ApplicationStopsAtTheBadByte)
{
    auto outcome = read(R"({"operations":[["set","a",{}],["set" "b"]]})");
    EXPECT_EQ(outcome.events, (std::vector<std::string> { R"(op ["set","a",{}])" }));
    EXPECT_EQ(outcome.errorCode, 3);
}

TEST(ProtocolReaderTest, ErrorHeadStopsEverythingAfterItAndWinsOverOtherErrors)
{
    auto recorder = RecordingOperator::create();
    auto reader = ProtocolReader::create(recorder);
    reader->write(R"({"operations":[["set","a",{}]],"head":{"url":"u","error":"Session expired","requestCounter":4},)"
                  R"("operations":[["set","b",{}]])");
    EXPECT_EQ(recorder->events, (std::vector<std::string> { R"(op ["set","a",{}])", "head url \"u\"", "head error \"Session expired\"" }));
    EXPECT_EQ(reader->status(), ProtocolReader::Status::Error);
    auto error = reader->error();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 406);
    EXPECT_EQ(error->description(), "Server Issue");
    EXPECT_EQ(error->failureReason(), "Session expired");
    EXPECT_EQ(error->userInfo().size(), 2u);
    EXPECT_EQ(reader->protocolError(), "Session expired");
}

TEST(ProtocolReaderTest, NestingBeyondTheLimitIsAParseError)
{
    auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    EXPECT_FALSE(read(nested(ProtocolProcessor::kMaximumDepth)).errorCode);
    EXPECT_EQ(read(nested(ProtocolProcessor::kMaximumDepth + 1)).errorCode, 3);
    EXPECT_EQ(read(std::string(100000, '[')).errorCode, 3);
    std::string deepOperation = R"({"operations":[["set","w",)" + std::string(2000, '[');
    auto outcome = read(deepOperation);
    EXPECT_TRUE(outcome.events.empty());
    EXPECT_EQ(outcome.errorCode, 3);
}

TEST(ProtocolReaderTest, NumbersKeepTheirKindsAndLargeIntegersDoNotFailTheBody)
{
    auto outcome = read(R"({"operations":[["set","w",{"a":-9223372036854775808,"b":18446744073709551615,)"
                        R"("c":123456789012345678901234567890,"d":0.5,"e":1e400,"f":true,"g":-0}]]})");
    ASSERT_EQ(outcome.events.size(), 1u);
    EXPECT_FALSE(outcome.errorCode);
    Value operation = Value::parse(outcome.events[0].substr(3));
    const Value& properties = operation[2];
    EXPECT_TRUE(properties["a"].is_number_integer());
    EXPECT_EQ(properties["a"].get<std::int64_t>(), INT64_MIN);
    EXPECT_EQ(properties["b"].get<std::uint64_t>(), UINT64_MAX);
    EXPECT_TRUE(properties["c"].is_number_float());
    EXPECT_DOUBLE_EQ(properties["c"].get<double>(), 1.2345678901234568e29);
    EXPECT_DOUBLE_EQ(properties["d"].get<double>(), 0.5);
    EXPECT_TRUE(properties["f"].is_boolean());
    EXPECT_EQ(properties["g"], 0);
}

TEST(ProtocolReaderTest, AbandonedReaderAppliesNothingMore)
{
    auto recorder = RecordingOperator::create();
    auto reader = ProtocolReader::create(recorder);
    recorder->onEvent = [&] {
        if (recorder->events.size() == 2)
            reader->abandon();
    };
    reader->write(R"({"head":{"a":1},"operations":[["set","a",{}],["set","b",{}]]})");
    reader->write(R"(x)");
    EXPECT_TRUE(reader->isAbandoned());
    EXPECT_EQ(recorder->events.size(), 2u);
}

TEST(ProtocolReaderTest, KeepsACopyOfTheBodyAndRefusesBytesOnceClosed)
{
    auto recorder = RecordingOperator::create();
    auto reader = ProtocolReader::create(recorder);
    reader->open();
    EXPECT_EQ(reader->write(R"({"operations":)"), 14);
    EXPECT_EQ(reader->write(R"([["destroy","a"]]})"), 18);
    EXPECT_EQ(reader->data(), R"({"operations":[["destroy","a"]]})");
    EXPECT_TRUE(reader->hasSpaceAvailable());
    reader->close();
    EXPECT_FALSE(reader->hasSpaceAvailable());
    EXPECT_EQ(reader->write(R"(["destroy","b"])"), -1);
    EXPECT_EQ(recorder->events.size(), 1u);

    // Told to discard, the reader keeps nothing of what it has parsed.
    auto discarding = ProtocolReader::create(recorder, ProtocolReader::BodyCopy::Discard);
    discarding->write(R"({"operations":[["destroy","c"]]})");
    EXPECT_EQ(recorder->events.size(), 2u);
    EXPECT_EQ(discarding->data(), "");
}

TEST(ProtocolReaderTest, GoneOperatorReceivesNothing)
{
    auto recorder = RecordingOperator::create();
    auto reader = ProtocolReader::create(recorder);
    recorder.reset();
    reader->write(R"({"operations":[["destroy","a"]]})");
    EXPECT_EQ(reader->status(), ProtocolReader::Status::Complete);
}

namespace {

// Random protocol-shaped bodies, with repeated keys and deep values, for comparing against an
// independent JSON parser.
class BodyGenerator {
public:
    explicit BodyGenerator(unsigned seed)
        : m_random(seed)
    {
    }

    std::string body()
    {
        std::string text = "{";
        int members = pick(1, 4);
        for (int i = 0; i < members; ++i) {
            if (i)
                text += ",";
            int kind = pick(0, 2);
            if (kind == 0)
                text += "\"head\":" + object(2);
            else if (kind == 1)
                text += "\"operations\":" + operations();
            else
                text += key() + ":" + value(2);
        }
        return text + "}";
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    std::string key() { return "\"" + std::string(1, static_cast<char>('a' + pick(0, 4))) + "\""; }

    std::string value(int depth)
    {
        switch (depth > 0 ? pick(0, 6) : pick(0, 4)) {
        case 0: return pick(0, 9) ? std::to_string(pick(-1000, 1000)) : "1" + std::string(pick(1, 300), '7') + ".5e3";
        case 1: return pick(0, 1) ? "true" : "false";
        case 2: return "null";
        case 3: return string();
        case 4: return std::to_string(pick(0, 100)) + ".25";
        case 5: return object(depth - 1);
        default: return array(depth - 1);
        }
    }

    // Short texts mostly; now and then one long enough to run over many chunks, with escapes
    // and characters of every UTF-8 length.
    std::string string()
    {
        static const char* const kPieces[] = { "s", "\\n", "\\\"", "\\\\", "\\u00e9", "\\ud83d\\ude00", "é", "€", "😀", "\\/" };
        std::string text = "\"";
        int pieces = pick(0, 9) ? pick(0, 4) : pick(100, 2000);
        for (int i = 0; i < pieces; ++i)
            text += kPieces[pick(0, 9)];
        return text + "\"";
    }

    std::string object(int depth)
    {
        std::string text = "{";
        int members = pick(0, 5);
        for (int i = 0; i < members; ++i)
            text += (i ? "," : "") + key() + ":" + value(depth);
        return text + "}";
    }

    std::string array(int depth)
    {
        std::string text = "[";
        int elements = pick(0, 4);
        for (int i = 0; i < elements; ++i)
            text += (i ? "," : "") + value(depth);
        return text + "]";
    }

    std::string operations()
    {
        std::string text = "[";
        int count = pick(0, 4);
        for (int i = 0; i < count; ++i)
            text += (i ? "," : "") + (pick(0, 4) ? "[\"set\",\"w\"," + object(2) + "]" : value(1));
        return text + "]";
    }

    std::mt19937 m_random;
};

// What the reader should hand over, worked out independently with nlohmann's parser and its
// event callback: members of the top-level "head" object and array elements of the top-level
// "operations" array, each as it closes.
std::vector<std::string> expectedEvents(const std::string& body)
{
    using Event = Value::parse_event_t;
    std::vector<std::string> events;
    std::string topKey;
    std::string headKey;
    bool inHead = false;
    bool inOperations = false;
    auto callback = [&](int depth, Event event, Value& parsed) {
        if (depth == 1 && event == Event::key)
            topKey = parsed.get<std::string>();
        if (depth == 1 && event == Event::object_start)
            inHead = topKey == "head";
        if (depth == 1 && event == Event::array_start)
            inOperations = topKey == "operations";
        if (depth == 1 && (event == Event::object_end || event == Event::array_end || event == Event::value))
            inHead = inOperations = false;
        if (depth != 2)
            return true;
        bool closesValue = event == Event::value || event == Event::object_end || event == Event::array_end;
        if (inHead && event == Event::key)
            headKey = parsed.get<std::string>();
        else if (inHead && closesValue)
            events.push_back("head " + headKey + " " + parsed.dump());
        else if (inOperations && event == Event::array_end)
            events.push_back("op " + parsed.dump());
        return true;
    };
    Value document = Value::parse(body, callback);
    return events;
}

} // namespace

TEST(ProtocolReaderTest, RandomBodiesMatchAnIndependentParserUnderRandomSplits)
{
    std::mt19937 splitter(7);
    std::size_t handedOver = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::string body = BodyGenerator(seed).body();
        std::vector<std::size_t> cuts;
        for (std::size_t i = 1; i < body.size(); ++i) {
            if (splitter() % 5 == 0)
                cuts.push_back(i);
        }
        Outcome outcome = readInChunks(body, cuts);
        ASSERT_EQ(outcome.status, ProtocolReader::Status::Complete) << body;
        ASSERT_EQ(outcome.events, expectedEvents(body)) << body;
        handedOver += outcome.events.size();
    }
    EXPECT_GT(handedOver, 300u); // the generator does reach the head and the operations
}
