#include "platform/foundation/MemoryCache.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace morvix::platform;

namespace {

std::shared_ptr<int> number(int value) { return std::make_shared<int>(value); }

bool holds(MemoryCache& cache, const std::string& key) { return cache.objectForKey(key) != nullptr; }

} // namespace

TEST(MemoryCacheTest, EvictsLeastRecentlyUsedFirstWithinBothLimits)
{
    auto cache = MemoryCache::create();
    cache->setCountLimit(3);
    cache->setObject(number(1), "a", 10);
    cache->setObject(number(2), "b", 10);
    cache->setObject(number(3), "c", 10);
    EXPECT_EQ(*cache->objectForKey<int>("a"), 1); // "a" is now the most recently used
    cache->setObject(number(4), "d", 10);
    EXPECT_FALSE(holds(*cache, "b"));
    EXPECT_EQ(cache->count(), 3u);

    cache->setTotalCostLimit(25); // lowering a limit trims at once: "c" then "a" are the oldest
    EXPECT_EQ(cache->totalCost(), 20u);
    EXPECT_FALSE(holds(*cache, "c"));
    EXPECT_TRUE(holds(*cache, "a"));
    EXPECT_TRUE(holds(*cache, "d"));

    cache->setObject(number(5), "a", 5); // replacing counts the new cost only
    EXPECT_EQ(cache->totalCost(), 15u);
    EXPECT_EQ(*cache->objectForKey<int>("a"), 5);
}

TEST(MemoryCacheTest, EntryCostlierThanTheLimitIsNotStoredAndDropsTheOldOne)
{
    auto cache = MemoryCache::create();
    cache->setTotalCostLimit(100);
    cache->setObject(number(1), "small", 40);
    cache->setObject(number(2), "big", 40);
    cache->setObject(number(3), "big", 101);
    EXPECT_FALSE(holds(*cache, "big"));
    EXPECT_TRUE(holds(*cache, "small"));
    EXPECT_EQ(cache->totalCost(), 40u);
    cache->setObject(nullptr, "small");
    EXPECT_EQ(cache->count(), 0u);

    auto released = number(7);
    std::weak_ptr<int> watch = released;
    cache->setObject(std::move(released), "x", 1);
    cache->removeAllObjects();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(cache->totalCost(), 0u);
}

TEST(MemoryCacheTest, StaysConsistentUnderConcurrentUse)
{
    auto cache = MemoryCache::create();
    cache->setCountLimit(16);
    cache->setTotalCostLimit(1000);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                auto key = std::to_string((i * 7 + t) % 40);
                cache->setObject(number(i), key, static_cast<std::size_t>(i % 90));
                cache->objectForKey<int>(std::to_string(i % 40));
                if (i % 500 == 0)
                    cache->removeAllObjects();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_LE(cache->count(), 16u);
    EXPECT_LE(cache->totalCost(), 1000u);
}
