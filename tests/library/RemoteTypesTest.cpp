#include "library/RemoteTypes.h"

#include "core/objects/WidgetRegistry.h"
#include "widgets/text/TextSizeMeasurement.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

TEST(RemoteTypesTest, ServicesOfTheWidgetModulesJoinTheTableAsServices)
{
    auto& registry = WidgetRegistry::instance();
    registry.resetForTesting();
    EXPECT_EQ(registry.getHandler("zub.client.TextSizeMeasurement"), nullptr);

    registerRemoteTypes();
    registerRemoteTypes(); // a second call replaces the rows with the same ones
    auto handler = registry.getHandler("zub.client.TextSizeMeasurement");
    ASSERT_NE(handler, nullptr);
    EXPECT_TRUE(handler->isService);
    auto object = handler->create("zub.client.TextSizeMeasurement", nullptr, nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<TextSizeMeasurement>(object), nullptr);

    bool listed = false;
    for (const auto& service : registry.getServiceHandlers())
        listed = listed || service->type == "zub.client.TextSizeMeasurement";
    EXPECT_TRUE(listed);
    registry.resetForTesting();
}

} // namespace
} // namespace morvix
