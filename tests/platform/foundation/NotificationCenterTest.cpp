#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

using namespace morvix::platform;

TEST(NotificationCenterTest, DeliversByNameAndSenderInTheOrderObserversWereAdded)
{
    auto center = NotificationCenter::create();
    int senderA = 0, senderB = 0;
    std::vector<std::string> calls;
    auto any = center->addObserver("changed", nullptr, [&](const Notification&) { calls.push_back("any"); });
    auto onlyA = center->addObserver("changed", &senderA, [&](const Notification&) { calls.push_back("a"); });
    auto all = center->addObserver("", nullptr, [&](const Notification& n) { calls.push_back("all:" + n.name); });
    center->post("changed", &senderB);
    center->post("changed", &senderA, Value { { "k", 1 } });
    center->post("other");
    EXPECT_EQ(calls, (std::vector<std::string> { "any", "all:changed", "any", "a", "all:changed", "all:other" }));
}

TEST(NotificationCenterTest, ObserverRemovedDuringPostIsNotCalledAgain)
{
    auto center = NotificationCenter::create();
    int firstCalls = 0, secondCalls = 0;
    ObserverToken second;
    ObserverToken first = center->addObserver("n", nullptr, [&](const Notification&) {
        ++firstCalls;
        second.reset();
        first.reset(); // removes itself
    });
    second = center->addObserver("n", nullptr, [&](const Notification&) { ++secondCalls; });
    center->post("n");
    center->post("n");
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
    EXPECT_EQ(center->observerCount(), 0u);
}

TEST(NotificationCenterTest, ManyRemovalsKeepTheSurvivorsInOrder)
{
    // Remote objects each observe; a session reset removes thousands of observers at once.
    auto center = NotificationCenter::create();
    std::vector<int> calls;
    std::vector<ObserverToken> tokens;
    for (int i = 0; i < 1000; ++i)
        tokens.push_back(center->addObserver("n", nullptr, [&calls, i](const Notification&) { calls.push_back(i); }));
    for (int i = 0; i < 1000; ++i) {
        if (i % 3 != 0)
            tokens[i].reset();
    }
    EXPECT_EQ(center->observerCount(), 334u);
    center->post("n");
    ASSERT_EQ(calls.size(), 334u);
    for (std::size_t k = 0; k < calls.size(); ++k)
        EXPECT_EQ(calls[k], static_cast<int>(k * 3));
    tokens.clear();
    EXPECT_EQ(center->observerCount(), 0u);
    calls.clear();
    center->post("n");
    EXPECT_TRUE(calls.empty());
}

TEST(NotificationCenterTest, ObserverAddedDuringPostWaitsForTheNextPost)
{
    auto center = NotificationCenter::create();
    int lateCalls = 0;
    std::vector<ObserverToken> tokens;
    tokens.push_back(center->addObserver("n", nullptr, [&](const Notification&) {
        if (tokens.size() == 1)
            tokens.push_back(center->addObserver("n", nullptr, [&](const Notification&) { ++lateCalls; }));
    }));
    center->post("n");
    EXPECT_EQ(lateCalls, 0);
    center->post("n");
    EXPECT_EQ(lateCalls, 1);
}

TEST(NotificationCenterTest, DestroyedTokenRemovesAndCenterMayDieFirst)
{
    auto center = NotificationCenter::create();
    int calls = 0;
    {
        auto token = center->addObserver("n", nullptr, [&](const Notification&) { ++calls; });
        center->post("n");
    }
    center->post("n");
    EXPECT_EQ(calls, 1);
    auto token = center->addObserver("n", nullptr, [&](const Notification&) { ++calls; });
    center.reset();
    token.reset(); // must not touch the dead centre
    EXPECT_FALSE(token.isActive());
}

TEST(NotificationCenterTest, PostsFromManyThreadsWhileObserversComeAndGo)
{
    auto center = NotificationCenter::create();
    std::atomic<int> delivered = 0;
    auto steady = center->addObserver("tick", nullptr, [&](const Notification&) { ++delivered; });
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < 1000; ++i)
                center->post("tick");
        });
    }
    for (int i = 0; i < 200; ++i) {
        auto churn = center->addObserver("tick", nullptr, [](const Notification&) { });
        churn.reset();
    }
    for (auto& poster : posters)
        poster.join();
    EXPECT_EQ(delivered, 4000);
}

TEST(NotificationCenterTest, DefaultCenterIsSharedByThreadsAndReplacedForTestsEverywhere)
{
    auto before = NotificationCenter::defaultCenter();
    EXPECT_EQ(before, NotificationCenter::defaultCenter());

    // A thread that asked before the reset is given the new centre after it, like this one.
    std::promise<std::shared_ptr<NotificationCenter>> firstAnswer, secondAnswer;
    std::promise<void> resetDone;
    std::thread asker([&] {
        firstAnswer.set_value(NotificationCenter::defaultCenter());
        resetDone.get_future().wait();
        secondAnswer.set_value(NotificationCenter::defaultCenter());
    });
    EXPECT_EQ(firstAnswer.get_future().get(), before);
    NotificationCenter::resetDefaultForTesting();
    resetDone.set_value();
    auto after = NotificationCenter::defaultCenter();
    EXPECT_NE(after, before);
    EXPECT_EQ(secondAnswer.get_future().get(), after);
    asker.join();

    // Threads remember the centre they found without keeping a replaced one alive.
    std::weak_ptr<NotificationCenter> replaced = before;
    before.reset();
    EXPECT_TRUE(replaced.expired());

    // Resets racing with threads that ask: every answer is a live centre.
    std::atomic<int> answered = 0;
    std::vector<std::thread> askers;
    for (int t = 0; t < 3; ++t) {
        askers.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                if (NotificationCenter::defaultCenter())
                    ++answered;
            }
        });
    }
    for (int i = 0; i < 50; ++i)
        NotificationCenter::resetDefaultForTesting();
    for (auto& thread : askers)
        thread.join();
    EXPECT_EQ(answered, 1500);
}

TEST(NotificationCenterTest, ManyObserversOfOneNameAreAllCalledInOrder)
{
    auto center = NotificationCenter::create();
    std::vector<int> calls;
    std::vector<ObserverToken> tokens;
    for (int i = 0; i < 20; ++i)
        tokens.push_back(center->addObserver("name", nullptr, [&calls, i](const Notification&) { calls.push_back(i); }));
    tokens[3].reset(); // removed before the post: skipped
    center->post("name");
    std::vector<int> expected;
    for (int i = 0; i < 20; ++i) {
        if (i != 3)
            expected.push_back(i);
    }
    EXPECT_EQ(calls, expected);
}
