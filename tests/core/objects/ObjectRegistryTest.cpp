#include "core/objects/ObjectRegistry.h"

#include "core/base/LogEntry.h"
#include "core/objects/BasicObject.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"
#include "core/objects/WidgetRegistry.h"
#include "core/session/ServerPush.h"
#include "platform/foundation/MainLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace morvix;
using platform::Value;

namespace {

std::vector<std::string>* g_destroyed = nullptr;

class Client final : public ClientContext {
public:
    explicit Client(std::shared_ptr<ObjectRegistry> registry)
        : m_registry(std::move(registry))
    {
    }
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override { return m_registry->objectById(id); }
    void removeObjectById(const std::string& id) override { m_registry->removeObjectById(id); }
    void log(const LogEntry&) override { }

private:
    std::shared_ptr<ObjectRegistry> m_registry;
};

class Node : public RemoteClass<Node> {
public:
    static constexpr std::string_view kRemoteType = "test.Node";
    using RemoteClass::RemoteClass;
    void destroy() override
    {
        if (g_destroyed && !omitDestroy())
            g_destroyed->push_back(objectId());
        BasicObject::destroy();
    }
    void registered() override { ++registeredCount; }
    int registeredCount = 0;
};

class Store : public RemoteClass<Store>, public ServiceObject {
public:
    static constexpr std::string_view kRemoteType = "test.Store";
    using RemoteClass::RemoteClass;
    void synchronize() override { }
};

class ObjectRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::MainLoop::main().resetForTesting();
        WidgetRegistry::instance().addHandler<ServerPush>(); // as every session has it
        WidgetRegistry::instance().addHandler<Node>();
        WidgetRegistry::instance().addHandler<Store>();
        g_destroyed = &destroyed;
    }
    void TearDown() override
    {
        registry->reset();
        g_destroyed = nullptr;
        WidgetRegistry::instance().resetForTesting();
    }

    std::shared_ptr<Node> add(const std::string& id, std::shared_ptr<Node> parent = nullptr)
    {
        auto node = std::static_pointer_cast<Node>(Node::create(id, nullptr, client));
        if (parent)
            node->setParent(parent);
        registry->addObject(node);
        return node;
    }

    std::shared_ptr<ObjectRegistry> registry = ObjectRegistry::create();
    std::shared_ptr<Client> client = std::make_shared<Client>(registry);
    std::vector<std::string> destroyed;
};

} // namespace

TEST(ObjectRegistryOrderTest, NaturalComparisonComparesDigitRunsByValue)
{
    EXPECT_LT(ObjectRegistry::compareNatural("w9", "w12"), 0);
    EXPECT_GT(ObjectRegistry::compareNatural("w12", "w9"), 0);
    EXPECT_EQ(ObjectRegistry::compareNatural("w01", "w1"), 0);
    EXPECT_LT(ObjectRegistry::compareNatural("w1x2", "w1x10"), 0);
    EXPECT_LT(ObjectRegistry::compareNatural("w", "w0"), 0);
    EXPECT_LT(ObjectRegistry::compareNatural("a99", "b1"), 0);
    EXPECT_GT(ObjectRegistry::compareNatural("w100000000000000000000000", "w99999999999999999999999"), 0);
    EXPECT_EQ(ObjectRegistry::compareNatural("", ""), 0);
}

TEST_F(ObjectRegistryTest, ChildrenIdsAreInDescendingNaturalOrderWithAFixedTieBreak)
{
    std::vector<std::string> ids = { "w2", "w10", "w3", "w01", "w1", "w9", "w12", "zub.client.ServerPush", "a" };
    std::shuffle(ids.begin(), ids.end(), std::mt19937(3));
    for (const auto& id : ids)
        add(id);
    EXPECT_EQ(registry->childrenIds(), (std::vector<std::string> { "zub.client.ServerPush", "w12", "w10", "w9", "w3", "w2",
                                           "w1", "w01", "a" }));
    EXPECT_EQ(registry->count(), ids.size());
}

TEST_F(ObjectRegistryTest, ResetDestroysInDescendingOrderAndSkipsChildrenAlreadyGone)
{
    auto parent = add("w10");
    add("w3");
    add("w2");
    add("w25", parent);
    add("w4", parent);
    add("w5")->setOmitDestroy(true);
    registry->setRootWidgetId("w2");
    registry->reset();
    // w25 goes first; w10 then takes w4 with it, so w4 is not destroyed a second time.
    EXPECT_EQ(destroyed, (std::vector<std::string> { "w25", "w10", "w4", "w3", "w2" }));
    EXPECT_EQ(registry->count(), 0u);
    EXPECT_EQ(registry->rootWidgetId(), "w2");
}

TEST_F(ObjectRegistryTest, AddingUnderATakenIdReplacesWithoutDestroying)
{
    auto first = add("w1");
    auto second = add("w1");
    EXPECT_EQ(registry->objectById("w1"), second);
    EXPECT_FALSE(first->isDisposed());
    EXPECT_EQ(second->registeredCount, 1);
    EXPECT_EQ(registry->count(), 1u);
    registry->removeObjectById("w1");
    registry->removeObjectById("w1");
    EXPECT_EQ(registry->objectById("w1"), nullptr);
}

TEST_F(ObjectRegistryTest, RootObjectIsTheObjectUnderTheRootId)
{
    EXPECT_EQ(registry->rootObject(), nullptr);
    registry->setRootWidgetId("w1");
    EXPECT_EQ(registry->rootObject(), nullptr);
    auto root = add("w1");
    EXPECT_EQ(registry->rootObject(), root);
}

TEST_F(ObjectRegistryTest, ServiceObjectsAreCreatedOnceWithTheRootObjectsClient)
{
    auto services = registry->serviceObjects();
    // In registration order: the built-in "zub.client.ServerPush" first, then the test's class.
    ASSERT_EQ(services.size(), 2u);
    EXPECT_EQ(services[0]->objectId(), "zub.client.ServerPush");
    EXPECT_EQ(services[1]->objectId(), "test.Store");
    EXPECT_EQ(services[1]->client(), nullptr); // no root object yet
    EXPECT_EQ(registry->serviceObjects()[1], services[1]);

    registry->reset();
    registry->setRootWidgetId("w1");
    add("w1");
    auto store = registry->serviceObjects();
    ASSERT_EQ(store.size(), 2u);
    EXPECT_EQ(store[1]->client(), client);
    EXPECT_EQ(registry->addService("test.Node")->objectId(), "test.Node");
    EXPECT_EQ(registry->addService("test.Unknown"), nullptr);
}

TEST_F(ObjectRegistryTest, ServerPushObjectIsNeverCreatedHere)
{
    EXPECT_EQ(registry->serverPushObject(), nullptr);
    EXPECT_EQ(registry->count(), 0u);
    auto push = add("zub.client.ServerPush");
    EXPECT_EQ(registry->serverPushObject(), push);
}
