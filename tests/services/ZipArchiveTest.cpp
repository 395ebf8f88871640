// Zip archives: what other tools make unpacks faithfully, hostile archives are refused before
// they can write outside the destination, and what we write other tools read.

#include "services/ZipArchive/ZAZipArchive.h"

#include "platform/foundation/Error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace morvix;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

int run(const std::string& command)
{
    return std::system(("cd /tmp && " + command + " >/dev/null 2>&1").c_str());
}

std::string output(const std::string& command)
{
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
        text.append(buffer, read);
    ::pclose(pipe);
    return text;
}

mode_t modeOf(const fs::path& path)
{
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode & 07777;
}

std::vector<std::string> listing(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

// Python writes the hostile archives: `zipfile.ZipInfo` keeps names as given, where `write` would
// clean them.
constexpr const char* kHostileArchives = R"PY(
import sys, zipfile, zlib
out = sys.argv[1]
def simple(name, entries):
    with zipfile.ZipFile(f"{out}/{name}.zip", "w", zipfile.ZIP_DEFLATED) as z:
        for entry, data in entries:
            z.writestr(zipfile.ZipInfo(entry), data)
for name, entry in [("dotdot", "../evil"), ("inner-dotdot", "a/../../evil"), ("absolute", "/tmp/abs"),
                    ("backslash-dotdot", "..\\evil"), ("drive", "C:/x"), ("nul", "aXb")]:
    simple(name, [("ok.txt", "fine"), (entry, "evil")])
data = open(f"{out}/nul.zip", "rb").read().replace(b"aXb", b"a\x00b")
open(f"{out}/nul.zip", "wb").write(data)
with zipfile.ZipFile(f"{out}/link.zip", "w") as z:
    info = zipfile.ZipInfo("escape")
    info.create_system = 3
    info.external_attr = 0o120777 << 16
    z.writestr(info, "../../outside")
    z.writestr(zipfile.ZipInfo("escape/through.txt"), "evil")
with zipfile.ZipFile(f"{out}/bomb.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("zeros", b"\0" * (8 << 20))
with zipfile.ZipFile(f"{out}/many.zip", "w") as z:
    for i in range(70):
        z.writestr(f"f{i}", "x")
with zipfile.ZipFile(f"{out}/liar.zip", "w", zipfile.ZIP_STORED) as z:
    z.writestr("liar.txt", b"A" * 1000)
data = bytearray(open(f"{out}/liar.zip", "rb").read())
size = (1000).to_bytes(4, "little")
small = (10).to_bytes(4, "little")
central = data.rfind(b"PK\x01\x02")
data[central + 24:central + 28] = small
local = data.find(b"PK\x03\x04")
data[local + 22:local + 26] = small
open(f"{out}/liar.zip", "wb").write(bytes(data))
with zipfile.ZipFile(f"{out}/crc.zip", "w", zipfile.ZIP_STORED) as z:
    z.writestr("data.txt", b"0123456789" * 10)
data = bytearray(open(f"{out}/crc.zip", "rb").read())
data[data.find(b"0123456789") + 3] ^= 0x20
open(f"{out}/crc.zip", "wb").write(bytes(data))
import io
inner = io.BytesIO()
with zipfile.ZipFile(inner, "w") as z:
    z.writestr("a.zip", "overwrites its own archive")
with zipfile.ZipFile(f"{out}/a.zip", "w") as z:
    z.writestr("a.zip", inner.getvalue())
with zipfile.ZipFile(f"{out}/empty.zip", "w") as z:
    pass
with zipfile.ZipFile(f"{out}/folder.zip", "w") as z:
    z.writestr(zipfile.ZipInfo("sub/file.txt"), "through a link")
with zipfile.ZipFile(f"{out}/windows.zip", "w") as z:
    z.writestr(zipfile.ZipInfo("dir\\file.txt"), "windows")
)PY";

class ZipArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "morvix-zip-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    fs::path root;
};

TEST_F(ZipArchiveTest, UnpacksWhatInfoZipWritesWithDatesModesNestingAndOverwrite)
{
    if (run("command -v zip") != 0)
        GTEST_SKIP() << "Info-ZIP zip is not installed";
    fs::path source = root / "source";
    writeFile(source / "plain.txt", "plain");
    writeFile(source / "tool", "#!/bin/sh\n");
    writeFile(source / "setuid", "s");
    writeFile(source / "open", "o");
    writeFile(source / "with blank é.txt", "unicode");
    fs::create_directories(source / "empty");
    ::chmod((source / "tool").c_str(), 0755);
    ::chmod((source / "setuid").c_str(), 04755);
    ::chmod((source / "open").c_str(), 0777);
    writeFile(root / "inner" / "inside.txt", "inner");
    ASSERT_EQ(run("cd " + (root / "inner").string() + " && zip -q -X " + (source / "inner.zip").string() + " inside.txt"), 0);
    writeFile(root / "upper" / "shout.txt", "upper");
    ASSERT_EQ(run("cd " + (root / "upper").string() + " && zip -q -X " + (source / "INNER.ZIP").string() + " shout.txt"), 0);
    ASSERT_EQ(run("touch -d '2021-06-15 10:20:30' '" + (source / "plain.txt").string() + "'"), 0);
    fs::path archive = root / "made.zip";
    ASSERT_EQ(run("cd " + source.string() + " && zip -q -r " + archive.string() + " ."), 0);

    fs::path out = root / "out";
    platform::Error error;
    ASSERT_TRUE(ZAZipArchive::unzipFileAtPath(archive.string(), out.string(), true, {}, &error)) << error.description();
    EXPECT_EQ(readFile(out / "plain.txt"), "plain");
    EXPECT_EQ(readFile(out / "with blank é.txt"), "unicode");
    EXPECT_TRUE(fs::is_directory(out / "empty"));
    EXPECT_EQ(modeOf(out / "tool"), 0755u);
    EXPECT_EQ(modeOf(out / "setuid"), 0755u) << "setuid is never restored";
    EXPECT_EQ(modeOf(out / "open"), 0755u) << "group and other write bits are dropped";
    struct stat status {};
    ::stat((out / "plain.txt").c_str(), &status);
    std::tm expected {};
    expected.tm_year = 121;
    expected.tm_mon = 5;
    expected.tm_mday = 15;
    expected.tm_hour = 10;
    expected.tm_min = 20;
    expected.tm_sec = 30;
    expected.tm_isdst = -1;
    EXPECT_LE(std::labs(long(status.st_mtime - std::mktime(&expected))), 2);
    EXPECT_EQ(readFile(out / "inside.txt"), "inner");
    EXPECT_EQ(readFile(out / "shout.txt"), "upper");
    EXPECT_FALSE(fs::exists(out / "inner.zip"));
    EXPECT_FALSE(fs::exists(out / "INNER.ZIP"));

    writeFile(out / "plain.txt", "changed");
    ASSERT_TRUE(ZAZipArchive::unzipFileAtPath(archive.string(), out.string(), false, {}, nullptr));
    EXPECT_EQ(readFile(out / "plain.txt"), "changed");
    ASSERT_TRUE(ZAZipArchive::unzipFileAtPath(archive.string(), out.string(), true, {}, nullptr));
    EXPECT_EQ(readFile(out / "plain.txt"), "plain");
}

TEST_F(ZipArchiveTest, RefusesHostileArchivesWithoutWritingOutsideTheDestination)
{
    fs::path hostile = root / "hostile";
    fs::create_directories(hostile);
    writeFile(root / "script.py", kHostileArchives);
    ASSERT_EQ(run("python3 " + (root / "script.py").string() + " " + hostile.string()), 0);
    writeFile(root / "sentinel.txt", "untouched");
    auto before = listing(root);

    ZAZipArchive::Limits small;
    small.maxEntries = 64;
    struct Case {
        const char* archive;
        long code;
        bool writesNothing;
    };
    const Case cases[] = {
        { "dotdot", ZAZipArchive::kUnsafeEntry, true },
        { "inner-dotdot", ZAZipArchive::kUnsafeEntry, true },
        { "absolute", ZAZipArchive::kUnsafeEntry, true },
        { "backslash-dotdot", ZAZipArchive::kUnsafeEntry, true },
        { "drive", ZAZipArchive::kUnsafeEntry, true },
        { "nul", ZAZipArchive::kUnsafeEntry, true },
        { "link", ZAZipArchive::kUnsafeEntry, true },
        { "bomb", ZAZipArchive::kOverLimits, true },
        { "many", ZAZipArchive::kOverLimits, true },
        { "liar", ZAZipArchive::kEntryFailed, false },
        { "crc", ZAZipArchive::kEntryFailed, false },
        { "a", ZAZipArchive::kUnsafeEntry, false },
        { "empty", ZAZipArchive::kNoFirstFile, true },
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.archive);
        fs::path destination = root / "dest" / each.archive;
        fs::create_directories(destination);
        ZAZipArchive::UnzipOptions options;
        platform::Error error;
        options.error = &error;
        options.limits = small;
        bool completed = false;
        options.completionHandler = [&](const std::string&, bool succeeded, const std::optional<platform::Error>& failure) {
            completed = true;
            EXPECT_FALSE(succeeded);
            EXPECT_TRUE(failure.has_value());
        };
        EXPECT_FALSE(ZAZipArchive::unzipFileAtPath((hostile / (std::string(each.archive) + ".zip")).string(), destination.string(), options));
        EXPECT_TRUE(completed);
        EXPECT_EQ(error.domain(), ZAZipArchive::kErrorDomain);
        EXPECT_EQ(error.code(), each.code) << error.description();
        if (each.writesNothing) {
            EXPECT_TRUE(fs::is_empty(destination));
        }
        EXPECT_EQ(readFile(root / "sentinel.txt"), "untouched");
        EXPECT_FALSE(fs::exists(root / "evil"));
        EXPECT_FALSE(fs::exists(root / "dest" / "evil"));
        EXPECT_FALSE(fs::exists("/tmp/abs"));
    }
    EXPECT_FALSE(fs::exists(root / "outside"));

    // A link the destination already holds is never followed.
    fs::path planted = root / "planted";
    fs::create_directories(planted);
    fs::create_directory_symlink(root / "elsewhere", planted / "sub");
    fs::create_directories(root / "elsewhere");
    platform::Error error;
    EXPECT_FALSE(ZAZipArchive::unzipFileAtPath((hostile / "folder.zip").string(), planted.string(), true, {}, &error));
    EXPECT_EQ(error.code(), ZAZipArchive::kUnsafeEntry);
    EXPECT_TRUE(fs::is_empty(root / "elsewhere"));
    fs::path plantedFile = root / "plantedFile";
    fs::create_directories(plantedFile / "sub");
    fs::create_symlink(root / "sentinel.txt", plantedFile / "sub" / "file.txt");
    EXPECT_FALSE(ZAZipArchive::unzipFileAtPath((hostile / "folder.zip").string(), plantedFile.string(), true, {}, &error));
    EXPECT_EQ(error.code(), ZAZipArchive::kUnsafeEntry);
    EXPECT_EQ(readFile(root / "sentinel.txt"), "untouched");

    // A backslash between a folder and a file makes that folder.
    ASSERT_TRUE(ZAZipArchive::unzipFileAtPath((hostile / "windows.zip").string(), (root / "windows").string()));
    EXPECT_EQ(readFile(root / "windows" / "dir" / "file.txt"), "windows");
}

class CountingDelegate : public ZAZipArchiveDelegate {
public:
    std::optional<bool> zipArchiveShouldUnzipFileAtIndex(std::uint64_t index, std::uint64_t, const std::string&, const ZAFileInfo&) override
    {
        return index < stopAt;
    }
    void zipArchiveDidUnzipFileAtIndex(std::uint64_t, std::uint64_t, const std::string&, const std::string& path) override
    {
        unpacked.push_back(fs::path(path).filename().string());
    }
    void zipArchiveProgressEvent(std::uint64_t loaded, std::uint64_t total) override { progress.emplace_back(loaded, total); }
    void zipArchiveDidUnzipArchiveAtPath(const std::string&, const ZAZipInfo&, const std::string&) override { finished = true; }

    std::uint64_t stopAt = 100;
    std::vector<std::string> unpacked;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    bool finished = false;
};

TEST_F(ZipArchiveTest, WritesArchivesOtherToolsReadAndTheDelegateCanCancel)
{
    fs::path folder = root / "tree";
    writeFile(folder / "a.txt", "alpha");
    writeFile(folder / "nested" / "b.txt", "beta");
    fs::create_directories(folder / "hollow");
    ::chmod((folder / "a.txt").c_str(), 0750);
    fs::create_symlink("/etc/passwd", folder / "link");
    fs::path archive = root / "ours.zip";
    ASSERT_TRUE(ZAZipArchive::createZipFileAtPath(archive.string(), folder.string(), true));
    EXPECT_FALSE(fs::exists(folder / "hollow" / ".DS_Store"));

    if (run("command -v unzip") == 0) {
        EXPECT_EQ(run("unzip -t " + archive.string()), 0);
        std::string info = output("zipinfo -l " + archive.string());
        EXPECT_NE(info.find("-rwxr-x---"), std::string::npos) << info;
        EXPECT_NE(info.find("tree/hollow/.DS_Store"), std::string::npos) << info;
        EXPECT_EQ(info.find("link"), std::string::npos) << info;
    }
    EXPECT_EQ(run("python3 -c \"import zipfile,sys; sys.exit(zipfile.ZipFile('" + archive.string() + "').testzip() is not None)\""), 0);

    auto delegate = std::make_shared<CountingDelegate>();
    ASSERT_TRUE(ZAZipArchive::unzipFileAtPath(archive.string(), (root / "back").string(), delegate));
    EXPECT_EQ(readFile(root / "back" / "tree" / "a.txt"), "alpha");
    EXPECT_EQ(readFile(root / "back" / "tree" / "nested" / "b.txt"), "beta");
    EXPECT_EQ(modeOf(root / "back" / "tree" / "a.txt"), 0750u);
    EXPECT_TRUE(delegate->finished);
    auto size = fs::file_size(archive);
    ASSERT_FALSE(delegate->progress.empty());
    EXPECT_EQ(delegate->progress.front(), std::make_pair(std::uint64_t(0), std::uint64_t(size)));
    EXPECT_EQ(delegate->progress.back(), std::make_pair(std::uint64_t(size), std::uint64_t(size)));

    ZAZipArchive single((root / "single.zip").string());
    ASSERT_TRUE(single.open());
    EXPECT_TRUE(single.writeData({ 'h', 'i' }, "greeting.txt"));
    EXPECT_TRUE(single.writeFolderAtPath(folder.string(), "folder"));
    EXPECT_TRUE(single.close());

    auto cancelling = std::make_shared<CountingDelegate>();
    cancelling->stopAt = 1;
    EXPECT_FALSE(ZAZipArchive::unzipFileAtPath((root / "single.zip").string(), (root / "cancelled").string(), cancelling));
    EXPECT_EQ(cancelling->unpacked, std::vector<std::string> { "greeting.txt" });
    EXPECT_FALSE(cancelling->finished);
    EXPECT_NE(cancelling->progress.back().first, cancelling->progress.back().second) << "a cancelled unpacking skips its final progress";
    EXPECT_FALSE(ZAZipArchive::unzipFileAtPath((root / "missing.zip").string(), (root / "x").string()));
}

} // namespace
