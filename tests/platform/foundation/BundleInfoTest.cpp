#include "platform/foundation/BundleInfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace morvix::platform;

class BundleInfoTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        BundleInfo::resetForTesting();
        std::filesystem::remove_all(folder);
    }

    std::filesystem::path folder = std::filesystem::temp_directory_path()
        / ("morvix-bundle-info-" + std::to_string(::getpid()) + "-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(BundleInfoTest, BundleEntriesComeFromAnInfoFile)
{
    std::filesystem::create_directories(folder);
    auto path = (folder / "Info.json").string();
    std::ofstream(path) << R"({"CFBundleIdentifier": "com.example.app", "CFBundleVersion": 3})";
    auto bundle = BundleInfo::fromInfoFile(path);
    ASSERT_TRUE(bundle.has_value());
    EXPECT_EQ(bundle->stringForInfoDictionaryKey(BundleInfo::kIdentifierKey), "com.example.app");
    EXPECT_EQ(bundle->stringForInfoDictionaryKey(BundleInfo::kVersionKey), std::nullopt);
    EXPECT_EQ(bundle->objectForInfoDictionaryKey(BundleInfo::kVersionKey), Value(3));
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("missing"), std::nullopt);
    EXPECT_FALSE(bundle->documentsPath.empty());
}

TEST_F(BundleInfoTest, UnreadableOrMalformedInfoFilesGiveNothing)
{
    std::filesystem::create_directories(folder);
    EXPECT_FALSE(BundleInfo::fromInfoFile((folder / "missing.json").string()).has_value());
    auto path = (folder / "broken.json").string();
    std::ofstream(path) << "[1, 2";
    EXPECT_FALSE(BundleInfo::fromInfoFile(path).has_value());
    std::ofstream(path) << "[1, 2]";
    EXPECT_FALSE(BundleInfo::fromInfoFile(path).has_value());
}

TEST_F(BundleInfoTest, TheMainBundleIsSetByTheApplication)
{
    auto bundle = BundleInfo::defaults();
    bundle.documentsPath = folder.string();
    bundle.info["CFBundleDisplayName"] = "Demo";
    BundleInfo::setMain(bundle);
    EXPECT_EQ(BundleInfo::main().documentsPath, folder.string());
    EXPECT_EQ(BundleInfo::main().stringForInfoDictionaryKey(BundleInfo::kDisplayNameKey), "Demo");
    BundleInfo::resetForTesting();
    EXPECT_EQ(BundleInfo::main().objectForInfoDictionaryKey(BundleInfo::kDisplayNameKey), std::nullopt);
}
