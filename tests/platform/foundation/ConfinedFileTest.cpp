// Files a peer names: the ways out of a folder (dots, escapes, links, neighbours), the kinds of
// file that must not be read (pipes, devices, folders) and the byte cap.

#include "platform/foundation/ConfinedFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace morvix::platform {
namespace {

namespace fs = std::filesystem;
using Refusal = ConfinedFile::Refusal;

class ConfinedFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/morvix-confined-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = fs::canonical(pattern);
        app = root / "app";
        write(app / "data" / "readme.txt", "inside");
        write(root / "secret.txt", "outside");
        write(root / "app-other" / "secret.txt", "next door");
    }
    void TearDown() override { fs::remove_all(root); }

    static void write(const fs::path& path, const std::string& bytes)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::optional<Refusal> refusalOf(const std::string& reference, std::uint64_t cap = 1000) const
    {
        return ConfinedFile::read(reference, { app.string() }, cap).refusal;
    }

    fs::path root;
    fs::path app;
};

TEST_F(ConfinedFileTest, OnlyFilesThatResolveInsideAFolderAreRead)
{
    std::string url = "file://" + app.string();
    for (const std::string& inside : { app.string() + "/data/readme.txt", url + "/data/../data/readme.txt", url + "/data/read%6De.txt",
             "file://localhost" + app.string() + "/data/readme.txt", url + "/data/readme.txt?query#fragment" }) {
        SCOPED_TRACE(inside);
        auto file = ConfinedFile::read(inside, { app.string() }, 1000);
        ASSERT_TRUE(file) << file.reason;
        EXPECT_EQ(file.bytes, "inside");
        EXPECT_EQ(file.path, (app / "data" / "readme.txt").string());
    }

    // Out by dots, escaped dots and escaped slashes, to a neighbour that shares the prefix, and
    // through links (of a file and of a folder) that point out.
    fs::create_symlink(root / "secret.txt", app / "link.txt");
    fs::create_directory_symlink(root, app / "up");
    for (const std::string& outside : { app.string() + "/../secret.txt", url + "/%2e%2e/secret.txt", url + "/data%2F..%2F..%2Fsecret.txt",
             url + "/../app-other/secret.txt", url + "/link.txt", url + "/up/secret.txt", root.string() + "/secret.txt" }) {
        SCOPED_TRACE(outside);
        auto file = ConfinedFile::read(outside, { app.string() }, 1000);
        EXPECT_EQ(file.refusal, Refusal::OutsideFolders);
        EXPECT_TRUE(file.bytes.empty());
        EXPECT_NE(file.reason.find("lies outside the folders"), std::string::npos) << file.reason;
    }
    // A link inside that stays inside is followed, and the file read is its target.
    fs::create_symlink(app / "data" / "readme.txt", app / "alias.txt");
    EXPECT_EQ(ConfinedFile::read(url + "/alias.txt", { app.string() }, 1000).path, (app / "data" / "readme.txt").string());

    // Any of several folders will do; one that does not exist holds nothing; none holds nothing.
    EXPECT_TRUE(ConfinedFile::read((root / "app-other" / "secret.txt").string(), { "", (root / "gone").string(), app.string(), (root / "app-other").string() }, 1000));
    EXPECT_EQ(ConfinedFile::read((app / "data" / "readme.txt").string(), {}, 1000).refusal, Refusal::OutsideFolders);

    // Names that are no file of this machine.
    for (const std::string& bad : { std::string("data/readme.txt"), "http://host" + app.string(), "file://elsewhere" + app.string() + "/data/readme.txt",
             url + "/data/readme%00.txt", url + "/data/readme%2", url + "/data/readme%zz.txt", std::string("file:") }) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(refusalOf(bad), Refusal::BadReference);
    }
}

TEST_F(ConfinedFileTest, PipesDevicesAndFoldersAreRefusedWithoutBeingRead)
{
    // A named pipe with no writer would block an open for reading, and a read for good.
    ASSERT_EQ(::mkfifo((app / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(refusalOf((app / "pipe").string()), Refusal::SpecialFile);
    EXPECT_EQ(ConfinedFile::readRegularFile((app / "pipe").string(), 1000).refusal, Refusal::SpecialFile);
    EXPECT_EQ(refusalOf((app / "data").string()), Refusal::Directory);
    EXPECT_EQ(refusalOf((app / "missing.txt").string()), Refusal::Missing);
    // An endless device: refused outside the folders, and for its kind inside them.
    EXPECT_EQ(refusalOf("file:///dev/zero"), Refusal::OutsideFolders);
    EXPECT_EQ(ConfinedFile::read("/dev/zero", { "/dev" }, 1000).refusal, Refusal::SpecialFile);
    EXPECT_EQ(ConfinedFile::readRegularFile("/dev/zero", 1000).refusal, Refusal::SpecialFile);
}

TEST_F(ConfinedFileTest, TheCapHoldsForWhatAFileSaysAndForWhatItHolds)
{
    write(app / "ten.txt", "0123456789");
    auto exact = ConfinedFile::read((app / "ten.txt").string(), { app.string() }, 10);
    ASSERT_TRUE(exact) << exact.reason;
    EXPECT_EQ(exact.bytes, "0123456789");
    auto over = ConfinedFile::read((app / "ten.txt").string(), { app.string() }, 9);
    EXPECT_EQ(over.refusal, Refusal::TooLarge);
    EXPECT_NE(over.reason.find("holds 10 bytes, more than the 9 allowed"), std::string::npos) << over.reason;
    EXPECT_EQ(ConfinedFile::locate((app / "ten.txt").string(), { app.string() }, 9).refusal, Refusal::TooLarge);

    // A file whose size says nothing (the system's files say 0) is cut off by what it holds.
    auto status = ConfinedFile::readRegularFile("/proc/self/status", 16);
    EXPECT_EQ(status.refusal, Refusal::TooLarge);
    EXPECT_TRUE(status.bytes.empty());
    EXPECT_TRUE(ConfinedFile::readRegularFile("/proc/self/status", 1 << 20));
}

} // namespace
} // namespace morvix::platform
