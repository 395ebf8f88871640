#include "widgets/text/TextSizeMeasurement.h"

#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>

using namespace morvix;
using morvix::platform::Value;

namespace {

class NoClient : public ClientContext {
public:
    std::shared_ptr<RemoteObject> objectById(const std::string&) override { return nullptr; }
    void removeObjectById(const std::string&) override { }
    void log(const LogEntry&) override { }
};

class TextSizeMeasurementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::MainLoop::main().resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        token = platform::NotificationCenter::defaultCenter()->addObserver(Message::kSendNotification, nullptr,
            [this](const platform::Notification& notification) {
                auto message = std::dynamic_pointer_cast<Notification>(std::any_cast<std::shared_ptr<Message>>(notification.object));
                ASSERT_TRUE(message);
                for (const auto& operation : message->getMessageOperations())
                    sent.push_back(operation.toOperationArray(message->getTarget()));
            });
        service = std::static_pointer_cast<TextSizeMeasurement>(
            TextSizeMeasurement::create(std::string(TextSizeMeasurement::kRemoteType), nullptr, client));
    }
    void TearDown() override
    {
        service.reset();
        token = {};
        platform::NotificationCenter::resetDefaultForTesting();
        platform::MainLoop::main().resetForTesting();
    }

    void measure(const char* properties)
    {
        Value value = Value::parse(properties);
        service->callWithProperties(&value, "measureItems");
    }
    Value onlyReply() const
    {
        EXPECT_EQ(sent.size(), 1u);
        if (sent.size() != 1)
            return nullptr;
        EXPECT_EQ(sent[0][0], "call");
        EXPECT_EQ(sent[0][1], "zub.client.TextSizeMeasurement");
        EXPECT_EQ(sent[0][2], "storeMeasurements");
        return sent[0][3];
    }

    std::shared_ptr<NoClient> client = std::make_shared<NoClient>();
    std::shared_ptr<TextSizeMeasurement> service;
    platform::ObserverToken token;
    std::vector<Value> sent;
};

} // namespace

TEST_F(TextSizeMeasurementTest, RepliesAtOnceWithEverySize)
{
    // Widths as pango-view --dpi=72 --hinting=none --hint-metrics=off --subpixel-positions
    // measures them; heights are the faces' line heights rounded up.
    measure(R"({"items": [["a", "Hello World", ["DejaVu Sans"], 14, false, false, null, false],
                          ["b", "<b>Push</b>", ["No Such"], 16, false, false, -1, true],
                          ["c", "The quick brown fox jumps over the lazy dog", ["sans-serif"], 14, false, false, 100, false]]})");
    Value reply = onlyReply();
    EXPECT_EQ(reply["results"]["a"], Value::parse("[81, 17]"));
    EXPECT_EQ(reply["results"]["b"], Value::parse("[45, 19]"));
    EXPECT_LE(reply["results"]["c"][0].get<int>(), 100);
    EXPECT_EQ(reply["results"]["c"][1], 66);
}

TEST_F(TextSizeMeasurementTest, EmptyOrAbsentItemsReplyWithEmptyResults)
{
    measure(R"({"items": []})");
    measure(R"({})");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][3].dump(), R"({"results":{}})");
    EXPECT_EQ(sent[1][3].dump(), R"({"results":{}})");
}

TEST_F(TextSizeMeasurementTest, LaterItemWithTheSameIdWins)
{
    measure(R"({"items": [["x", "a", [], 12, false, false, null, false],
                          ["y", "", [], 12, false, false, null, false],
                          ["x", "", [], 12, true, false, 0, false]]})");
    EXPECT_EQ(onlyReply()["results"].dump(), R"({"x":[0,0],"y":[0,0]})");
}

TEST_F(TextSizeMeasurementTest, NonTextIdsAreKeyedByTheirText)
{
    measure(R"({"items": [[7, "", [], 12, false, false, null, false], [1.5, "", [], 12, 0, 1, null, 0]]})");
    EXPECT_EQ(onlyReply()["results"].dump(), R"({"7":[0,0],"1.5":[0,0]})");
}

TEST_F(TextSizeMeasurementTest, MalformedItemsFailTheOperationWithoutReply)
{
    for (const char* items : {
             R"(["x", "text", [], 12, false, false, null])",
             R"(["x", 5, [], 12, false, false, null, false])",
             R"(["x", "text", "DejaVu Sans", 12, false, false, null, false])",
             R"(["x", "text", [5], 12, false, false, null, false])",
             R"(["x", "text", [], "12", false, false, null, false])",
             R"(["x", "text", [], 12, null, false, null, false])",
             R"(["x", "text", [], 12, false, false, "100", false])",
             R"("x")",
         }) {
        Value properties = { { "items", Value::array({ Value::parse(items) }) } };
        try {
            service->callWithProperties(&properties, "measureItems");
            ADD_FAILURE() << "accepted " << items;
        } catch (const RemoteException& exception) {
            EXPECT_TRUE(exception.isIncorrectParameter()) << items;
        }
    }
    Value notAnArray = Value::parse(R"({"items": "abc"})");
    EXPECT_THROW(service->callWithProperties(&notAnArray, "measureItems"), RemoteException);
    EXPECT_TRUE(sent.empty());
}

TEST_F(TextSizeMeasurementTest, ExtremeSizesAndWidthsAreMeasuredWithoutFault)
{
    measure(R"({"items": [["zero", "text", [], 0, false, false, null, false],
                          ["negative", "text", [], -5, false, false, null, false],
                          ["huge", "text", [], 1e300, false, false, null, false],
                          ["wide", "text", [], 12, false, false, 1e300, false],
                          ["narrow", "text", [], 12, false, false, 0.001, false]]})");
    Value results = onlyReply()["results"];
    // Sizes below 0 are taken as 0; sizes and widths beyond what pango takes are clamped.
    EXPECT_EQ(results["zero"], Value::parse("[0, 0]"));
    EXPECT_EQ(results["negative"], Value::parse("[0, 0]"));
    EXPECT_GT(results["huge"][0].get<int>(), 10000);
    EXPECT_EQ(results["wide"][1], 14);
    EXPECT_GT(results["narrow"][1].get<int>(), results["wide"][1].get<int>()); // a character per line
}
