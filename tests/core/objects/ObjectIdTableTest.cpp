#include "core/objects/ObjectIdTable.h"

#include "core/objects/BasicObject.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

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
