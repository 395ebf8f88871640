#include "core/LogEntry.h"
#include "core/MorvixClient.h"
#include "platform/foundation/Error.h"
#include "tests/core/SessionTestSupport.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace morvix::testing
