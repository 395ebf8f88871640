#include "core/base/OSUtil.h"

#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/DeviceInfo.h"

#include <gtest/gtest.h>

using morvix::OSUtil;
using namespace morvix::platform;

class OSUtilTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset()
    {
        DeviceInfo::resetForTesting();
        BundleInfo::resetForTesting();
        OSUtil::resetForTesting();
    }
};

TEST_F(OSUtilTest, VersionsCompareDigitRunsAsNumbers)
{
    EXPECT_TRUE(OSUtil::isVersion("7.1", "7.1"));
    EXPECT_TRUE(OSUtil::isVersion("10.0", "7.1"));
    EXPECT_FALSE(OSUtil::isVersion("7.0.6", "7.1"));
    EXPECT_TRUE(OSUtil::isVersion("7.10", "7.9"));
    EXPECT_FALSE(OSUtil::isVersion("7.1", "7.1.0"));
    EXPECT_TRUE(OSUtil::isVersion("7.1.0", "7.1"));
    EXPECT_TRUE(OSUtil::isVersion("12345678901234567890.1", "9999999999999999999.9"));
    EXPECT_TRUE(OSUtil::isVersion("8.01", "8.1"));
    EXPECT_FALSE(OSUtil::isVersion("", "7.1"));
}

TEST_F(OSUtilTest, TheMinimalVersionFollowsTheDevice)
{
    EXPECT_TRUE(OSUtil::minimalRequiredVersion());
    auto device = DeviceInfo::current();
    device.systemVersion = "7.0.6";
    DeviceInfo::setCurrent(device);
    EXPECT_FALSE(OSUtil::minimalRequiredOSVersion());
}

TEST_F(OSUtilTest, ThePhoneTestLooksAtTheModelPrefix)
{
    EXPECT_TRUE(OSUtil::isPhone());
    EXPECT_TRUE(OSUtil::isPhone("iPhone7,2"));
    EXPECT_FALSE(OSUtil::isPhone("iPad"));
    EXPECT_FALSE(OSUtil::isPhone("an iPhone"));
    auto device = DeviceInfo::current();
    device.setIdiom(DeviceIdiom::Pad);
    DeviceInfo::setCurrent(device);
    EXPECT_FALSE(OSUtil::isPhone());
}

TEST_F(OSUtilTest, ApplicationFactsAreReadOnceAndMissingOnesAreEmpty)
{
    auto bundle = BundleInfo::defaults();
    bundle.info = { { "CFBundleIdentifier", "com.example.app" }, { "CFBundleShortVersionString", "1.2" },
        { "CFBundleVersion", 7 } };
    BundleInfo::setMain(bundle);
    EXPECT_EQ(OSUtil::appId(), "com.example.app");
    EXPECT_EQ(OSUtil::appVersion(), "1.2");
    EXPECT_EQ(OSUtil::appVersionId(), "");
    EXPECT_EQ(OSUtil::appName(), "");

    bundle.info["CFBundleIdentifier"] = "changed";
    bundle.info["CFBundleDisplayName"] = "Late";
    BundleInfo::setMain(bundle);
    EXPECT_EQ(OSUtil::appId(), "com.example.app");
    EXPECT_EQ(OSUtil::appName(), "");

    OSUtil::resetForTesting();
    EXPECT_EQ(OSUtil::appId(), "changed");
    EXPECT_EQ(OSUtil::appName(), "Late");
}
