#include "platform/foundation/SystemLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace morvix::platform;

TEST(SystemLogTest, LinesGoToStandardErrorUntilASinkIsInstalled)
{
    testing::internal::CaptureStderr();
    systemLog("catching 'x' reason 'y'");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "morvix: catching 'x' reason 'y'\n");

    std::vector<std::string> lines;
    EXPECT_FALSE(setSystemLogSink([&](const std::string& line) { lines.push_back(line); }));
    testing::internal::CaptureStderr();
    systemLog("first");
    systemLog(std::string("with\0zero", 9));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(lines, (std::vector<std::string> { "first", std::string("with\0zero", 9) }));

    // Installing another sink hands back the one it replaces; an empty one restores the default.
    auto previous = setSystemLogSink({});
    ASSERT_TRUE(previous);
    previous("direct");
    EXPECT_EQ(lines.back(), "direct");
    testing::internal::CaptureStderr();
    systemLog("again");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "morvix: again\n");
}
