#include "core/outgoing/NotificationImpl.h"

#include "core/outgoing/HeadNotificationImpl.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notifications.h"
#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <vector>

using namespace morvix;
using platform::Value;

namespace {

// Records every message notification posted on the default centre.
class NotificationImplTest : public ::testing::Test {
protected:
    struct Posted {
        std::string name;
        std::shared_ptr<Message> message;
    };

    void SetUp() override
    {
        platform::NotificationCenter::resetDefaultForTesting();
        for (const char* name : { Message::kStoreNotification, Message::kScheduleNotification, Message::kSendNotification }) {
            tokens.push_back(platform::NotificationCenter::defaultCenter()->addObserver(name, nullptr,
                [this](const platform::Notification& notification) {
                    auto message = std::any_cast<std::shared_ptr<Message>>(notification.object);
                    EXPECT_EQ(notification.sender, message.get());
                    EXPECT_TRUE(notification.userInfo.is_null());
                    posted.push_back({ notification.name, message });
                }));
        }
    }
    void TearDown() override
    {
        tokens.clear();
        platform::NotificationCenter::resetDefaultForTesting();
    }

    static std::vector<Value> arrays(const Notification& message)
    {
        std::vector<Value> result;
        for (const auto& operation : message.getMessageOperations())
            result.push_back(operation.toOperationArray(message.getTarget()));
        return result;
    }

    std::vector<platform::ObserverToken> tokens;
    std::vector<Posted> posted;
};

} // namespace

TEST_F(NotificationImplTest, WireArraysHaveTheirExactShape)
{
    auto message = Notifications::forObject("w7");
    message->attributeChanged("a", "text");
    message->call("measure", Value { { "size", 12 } });
    message->fireEvent("Modify");
    EXPECT_EQ(arrays(*message), (std::vector<Value> {
                                    Value::parse(R"(["set","w7",{"text":"a"}])"),
                                    Value::parse(R"(["call","w7","measure",{"size":12}])"),
                                    Value::parse(R"(["notify","w7","Modify",{}])"),
                                }));
}

TEST_F(NotificationImplTest, ConsecutiveChangesFillOneSetAndAnEventStartsANewOne)
{
    auto message = Notifications::forObject("w1");
    message->attributeChanged("a", "text").attributeChanged(3, "selection").attributeChanged("b", "text");
    message->fireSelection();
    message->attributeChanged(5, "selection");
    auto wire = arrays(*message);
    ASSERT_EQ(wire.size(), 3u);
    EXPECT_EQ(wire[0].dump(), R"(["set","w1",{"text":"b","selection":3}])");
    EXPECT_EQ(wire[1].dump(), R"(["notify","w1","Selection",{}])");
    EXPECT_EQ(wire[2].dump(), R"(["set","w1",{"selection":5}])");
}

TEST_F(NotificationImplTest, ChangesPostNothingWhileCallsAndEventsSendAtOnce)
{
    auto message = Notifications::forObject("w1");
    message->attributeChanged(1, "x");
    EXPECT_TRUE(posted.empty());
    message->fireDefaultSelection();
    message->call("go");
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].name, Message::kSendNotification);
    EXPECT_EQ(posted[0].message, message);
    EXPECT_EQ(posted[1].name, Message::kSendNotification);
}

TEST_F(NotificationImplTest, HandingOnPostsTheMatchingNotificationWithTheMessageItself)
{
    auto message = Notifications::forObject("w1");
    message->store();
    message->schedule();
    message->send();
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(posted[0].name, Message::kStoreNotification);
    EXPECT_EQ(posted[1].name, Message::kScheduleNotification);
    EXPECT_EQ(posted[2].name, Message::kSendNotification);
    for (const auto& entry : posted)
        EXPECT_EQ(entry.message, message);
}

TEST_F(NotificationImplTest, ParametersAreCopiedAndMissingOnesBecomeEmptyMaps)
{
    Value attributes { { "x", 1 } };
    auto message = Notifications::forType("morvix.App");
    message->fireEvent("Resize", attributes);
    attributes["x"] = 2;
    message->call("noArguments", nullptr);
    auto wire = arrays(*message);
    EXPECT_EQ(wire[0].dump(), R"(["notify","morvix.App","Resize",{"x":1}])");
    EXPECT_EQ(wire[1].dump(), R"(["call","morvix.App","noArguments",{}])");
}

TEST_F(NotificationImplTest, ArraysAreSnapshotsOfTheOperation)
{
    auto message = Notifications::forObject("w1");
    message->attributeChanged(1, "x");
    auto before = arrays(*message);
    message->attributeChanged(2, "x");
    EXPECT_EQ(before[0].dump(), R"(["set","w1",{"x":1}])");
}

TEST_F(NotificationImplTest, HeadMessagesSendOnlyForPingAndShutdown)
{
    auto initialize = Notifications::forHead();
    initialize->zubInitialize().setAttribute("v", "custom");
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(initialize->getAttributes().dump(), R"({"zub_initialize":true,"custom":"v"})");

    auto ping = Notifications::forHead();
    ping->ping();
    auto shutdown = Notifications::forHead();
    shutdown->shutdown();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].name, Message::kSendNotification);
    EXPECT_EQ(posted[0].message, ping);
    EXPECT_EQ(ping->getAttributes().dump(), R"({"ping":true})");
    EXPECT_EQ(shutdown->getAttributes().dump(), R"({"shutdown":true})");
}

TEST_F(NotificationImplTest, DescriptionsNameEachOperation)
{
    auto message = NotificationImpl::create("w1");
    message->attributeChanged("a", "text");
    message->fireEvent("Modify", Value { { "x", 1 } });
    EXPECT_EQ(message->description(), "set: {\"text\":\"a\"}\nnotify: Modify, {\"x\":1}");
    auto head = HeadNotificationImpl::create();
    head->setRequestCounter(4);
    EXPECT_EQ(head->description(), R"({"requestCounter":4})");
}

// Handing on reuses a notification per thread and mode: a message handed on by an observer of
// the same mode gets a notification of its own, the outer observers still see their message
// afterwards, and no message is kept alive once its post is over.
TEST_F(NotificationImplTest, MessageHandedOnFromInsideAPostKeepsBothNotificationsApart)
{
    std::vector<std::shared_ptr<Message>> seenAfterInnerPost;
    std::weak_ptr<Notification> inner;
    auto token = platform::NotificationCenter::defaultCenter()->addObserver(Message::kStoreNotification, nullptr,
        [&](const platform::Notification& notification) {
            auto message = std::any_cast<std::shared_ptr<Message>>(notification.object);
            if (std::dynamic_pointer_cast<Notification>(message)->getTarget() != "outer")
                return;
            auto nested = Notifications::forObject("inner");
            inner = nested;
            nested->attributeChanged(1, "value").store();
            seenAfterInnerPost.push_back(std::any_cast<std::shared_ptr<Message>>(notification.object));
            EXPECT_EQ(notification.sender, message.get());
        });
    std::weak_ptr<Notification> outer;
    {
        auto message = Notifications::forObject("outer");
        outer = message;
        message->attributeChanged(2, "value").store();
    }
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(std::dynamic_pointer_cast<Notification>(posted[0].message)->getTarget(), "outer");
    EXPECT_EQ(std::dynamic_pointer_cast<Notification>(posted[1].message)->getTarget(), "inner");
    ASSERT_EQ(seenAfterInnerPost.size(), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<Notification>(seenAfterInnerPost[0])->getTarget(), "outer");
    posted.clear();
    seenAfterInnerPost.clear();
    EXPECT_TRUE(outer.expired());
    EXPECT_TRUE(inner.expired());
}
