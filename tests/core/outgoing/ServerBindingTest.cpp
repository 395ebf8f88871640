#include "core/outgoing/ServerBinding.h"

#include "core/outgoing/Notifications.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/outgoing/ServerMessage.h"
#include "platform/foundation/MainLoop.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>

using namespace morvix;
using namespace std::chrono_literals;
using platform::Value;

namespace {

// Stands in for the protocol transport: keeps the bodies it is asked to send and lets the test
// say when a request is in flight.
class FakeTransport final : public ServerTransport {
public:
    void newSession(const std::string& serverURL) override { calls.push_back("newSession " + serverURL); }
    void sendMessage(ServerMessage message) override
    {
        if (counter >= 0)
            message.setRequestCounter(counter);
        bodies.push_back(message.serialize());
        sentOnMainThread = platform::isMainThread();
        inFlight = true;
        if (auto hook = std::exchange(whileSending, nullptr))
            hook();
    }
    bool busy() override { return inFlight; }
    void queueFlushed() override { calls.push_back("queueFlushed"); }
    void suspend() override { calls.push_back("suspend"); }
    void resume() override { calls.push_back("resume"); }
    void retry() override { calls.push_back("retry"); }
    void sendShutdown() override
    {
        calls.push_back("sendShutdown");
        Notifications::forHead()->shutdown();
    }
    void destroy() override { calls.push_back("destroy"); }
    bool wasActive() override { return true; }
    void setRequestCounter(std::int64_t value) override { counter = value; }

    std::vector<std::string> calls;
    std::vector<std::string> bodies;
    std::function<void()> whileSending; // runs once, inside the next sendMessage
    bool inFlight = false;
    bool sentOnMainThread = false;
    std::int64_t counter = -1;
};

class ServerBindingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::install(clock);
        loop.resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        dispatcher = NotificationsDispatcher::create(platform::NotificationCenter::defaultCenter());
        binding = ServerBinding::create({}, [this](const std::weak_ptr<MorvixClient>&) {
            transport = std::make_shared<FakeTransport>();
            return transport;
        }, [] { return std::string("http://127.0.0.1:8080/app"); });
        dispatcher->addBinding(binding);
        dispatcher->start();
    }
    void TearDown() override
    {
        dispatcher.reset();
        binding.reset();
        loop.resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        platform::Clock::install(nullptr);
    }

    // Ends the request in flight the way the transport does.
    void finishRequest()
    {
        transport->inFlight = false;
        platform::NotificationCenter::defaultCenter()->post("com.zerivoquastel.morvix.ProcessingFinished");
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    platform::MainLoop& loop = platform::MainLoop::main();
    std::shared_ptr<NotificationsDispatcher> dispatcher;
    std::shared_ptr<ServerBinding> binding;
    std::shared_ptr<FakeTransport> transport;
};

std::vector<Value> parse(std::initializer_list<const char*> texts)
{
    std::vector<Value> values;
    for (const char* text : texts)
        values.push_back(Value::parse(text));
    return values;
}

} // namespace

TEST_F(ServerBindingTest, StartOpensASessionAndLifeCycleCallsReachTheTransport)
{
    binding->suspend();
    binding->resume();
    binding->retry();
    binding->receivedRequestCounter(9);
    EXPECT_EQ(transport->calls, (std::vector<std::string> { "newSession http://127.0.0.1:8080/app", "suspend", "resume", "retry" }));
    EXPECT_EQ(transport->counter, 9);
    EXPECT_TRUE(binding->isActive());
    EXPECT_FALSE(binding->isProcessing());
    EXPECT_FALSE(binding->supportsCustomDrawer());
}

TEST_F(ServerBindingTest, StopSendsTheShutdownHead)
{
    dispatcher->stop();
    ASSERT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->bodies[0], R"({"head":{"shutdown":true},"operations":[]})");
}

TEST_F(ServerBindingTest, StoredChangesOfOneKeyFoldIntoTheLaterValue)
{
    Notifications::forObject("t1")->attributeChanged("a", "text").store();
    Notifications::forObject("t1")->attributeChanged("ab", "text").store();
    binding->flush();
    ASSERT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->bodies[0], R"({"operations":[["set","t1",{"text":"ab"}]]})");
    EXPECT_TRUE(binding->isEmpty());
}

TEST_F(ServerBindingTest, ANumberRecordedFloatingPointKeepsItsFractionAndTheMarkStaysWithTheRecordedValue)
{
    // Marked values keep ".0" at any size and sign of zero, also when their set folds with
    // others; the rest of the set, a nested value and a later plain value of the key do not.
    Notifications::forObject("d")->floatingPointChanged(-60, "offset").floatingPointChanged(-0.0, "zero").store();
    Notifications::forObject("d")->attributeChanged(2.0, "width").floatingPointChanged(1e20, "huge").store();
    Notifications::forObject("d")->attributeChanged(Value::parse(R"({"offset":3.0})"), "nested").store();
    Notifications::forObject("e")->attributeChanged(2.0, "offset").store();
    binding->flush();
    ASSERT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->bodies[0], R"({"operations":[["set","d",{"offset":-60.0,"zero":-0.0,"width":2,)"
                                    R"("huge":100000000000000000000.0,"nested":{"offset":3}}],["set","e",{"offset":2}]]})");

    finishRequest();
    Notifications::forObject("d")->floatingPointChanged(1.5, "offset").store();
    Notifications::forObject("d")->attributeChanged(4.0, "offset").store();
    binding->flush();
    ASSERT_EQ(transport->bodies.size(), 2u);
    EXPECT_EQ(transport->bodies[1], R"({"operations":[["set","d",{"offset":4}]]})");

    // A later session's object under the same id records its own values.
    dispatcher->reset();
    dispatcher->start();
    Notifications::forObject("d")->attributeChanged(-60.0, "offset").store();
    binding->flush();
    ASSERT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->bodies[0], R"({"operations":[["set","d",{"offset":-60}]]})");
}

TEST_F(ServerBindingTest, AnEventRepeatedWhileARequestIsInFlightGoesOutOnce)
{
    transport->inFlight = true;
    for (int i = 0; i < 3; ++i)
        Notifications::forObject("b1")->fireSelection();
    EXPECT_TRUE(transport->bodies.empty());
    finishRequest();
    ASSERT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->bodies[0], R"({"operations":[["notify","b1","Selection",{}]]})");
}

TEST_F(ServerBindingTest, RepeatedBlocksMeldTheirSetsAndKeepOneEvent)
{
    transport->inFlight = true;
    Notifications::forObject("s1")->attributeChanged(1, "selection").fireSelection();
    Notifications::forObject("s1")->attributeChanged(2, "selection").attributeChanged(true, "focus").fireSelection();
    EXPECT_EQ(binding->queuedOperations(),
        parse({ R"(["set","s1",{"selection":2,"focus":true}])", R"(["notify","s1","Selection",{}])" }));
}

TEST_F(ServerBindingTest, EqualityIgnoresKeyOrderAndNumberKind)
{
    transport->inFlight = true;
    Notifications::forObject("c1")->fireEvent("Move", Value::parse(R"({"x":1,"y":2.0})"));
    Notifications::forObject("c1")->fireEvent("Move", Value::parse(R"({"y":2,"x":1.0})"));
    EXPECT_EQ(binding->queuedOperations().size(), 1u);
}

TEST_F(ServerBindingTest, EventsWithDifferentAttributesAreBothKeptInOrder)
{
    transport->inFlight = true;
    Notifications::forObject("c1")->fireEvent("Move", Value { { "x", 1 } });
    Notifications::forObject("c1")->fireEvent("Move", Value { { "x", 2 } });
    EXPECT_EQ(binding->queuedOperations(),
        parse({ R"(["notify","c1","Move",{"x":1}])", R"(["notify","c1","Move",{"x":2}])" }));
}

TEST_F(ServerBindingTest, OnlyAdjacentSetsOnOneTargetFold)
{
    Notifications::forObject("A")->attributeChanged(1, "x").store();
    Notifications::forObject("B")->attributeChanged(1, "x").store();
    Notifications::forObject("A")->attributeChanged(2, "y").store();
    Notifications::forObject("A")->attributeChanged(3, "x").store();
    EXPECT_EQ(binding->queuedOperations(),
        parse({ R"(["set","A",{"x":1}])", R"(["set","B",{"x":1}])", R"(["set","A",{"y":2,"x":3}])" }));
}

TEST_F(ServerBindingTest, MergeRulesOnAPlainQueue)
{
    auto wire = [](std::initializer_list<const char*> texts) {
        std::vector<WireOperation> operations;
        for (auto& array : parse(texts))
            operations.push_back(WireOperation::fromArray(std::move(array)));
        return operations;
    };
    auto arrays = [](const std::vector<WireOperation>& operations) {
        std::vector<Value> result;
        for (const auto& operation : operations)
            result.push_back(operation.toArray());
        return result;
    };
    // A longer block than the queue is appended, then folded where it joins.
    std::vector<WireOperation> queue = wire({ R"(["set","A",{"x":1}])" });
    ServerBinding::resolveInto(wire({ R"(["set","A",{"y":2}])", R"(["call","A","go",{}])" }), queue);
    EXPECT_EQ(arrays(queue), parse({ R"(["set","A",{"x":1,"y":2}])", R"(["call","A","go",{}])" }));
    // A call matching the tail is melded away; a different call is not.
    ServerBinding::resolveInto(wire({ R"(["call","A","go",{}])" }), queue);
    EXPECT_EQ(queue.size(), 2u);
    ServerBinding::resolveInto(wire({ R"(["call","A","stop",{}])" }), queue);
    EXPECT_EQ(queue.size(), 3u);
    // An empty block changes nothing; an array of another shape is only ever equal to itself.
    ServerBinding::resolveInto({}, queue);
    EXPECT_EQ(queue.size(), 3u);
    ServerBinding::resolveInto(wire({ R"(["set","A",{"x":1},"extra"])", R"(["set","A",{"x":1},"extra"])" }), queue);
    ServerBinding::resolveInto(wire({ R"(["set","A",{"x":1},"extra"])" }), queue);
    EXPECT_EQ(arrays(queue).back(), Value::parse(R"(["set","A",{"x":1},"extra"])"));
    EXPECT_EQ(queue.size(), 5u);
}

TEST_F(ServerBindingTest, ScheduledFlushComesAThirdOfASecondAfterTheLastSchedule)
{
    Notifications::forObject("d")->attributeChanged(320, "width").schedule();
    loop.advanceBy(200ms);
    Notifications::forObject("d")->attributeChanged(568, "height").schedule();
    loop.advanceBy(299ms);
    EXPECT_TRUE(transport->bodies.empty());
    loop.advanceBy(1ms);
    ASSERT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->bodies[0], R"({"operations":[["set","d",{"width":320,"height":568}]]})");
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
}

TEST_F(ServerBindingTest, ScheduleFromAnotherThreadFlushesOnTheMainLoop)
{
    std::thread([] { Notifications::forHead()->zubInitialize().schedule(); }).join();
    loop.advanceBy(300ms);
    ASSERT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->bodies[0], R"({"head":{"zub_initialize":true},"operations":[]})");
    EXPECT_TRUE(transport->sentOnMainThread);
}

TEST_F(ServerBindingTest, ProcessingFinishedFlushesAndCancelsThePendingFlush)
{
    Notifications::forObject("d")->attributeChanged(1, "x").schedule();
    finishRequest();
    EXPECT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
    loop.advanceBy(1s);
    EXPECT_EQ(transport->bodies.size(), 1u);
}

TEST_F(ServerBindingTest, NothingIsSentWhileBusyAndAnEmptyFlushReportsIt)
{
    transport->inFlight = true;
    Notifications::forHead()->ping();
    EXPECT_TRUE(transport->bodies.empty());
    transport->counter = 4;
    finishRequest();
    ASSERT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->bodies[0], R"({"head":{"ping":true,"requestCounter":4},"operations":[]})");
    finishRequest();
    EXPECT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->calls.back(), "queueFlushed");
}

TEST_F(ServerBindingTest, HeadAttributesAndOperationsTravelTogether)
{
    Notifications::forHead()->setAttribute(1, "custom").store();
    Notifications::forHead()->setAttribute(2, "custom").store();
    Notifications::forObject("w")->fireEvent("Help");
    ASSERT_EQ(transport->bodies.size(), 1u);
    EXPECT_EQ(transport->bodies[0], R"({"head":{"custom":2},"operations":[["notify","w","Help",{}]]})");
}

TEST_F(ServerBindingTest, AMessageChangedAfterItWasHandedOnDoesNotChangeTheQueue)
{
    auto message = Notifications::forObject("w");
    message->attributeChanged("a", "text").store();
    message->attributeChanged("b", "text");
    EXPECT_EQ(binding->queuedOperations(), parse({ R"(["set","w",{"text":"a"}])" }));
    message->store(); // handed on again: queued again, and folded
    EXPECT_EQ(binding->queuedOperations(), parse({ R"(["set","w",{"text":"b"}])" }));
}

TEST_F(ServerBindingTest, EveryOperationOfAMessageGoesOutAsRecordedEachTimeItIsHandedOn)
{
    auto message = Notifications::forObject("w");
    message->attributeChanged(1, "x").attributeChanged("a", "text").attributeChanged(2, "x");
    message->fireEvent("Scrolled", Value::array({ 1, 2 })); // attributes that are no map are sent as given
    message->call("measure", Value { { "size", 12 } }); // in flight: the whole message is queued again
    Notifications::forObject("w")->attributeChanged(true, "visible").store();
    finishRequest();
    EXPECT_EQ(transport->bodies, (std::vector<std::string> {
                                     R"({"operations":[["set","w",{"x":2,"text":"a"}],["notify","w","Scrolled",[1,2]]]})",
                                     R"({"operations":[["set","w",{"x":2,"text":"a"}],["notify","w","Scrolled",[1,2]],)"
                                     R"(["call","w","measure",{"size":12}],["set","w",{"visible":true}]]})",
                                 }));
}

TEST_F(ServerBindingTest, TheTransportSendsWithoutTheBindingsLockAndAFlushAskedMeanwhileIsNotLost)
{
    // A transport may reach the session while it sends (a reload takes the dispatcher's lock),
    // and a thread posting a message holds the dispatcher's lock while it reaches the binding:
    // the binding must not hold its own lock across the send. Here the transport waits for such
    // a thread, then the request ends at once and asks for the next flush from inside the send.
    std::future<void> poster;
    bool posterFinished = false;
    transport->whileSending = [&] {
        poster = std::async(std::launch::async, [] { Notifications::forObject("w")->attributeChanged(2, "x").store(); });
        posterFinished = poster.wait_for(10s) == std::future_status::ready; // a safety net against the deadlock
        finishRequest();
    };
    Notifications::forObject("w")->attributeChanged(1, "x").store();
    binding->flush();
    poster.wait();
    EXPECT_TRUE(posterFinished);
    EXPECT_EQ(transport->bodies,
        (std::vector<std::string> { R"({"operations":[["set","w",{"x":1}]]})", R"({"operations":[["set","w",{"x":2}]]})" }));
}

TEST_F(ServerBindingTest, ResetDropsEverythingAndAFlushWithoutTransportDiscards)
{
    Notifications::forObject("w")->attributeChanged(1, "x").schedule();
    auto old = transport;
    dispatcher->reset();
    EXPECT_EQ(old->calls.back(), "destroy");
    EXPECT_TRUE(binding->isEmpty());
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
    EXPECT_FALSE(binding->isActive());
    EXPECT_FALSE(binding->isProcessing());

    Notifications::forObject("w")->fireSelection(); // no transport: dropped, no crash
    EXPECT_TRUE(binding->isEmpty());
    dispatcher->start();
    EXPECT_NE(transport, old);
    binding->flush();
    EXPECT_TRUE(transport->bodies.empty());
    EXPECT_TRUE(old->bodies.empty());
}

TEST_F(ServerBindingTest, DestroyingTheBindingCancelsItsPendingFlush)
{
    Notifications::forObject("w")->attributeChanged(1, "x").schedule();
    EXPECT_EQ(loop.pendingTimerCount(), 1u);
    dispatcher.reset();
    binding.reset();
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
    loop.advanceBy(1s);
    EXPECT_TRUE(transport->bodies.empty());
}
