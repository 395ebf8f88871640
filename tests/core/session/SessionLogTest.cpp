#include "core/base/LogEntry.h"
#include "core/session/MorvixClient.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/Error.h"
#include "tests/support/SessionFixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace morvix::testing {
namespace {

class SessionLogTest : public SessionFixture { };

TEST_F(SessionLogTest, TheObserverGetsEveryEntryOnTheMainLoopInOrder)
{
    makeClient();
    std::vector<std::pair<LogEntry::Type, std::string>> seen;
    std::thread::id observerThread;
    client->setLogObserver([&](const LogEntry& entry) {
        seen.emplace_back(entry.type(), entry.message());
        observerThread = std::this_thread::get_id();
    });

    client->log(LogEntry("first", LogEntry::Type::Info));
    std::thread([&] { client->log(LogEntry("from a worker", LogEntry::Type::Warning)); }).join();
    client->logError(platform::Error("test", 7, "Something failed", "because"));
    EXPECT_TRUE(seen.empty()) << "entries reach the observer on a later turn of the main loop";

    platform::MainLoop::main().runUntilIdle();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(LogEntry::Type::Info, std::string("first")));
    EXPECT_EQ(seen[1], std::make_pair(LogEntry::Type::Warning, std::string("from a worker")));
    EXPECT_EQ(seen[2], std::make_pair(LogEntry::Type::Error, std::string("Something failed\nbecause")));
    EXPECT_EQ(observerThread, std::this_thread::get_id());

    client->setLogObserver(nullptr);
    client->log(LogEntry("unseen", LogEntry::Type::Log));
    platform::MainLoop::main().runUntilIdle();
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(SessionLogTest, AnyThreadDeliveryCallsTheObserverAtOnceOnTheLoggingThread)
{
    makeClient();
    platform::MainLoop::main().runUntilIdle();
    std::vector<std::string> seen;
    std::thread::id observerThread;
    // The main thread does not turn the loop here, as when a script runs away on it.
    client->setLogObserver(
        [&](const LogEntry& entry) {
            seen.push_back(entry.message());
            observerThread = std::this_thread::get_id();
        },
        MorvixClient::LogDelivery::AnyThread);
    std::thread::id workerThread;
    std::thread([&] {
        workerThread = std::this_thread::get_id();
        client->log(LogEntry("before the script hangs", LogEntry::Type::Log));
    }).join();
    EXPECT_EQ(seen, std::vector<std::string> { "before the script hangs" });
    EXPECT_EQ(observerThread, workerThread);
    platform::MainLoop::main().runUntilIdle();
    EXPECT_EQ(seen.size(), 1u) << "nothing is delivered a second time on the main loop";
}

// The transport keeps a network log while the delegate asks for one: a new session starts a
// log, resuming keeps a running one and drops it when the delegate no longer asks.
class SessionNetworkLogTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        // One folder per test process: CTest runs the tests of this fixture side by side.
        folder = std::filesystem::path(::testing::TempDir()) / ("session-network-log-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        auto bundle = platform::BundleInfo::defaults();
        bundle.documentsPath = folder.string();
        platform::BundleInfo::setMain(bundle);
        server.handle("*", [](const RecordedRequest&, ResponseWriter& writer) { writer.respond(200, R"({"head":{},"operations":[]})"); });
        server.start();
        delegate->url = server.url("/app/");
    }
    void TearDown() override
    {
        SessionFixture::TearDown();
        platform::BundleInfo::resetForTesting();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::vector<std::filesystem::path> logFiles() const
    {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files.push_back(entry.path());
        return files;
    }
    static std::string contents(const std::filesystem::path& path)
    {
        std::ifstream file(path);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    static std::size_t occurrences(const std::string& text, const std::string& part)
    {
        std::size_t count = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++count;
        return count;
    }
    void suspendAndResume()
    {
        client->suspend();
        client->resume();
    }

    std::filesystem::path folder;
};

TEST_F(SessionNetworkLogTest, LogLivesWhileTheDelegateAsksForIt)
{
    delegate->requests = true;
    makeClient();
    client->load();
    ASSERT_TRUE(pumpUntilRequests(1));
    suspendAndResume(); // still wanted: the running log goes on in the same file
    ASSERT_TRUE(pumpUntilRequests(2));
    delegate->requests = false;
    suspendAndResume(); // no longer wanted: dropped before the ping goes out
    ASSERT_TRUE(pumpUntilRequests(3));
    client.reset(); // a log still held would write its queued blocks now

    auto files = logFiles();
    ASSERT_EQ(files.size(), 1u);
    auto text = contents(files[0]);
    EXPECT_EQ(occurrences(text, "\nGET '"), 1u) << text;
    EXPECT_EQ(occurrences(text, "\nPOST '"), 1u) << text;
}

TEST_F(SessionNetworkLogTest, LogStartsOnResumeOnceTheDelegateAsksForIt)
{
    delegate->responses = false;
    makeClient();
    client->load();
    ASSERT_TRUE(pumpUntilRequests(1));
    EXPECT_TRUE(logFiles().empty());
    delegate->responses = true;
    suspendAndResume();
    ASSERT_TRUE(pumpUntilRequests(2));
    client.reset();

    auto files = logFiles();
    ASSERT_EQ(files.size(), 1u);
    auto text = contents(files[0]);
    EXPECT_EQ(occurrences(text, "\nGET '"), 0u) << text;
    EXPECT_EQ(occurrences(text, "\nPOST '"), 1u) << text;
}

} // namespace
} // namespace morvix::testing
