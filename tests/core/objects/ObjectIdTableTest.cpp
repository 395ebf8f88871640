#include "core/objects/ObjectIdTable.h"

#include "core/objects/BasicObject.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string_view>

using namespace morvix;

// Insertions, replacements and removals in a random order, checked after each step against a
// std::map: removal closes gaps in the probe sequences and moves the last entry, and the table
// grows several times on the way, so every lookup afterwards exercises both.
TEST(ObjectIdTableTest, AgreesWithAnOrderedMapThroughGrowthAndRemovals)
{
    std::vector<std::shared_ptr<RemoteObject>> objects;
    for (int i = 0; i < 64; ++i)
        objects.push_back(BasicObject::create("o" + std::to_string(i), nullptr, nullptr));
    ObjectIdTable table;
    std::map<std::string, std::shared_ptr<RemoteObject>> expected;
    std::mt19937 random(7);
    for (int step = 0; step < 20000; ++step) {
        // Ids from a small range, so that lookups hit, replacements and removals happen often.
        std::string id = "w" + std::to_string(random() % 1500);
        switch (random() % 4) {
        case 0:
        case 1: {
            auto object = objects[random() % objects.size()];
            table.findOrInsert(id) = object;
            expected[id] = object;
            break;
        }
        case 2: {
            auto found = expected.find(id);
            auto removed = table.erase(id);
            EXPECT_EQ(removed, found == expected.end() ? nullptr : found->second) << id;
            if (found != expected.end())
                expected.erase(found);
            break;
        }
        default: {
            const auto* found = table.find(id);
            auto known = expected.find(id);
            ASSERT_EQ(found != nullptr, known != expected.end()) << id;
            if (found) {
                EXPECT_EQ(*found, known->second) << id;
            }
        }
        }
        ASSERT_EQ(table.size(), expected.size());
    }
    for (const auto& [id, object] : expected) {
        const auto* found = table.find(id);
        ASSERT_NE(found, nullptr) << id;
        EXPECT_EQ(*found, object);
    }
    std::map<std::string, std::shared_ptr<RemoteObject>> listed;
    for (const auto& entry : table.entries())
        listed.emplace(entry.id, entry.object);
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(table.find("absent"), nullptr);
    EXPECT_EQ(table.erase("absent"), nullptr);
    ObjectIdTable empty;
    EXPECT_EQ(empty.find("w1"), nullptr);
    EXPECT_EQ(empty.erase("w1"), nullptr);
}

// Ids a peer could choose offline to share the low bits of a hash of fixed seed, found here
// against this process's own std::hash: in the table they spread as ordinary ids do, and each is
// still found and removed. Left in the fixed hash they would all start their probe at one slot.
TEST(ObjectIdTableTest, IdsSharingTheLowBitsOfAFixedHashSpreadOverTheSlots)
{
    constexpr std::size_t kIds = 256;
    constexpr std::size_t kSharedBits = 12; // more than the index of 512 slots that 256 ids fill uses
    std::hash<std::string_view> fixed;
    const std::size_t mask = (std::size_t(1) << kSharedBits) - 1;
    const std::size_t shared = fixed("w0") & mask;
    std::vector<std::string> ids;
    for (std::size_t i = 0; ids.size() < kIds; ++i) {
        std::string id = "w" + std::to_string(i);
        if ((fixed(id) & mask) == shared)
            ids.push_back(std::move(id));
    }

    auto object = BasicObject::create("o", nullptr, nullptr);
    ObjectIdTable table;
    for (const auto& id : ids)
        table.findOrInsert(id) = object;
    // Ordinary ids in a table this full walk past a few slots (rarely over 30); these would walk
    // past all the others.
    EXPECT_LT(table.slots().longestProbe(), 96u);
    for (std::size_t i = 0; i < ids.size(); i += 2)
        EXPECT_EQ(table.erase(ids[i]), object) << ids[i];
    for (std::size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(table.find(ids[i]) != nullptr, i % 2 == 1) << ids[i];
}
