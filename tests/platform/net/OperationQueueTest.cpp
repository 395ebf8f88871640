#include "platform/net/OperationQueue.h"

#include "platform/foundation/MainLoop.h"
#include "platform/net/Operation.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace morvix::platform;
using namespace std::chrono_literals;

namespace {

// A concurrent operation that runs until the test finishes it; a cancelled one finishes at start.
class ManualOperation final : public Operation {
public:
    static std::shared_ptr<ManualOperation> create() { return std::shared_ptr<ManualOperation>(new ManualOperation()); }

    void start() override
    {
        ++starts;
        startedOnMain = isMainThread();
        if (isCancelled()) {
            finish();
            return;
        }
        willChangeValueForKey("isExecuting");
        m_executing = true;
        didChangeValueForKey("isExecuting");
    }
    void finish()
    {
        willChangeValueForKey("isFinished");
        m_executing = false;
        m_finished = true;
        didChangeValueForKey("isFinished");
    }
    bool isExecuting() const override { return m_executing; }
    bool isFinished() const override { return m_finished; }
    bool isConcurrent() const override { return true; }

    std::atomic<int> starts { 0 };
    std::atomic<bool> startedOnMain { false };

private:
    ManualOperation() = default;
    std::atomic<bool> m_executing { false };
    std::atomic<bool> m_finished { false };
};

class OperationQueueTest : public ::testing::Test {
protected:
    void SetUp() override { loop.resetForTesting(); }
    void TearDown() override { loop.resetForTesting(); }

    bool waitFor(const std::function<bool()>& done) { return loop.runUntil(done, 5s); }

    MainLoop& loop = MainLoop::main();
    std::shared_ptr<OperationQueue> queue = OperationQueue::create();
};

} // namespace

TEST_F(OperationQueueTest, StartsAtMostTheMaximumAndTheNextWhenOneFinishes)
{
    queue->setMaxConcurrentOperationCount(2);
    auto first = ManualOperation::create();
    auto second = ManualOperation::create();
    auto third = ManualOperation::create();
    queue->addOperation(first);
    queue->addOperation(second);
    queue->addOperation(third);
    ASSERT_TRUE(waitFor([&] { return first->isExecuting() && second->isExecuting(); }));
    EXPECT_EQ(third->starts.load(), 0);
    EXPECT_EQ(queue->operationCount(), 3u);

    first->finish();
    ASSERT_TRUE(waitFor([&] { return third->isExecuting(); }));
    EXPECT_EQ(queue->operations(), (std::vector<std::shared_ptr<Operation>> { second, third }));
    second->finish();
    third->finish();
    EXPECT_EQ(queue->operationCount(), 0u);
    EXPECT_EQ(first->starts.load() + second->starts.load() + third->starts.load(), 3);
}

TEST_F(OperationQueueTest, AddingTwiceOrAfterTheFinishDoesNothing)
{
    auto operation = ManualOperation::create();
    queue->addOperation(operation);
    queue->addOperation(operation);
    ASSERT_TRUE(waitFor([&] { return operation->isExecuting(); }));
    operation->finish();
    queue->addOperation(operation);
    queue->addOperation(nullptr);
    EXPECT_EQ(queue->operationCount(), 0u);
    EXPECT_EQ(operation->starts.load(), 1);
}

TEST_F(OperationQueueTest, WaitsForDependenciesEvenInAnotherQueue)
{
    auto other = OperationQueue::create();
    auto dependency = ManualOperation::create();
    auto dependent = ManualOperation::create();
    dependent->addDependency(dependency);
    queue->addOperation(dependent);
    other->addOperation(dependency);
    ASSERT_TRUE(waitFor([&] { return dependency->isExecuting(); }));
    EXPECT_EQ(dependent->starts.load(), 0);
    dependency->finish();
    ASSERT_TRUE(waitFor([&] { return dependent->isExecuting(); }));
    dependent->finish();
}

TEST_F(OperationQueueTest, CancelAllStartsWaitingOperationsSoThatTheyFinish)
{
    queue->setMaxConcurrentOperationCount(0);
    auto waiting = ManualOperation::create();
    auto blocked = ManualOperation::create();
    blocked->addDependency(ManualOperation::create());
    queue->addOperation(waiting);
    queue->addOperation(blocked);
    queue->setMaxConcurrentOperationCount(-1);
    ASSERT_TRUE(waitFor([&] { return waiting->isExecuting(); }));
    queue->cancelAllOperations();
    EXPECT_TRUE(waiting->isCancelled());
    ASSERT_TRUE(waitFor([&] { return blocked->isFinished(); }));
    EXPECT_TRUE(blocked->isCancelled());
    // The running one is only marked; it finishes in its own time.
    EXPECT_TRUE(waiting->isExecuting());
    waiting->finish();
    EXPECT_TRUE(waitFor([&] { return queue->operationCount() == 0; }));
}

TEST_F(OperationQueueTest, MainQueueStartsOnTheMainLoopOneAtATime)
{
    auto main = OperationQueue::mainQueue();
    EXPECT_EQ(main->maxConcurrentOperationCount(), 1);
    auto first = ManualOperation::create();
    auto second = ManualOperation::create();
    main->addOperation(first);
    main->addOperation(second);
    EXPECT_EQ(first->starts.load(), 0); // not inline: on the next turn of the loop
    loop.runUntilIdle();
    EXPECT_TRUE(first->isExecuting());
    EXPECT_TRUE(first->startedOnMain.load());
    EXPECT_EQ(second->starts.load(), 0);
    first->finish();
    ASSERT_TRUE(waitFor([&] { return second->isExecuting(); }));
    EXPECT_TRUE(second->startedOnMain.load());
    second->finish();
}

TEST_F(OperationQueueTest, DestroyedQueueStartsNothingMoreAndLeavesRunningOperations)
{
    queue->setMaxConcurrentOperationCount(1);
    auto running = ManualOperation::create();
    auto waiting = ManualOperation::create();
    queue->addOperation(running);
    queue->addOperation(waiting);
    ASSERT_TRUE(waitFor([&] { return running->isExecuting(); }));
    queue.reset();
    running->finish();
    EXPECT_EQ(waiting->starts.load(), 0);
    EXPECT_TRUE(running->isFinished());
}

TEST_F(OperationQueueTest, DescriptionNamesTheQueue)
{
    queue->setName("images");
    auto text = queue->description();
    EXPECT_EQ(text.rfind("<OperationQueue: 0x", 0), 0u) << text;
    EXPECT_NE(text.find("{name = 'images'}"), std::string::npos) << text;
}
