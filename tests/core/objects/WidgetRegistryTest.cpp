#include "core/objects/WidgetRegistry.h"

#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"

#include <gtest/gtest.h>

using namespace morvix;

namespace {

class Plain : public RemoteClass<Plain> {
public:
    static constexpr std::string_view kRemoteType = "test.Label";
    using RemoteClass::RemoteClass;
};

class Replacement : public RemoteClass<Replacement> {
public:
    static constexpr std::string_view kRemoteType = "test.Label";
    using RemoteClass::RemoteClass;
};

class Clock : public RemoteClass<Clock>, public ServiceObject {
public:
    static constexpr std::string_view kRemoteType = "test.Clock";
    using RemoteClass::RemoteClass;
    void synchronize() override { }
};

class Almanac : public RemoteClass<Almanac>, public ServiceObject {
public:
    static constexpr std::string_view kRemoteType = "test.Almanac";
    using RemoteClass::RemoteClass;
    void synchronize() override { }
};

class WidgetRegistryTest : public ::testing::Test {
protected:
    void TearDown() override { registry.resetForTesting(); }
    WidgetRegistry& registry = WidgetRegistry::instance();
};

} // namespace

TEST_F(WidgetRegistryTest, LaterClassWithTheSameTypeNameReplacesTheEarlierOne)
{
    registry.addHandler<Plain>();
    auto plain = registry.getHandler("test.Label")->create("w1", nullptr, nullptr);
    EXPECT_TRUE(std::dynamic_pointer_cast<Plain>(plain));
    registry.addHandler<Replacement>();
    auto replaced = registry.getHandler("test.Label")->create("w2", nullptr, nullptr);
    EXPECT_TRUE(std::dynamic_pointer_cast<Replacement>(replaced));
    EXPECT_EQ(replaced->objectId(), "w2");
}

TEST_F(WidgetRegistryTest, ServiceGroupIsTheClassesThatAdoptServiceObject)
{
    std::size_t builtIn = registry.getServiceHandlers().size();
    registry.addHandler<Plain>();
    registry.addHandler<Clock>();
    auto services = registry.getServiceHandlers();
    ASSERT_EQ(services.size(), builtIn + 1);
    EXPECT_TRUE(std::any_of(services.begin(), services.end(), [](const auto& handler) { return handler->type == "test.Clock"; }));
    EXPECT_FALSE(registry.getHandler("test.Label")->isService);

    // Services come back in registration order, not in name order, and a class added again
    // under its name keeps its place: the order sessions synchronise them in shows on the wire.
    registry.addHandler<Almanac>();
    registry.addHandler<Clock>();
    services = registry.getServiceHandlers();
    ASSERT_EQ(services.size(), builtIn + 2);
    EXPECT_EQ(services[builtIn]->type, "test.Clock");
    EXPECT_EQ(services[builtIn + 1]->type, "test.Almanac");
}

TEST_F(WidgetRegistryTest, UnknownNamesAndIncompleteRowsGiveNothing)
{
    EXPECT_EQ(registry.getHandler("zub.widgets.Nothing"), nullptr);
    registry.addHandler({ "test.Empty", nullptr, false });
    registry.addHandler({ "", &Plain::create, false });
    EXPECT_EQ(registry.getHandler("test.Empty"), nullptr);
    EXPECT_EQ(registry.getHandler(""), nullptr);
}

TEST_F(WidgetRegistryTest, ResetForTestingDropsAddedClasses)
{
    registry.addHandler<Clock>();
    registry.resetForTesting();
    EXPECT_EQ(registry.getHandler("test.Clock"), nullptr);
}
