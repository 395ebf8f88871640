#include "platform/foundation/BundleInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

TEST_F(BundleInfoTest, EachApplicationKeepsItsDocumentsInItsOwnFolder)
{
    std::string savedData = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    bool hadData = std::getenv("XDG_DATA_HOME") != nullptr;
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    BundleInfo::resetForTesting();
    std::string program = std::filesystem::read_symlink("/proc/self/exe").filename().string();
    EXPECT_EQ(BundleInfo::main().documentsPath, (folder / "data" / program / "Documents").string());

    // Handing back a copy of the facts with an identifier moves the documents with it.
    auto gallery = BundleInfo::main();
    gallery.info[std::string(BundleInfo::kIdentifierKey)] = "com.example.gallery";
    BundleInfo::setMain(gallery);
    EXPECT_EQ(BundleInfo::main().documentsPath, (folder / "data" / "com.example.gallery" / "Documents").string());
    auto demo = BundleInfo::main();
    demo.info[std::string(BundleInfo::kIdentifierKey)] = "com.example.demo";
    BundleInfo::setMain(demo);
    EXPECT_EQ(BundleInfo::main().documentsPath, (folder / "data" / "com.example.demo" / "Documents").string());

    // An info file's identifier names the folder; a folder the application chose stays.
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Info.json") << R"({"CFBundleIdentifier": "com.example.app"})";
    auto fromFile = BundleInfo::fromInfoFile((folder / "Info.json").string());
    ASSERT_TRUE(fromFile.has_value());
    EXPECT_EQ(fromFile->documentsPath, (folder / "data" / "com.example.app" / "Documents").string());
    auto chosen = BundleInfo::main();
    chosen.documentsPath = (folder / "mine").string();
    BundleInfo::setMain(chosen);
    auto renamed = BundleInfo::main();
    renamed.info[std::string(BundleInfo::kIdentifierKey)] = "com.example.renamed";
    BundleInfo::setMain(renamed);
    EXPECT_EQ(BundleInfo::main().documentsPath, (folder / "mine").string());

    if (hadData)
        ::setenv("XDG_DATA_HOME", savedData.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}
