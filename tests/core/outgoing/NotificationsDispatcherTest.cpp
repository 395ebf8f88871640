#include "core/outgoing/NotificationsDispatcher.h"

#include "core/outgoing/Message.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace morvix;

namespace {

// A binding that records what reaches it, in one log shared by all bindings of a test.
class RecordingBinding final : public Binding {
public:
    RecordingBinding(std::string name, std::vector<std::string>& log)
        : m_name(std::move(name))
        , m_log(log)
    {
    }

    void start() override { record("start"); }
    void suspend() override { record("suspend"); }
    void resume() override
    {
        record("resume");
        if (onResume)
            onResume();
    }
    void retry() override { record("retry"); }
    void stop() override { record("stop"); }
    void sendMessage(const std::shared_ptr<Message>& message) override { recordMessage("send", message); }
    void scheduleMessage(const std::shared_ptr<Message>& message) override { recordMessage("schedule", message); }
    void storeMessage(const std::shared_ptr<Message>& message) override { recordMessage("store", message); }
    void reset() override { record("reset"); }
    bool isActive() override
    {
        record("isActive");
        return active;
    }
    bool isProcessing() override
    {
        record("isProcessing");
        return processing;
    }
    void receivedRequestCounter(std::int64_t counter) override { record("counter " + std::to_string(counter)); }
    bool supportsCustomDrawer() override { return false; }

    bool active = true;
    bool processing = false;
    std::function<void()> onResume;
    std::function<void()> onMessage; // runs after each message is recorded
    std::vector<std::shared_ptr<Message>> messages;

private:
    void record(const std::string& what) { m_log.push_back(m_name + " " + what); }
    void recordMessage(const std::string& what, const std::shared_ptr<Message>& message)
    {
        record(what);
        messages.push_back(message);
        if (onMessage)
            onMessage();
    }

    std::string m_name;
    std::vector<std::string>& m_log;
};

class NotificationsDispatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::NotificationCenter::resetDefaultForTesting();
        dispatcher = NotificationsDispatcher::create(platform::NotificationCenter::defaultCenter());
        first = std::make_shared<RecordingBinding>("a", log);
        second = std::make_shared<RecordingBinding>("b", log);
    }
    void TearDown() override
    {
        dispatcher.reset();
        platform::NotificationCenter::resetDefaultForTesting();
    }

    std::vector<std::string> log;
    std::shared_ptr<NotificationsDispatcher> dispatcher;
    std::shared_ptr<RecordingBinding> first;
    std::shared_ptr<RecordingBinding> second;
};

} // namespace

TEST_F(NotificationsDispatcherTest, WithoutBindingsNothingIsActiveOrProcessing)
{
    EXPECT_FALSE(dispatcher->isActive());
    EXPECT_FALSE(dispatcher->isProcessing());
    Notifications::forObject("w1")->fireSelection();
}

TEST_F(NotificationsDispatcherTest, EachModeReachesEveryBindingWithTheMessageItself)
{
    dispatcher->addBinding(first);
    dispatcher->addBinding(second);
    auto message = Notifications::forObject("w1");
    message->store();
    message->schedule();
    message->send();
    EXPECT_EQ(log, (std::vector<std::string> { "a store", "b store", "a schedule", "b schedule", "a send", "b send" }));
    ASSERT_EQ(first->messages.size(), 3u);
    EXPECT_EQ(first->messages[0], message);
    EXPECT_EQ(second->messages[2], message);
}

TEST_F(NotificationsDispatcherTest, LifeCycleCallsAndTheCounterFanOut)
{
    dispatcher->addBinding(first);
    dispatcher->addBinding(second);
    dispatcher->addBinding(first); // already there
    dispatcher->start();
    dispatcher->suspend();
    dispatcher->retry();
    dispatcher->stop();
    dispatcher->reset();
    dispatcher->receivedRequestCounter(7);
    EXPECT_EQ(log, (std::vector<std::string> { "a start", "b start", "a suspend", "b suspend", "a retry", "b retry",
                       "a stop", "b stop", "a reset", "b reset", "a counter 7", "b counter 7" }));
}

TEST_F(NotificationsDispatcherTest, ActiveNeedsEveryBindingAndStopsAtTheFirstInactiveOne)
{
    dispatcher->addBinding(first);
    dispatcher->addBinding(second);
    EXPECT_TRUE(dispatcher->isActive());
    first->active = false;
    log.clear();
    EXPECT_FALSE(dispatcher->isActive());
    EXPECT_EQ(log, (std::vector<std::string> { "a isActive" }));
}

TEST_F(NotificationsDispatcherTest, ProcessingStopsAtTheFirstBusyBinding)
{
    dispatcher->addBinding(first);
    dispatcher->addBinding(second);
    EXPECT_FALSE(dispatcher->isProcessing());
    first->processing = true;
    log.clear();
    EXPECT_TRUE(dispatcher->isProcessing());
    EXPECT_EQ(log, (std::vector<std::string> { "a isProcessing" }));
}

TEST_F(NotificationsDispatcherTest, ABindingMayPostFromInsideALifeCycleCall)
{
    // A resume that sends a "ping" re-enters the dispatcher on the same thread.
    dispatcher->addBinding(first);
    first->onResume = [] { Notifications::forHead()->ping(); };
    dispatcher->resume();
    EXPECT_EQ(log, (std::vector<std::string> { "a resume", "a send" }));
}

TEST_F(NotificationsDispatcherTest, RemovedBindingsAndDestroyedDispatchersReceiveNothing)
{
    dispatcher->addBinding(first);
    dispatcher->addBinding(second);
    dispatcher->removeBinding(first);
    Notifications::forObject("w1")->send();
    EXPECT_EQ(log, (std::vector<std::string> { "b send" }));
    dispatcher.reset();
    EXPECT_EQ(platform::NotificationCenter::defaultCenter()->observerCount(), 0u);
    Notifications::forObject("w1")->send();
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(NotificationsDispatcherTest, ABindingRemovedDuringAMessageLivesUntilTheWalkEndsWhichKeepsItsList)
{
    dispatcher->addBinding(first);
    dispatcher->addBinding(second);
    std::weak_ptr<RecordingBinding> removed = first;
    bool once = true;
    first->onMessage = [&] {
        if (!std::exchange(once, false))
            return;
        dispatcher->removeBinding(first);
        first.reset(); // the walk's list holds it now
        Notifications::forObject("inner")->store(); // a walk of its own over the new list
        EXPECT_FALSE(removed.expired());
    };
    Notifications::forObject("outer")->store();
    EXPECT_EQ(log, (std::vector<std::string> { "a store", "b store", "b store" }));
    EXPECT_TRUE(removed.expired());
}

TEST_F(NotificationsDispatcherTest, OtherObjectsPostedUnderAMessageNameAreIgnored)
{
    dispatcher->addBinding(first);
    platform::NotificationCenter::defaultCenter()->post(Message::kSendNotification, nullptr, nullptr, std::any(42));
    EXPECT_TRUE(log.empty());
}
