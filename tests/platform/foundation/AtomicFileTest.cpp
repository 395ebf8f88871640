// Whole-file writes: modes, leftovers, failures, and processes killed in the middle of a write.

#include "platform/foundation/AtomicFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvix::platform {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

mode_t modeOf(const fs::path& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// A version a reader can check whole: a header naming it, a large body, the same trailer.
std::string version(int number)
{
    std::string tag = "<" + std::to_string(number) + ">";
    std::string text = tag;
    for (int line = 0; line < 20000; ++line)
        text += "line " + std::to_string(line) + " of version " + std::to_string(number) + "\n";
    return text + tag;
}

bool isWholeVersion(const std::string& text)
{
    auto close = text.find('>');
    if (text.empty() || text[0] != '<' || close == std::string::npos)
        return false;
    return text == version(std::stoi(text.substr(1, close - 1)));
}

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "morvix-atomic-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        target = folder / "store";
    }
    void TearDown() override
    {
        AtomicFile::setHalfWrittenHookForTesting(nullptr);
        ::chmod(folder.c_str(), 0700);
        fs::remove_all(folder);
    }
    std::size_t temporaryFiles() const
    {
        std::size_t count = 0;
        for (const auto& entry : fs::directory_iterator(folder))
            count += AtomicFile::isTemporaryFileOf(entry.path().filename().string(), "store");
        return count;
    }

    fs::path folder;
    fs::path target;
};

TEST_F(AtomicFileTest, WritesKeepTheReplacedModeAndFailuresLeaveTheTargetWhole)
{
    ASSERT_FALSE(AtomicFile::write(target.string(), "first"));
    EXPECT_EQ(read(target), "first");
    EXPECT_EQ(modeOf(target), 0600u) << "a new file is private";
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    ASSERT_FALSE(AtomicFile::write(target.string(), "second", 0600));
    EXPECT_EQ(read(target), "second");
    EXPECT_EQ(modeOf(target), 0644u) << "a replaced file's mode survives";
    EXPECT_EQ(temporaryFiles(), 0u);

    // A hook that throws half-way: the exception passes, the target and folder stay clean.
    AtomicFile::setHalfWrittenHookForTesting([](const std::string&) { throw std::runtime_error("stopped"); });
    EXPECT_THROW((void)AtomicFile::write(target.string(), "third, never whole"), std::runtime_error);
    AtomicFile::setHalfWrittenHookForTesting(nullptr);
    EXPECT_EQ(read(target), "second");
    EXPECT_EQ(temporaryFiles(), 0u);

    // A folder that cannot be written: an error with the system's reason, the target whole.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
        auto error = AtomicFile::write(target.string(), "fourth");
        ASSERT_TRUE(error);
        EXPECT_EQ(error->failureReason(), std::string(std::strerror(EACCES)));
        EXPECT_EQ(read(target), "second");
        ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
    }

    // Leftovers are recognised by name only; other files stay.
    std::ofstream(folder / "store.tmp-abc123") << "x";
    std::ofstream(folder / "other.tmp-abc123") << "x";
    EXPECT_EQ(AtomicFile::removeLeftovers(target.string()), 1u);
    EXPECT_TRUE(fs::exists(folder / "other.tmp-abc123"));
}

TEST_F(AtomicFileTest, AProcessKilledMidWriteLeavesThePreviousVersionWhole)
{
    ASSERT_FALSE(AtomicFile::write(target.string(), version(1)));
    std::string next = version(2);
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child tells the parent it is half-way through, then waits to be killed.
        AtomicFile::setHalfWrittenHookForTesting([&](const std::string&) {
            char signal = 'h';
            (void)!::write(pipe[1], &signal, 1);
            for (;;)
                ::pause();
        });
        (void)AtomicFile::write(target.string(), next);
        ::_exit(0);
    }
    ::close(pipe[1]);
    char signal = 0;
    ASSERT_EQ(::read(pipe[0], &signal, 1), 1);
    ::close(pipe[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(read(target), version(1));
    EXPECT_EQ(temporaryFiles(), 1u) << "the half-written temporary file is left behind";
    EXPECT_EQ(AtomicFile::removeLeftovers(target.string()), 1u);

    // Killed at random moments during a run of writes, a reader always finds one whole version.
    std::mt19937 random(20261209);
    for (int round = 0; round < 50; ++round) {
        pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (int number = 100 * round;; ++number)
                (void)AtomicFile::write(target.string(), version(number));
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random)); // the moment of the kill, not a wait for a result
        ::kill(writer, SIGKILL);
        ::waitpid(writer, &status, 0);
        std::string found = read(target);
        ASSERT_TRUE(isWholeVersion(found)) << "round " << round << ": " << found.size() << " bytes";
        AtomicFile::removeLeftovers(target.string());
    }
    EXPECT_EQ(temporaryFiles(), 0u);
}

} // namespace
} // namespace morvix::platform
