#include "widgets/WidgetTypes.h"

#include "core/WidgetRegistry.h"
#include "widgets/foundation/TextSizeMeasurement.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

TEST(WidgetTypesTest, ServicesOfTheWidgetModulesJoinTheTableAsServices)
{
    auto& registry = WidgetRegistry::instance();
    registry.resetForTesting();
    EXPECT_EQ(registry.getHandler("zub.client.TextSizeMeasurement"), nullptr);

    registerWidgetTypes();
    registerWidgetTypes(); // a second call replaces the rows with the same ones
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
