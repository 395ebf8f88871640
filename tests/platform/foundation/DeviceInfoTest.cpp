#include "platform/foundation/DeviceInfo.h"

#include <gtest/gtest.h>

using namespace morvix::platform;

class DeviceInfoTest : public ::testing::Test {
protected:
    void TearDown() override { DeviceInfo::resetForTesting(); }
};

TEST_F(DeviceInfoTest, DefaultsDescribeAPhoneAboveEveryVersionThreshold)
{
    auto device = DeviceInfo::current();
    EXPECT_EQ(device.idiom(), DeviceIdiom::Phone);
    EXPECT_TRUE(device.model.starts_with("iPhone"));
    EXPECT_EQ(device.systemName, "Linux");
    EXPECT_EQ(device.systemVersion, DeviceInfo::kPlatformVersion);
    EXPECT_EQ(device.screenWidth, 320);
    EXPECT_EQ(device.screenHeight, 568);
    EXPECT_EQ(device.screenScale, 2);
    EXPECT_GT(DeviceInfo::kFoundationVersionNumber, 1140.1);
}

TEST_F(DeviceInfoTest, TheIdiomIsTheModelPrefix)
{
    auto device = DeviceInfo::current();
    device.setIdiom(DeviceIdiom::Pad);
    EXPECT_EQ(device.model, "iPad");
    DeviceInfo::setCurrent(device);
    EXPECT_EQ(DeviceInfo::current().idiom(), DeviceIdiom::Pad);
    device.model = "iPad4,1";
    EXPECT_EQ(device.idiom(), DeviceIdiom::Pad);
    DeviceInfo::resetForTesting();
    EXPECT_EQ(DeviceInfo::current().idiom(), DeviceIdiom::Phone);
}
