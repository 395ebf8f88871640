// A reply nested deeper than the reader takes, end to end through a session on loopback: it is
// reported through the error handler as a response that could not be parsed, as other
// unreadable bodies are.

#include "tests/support/SessionFixture.h"

#include "core/base/LogEntry.h"
#include "core/outgoing/Notifications.h"
#include "core/protocol/ProtocolProcessor.h"
#include "platform/foundation/Value.h"
#include "tests/support/RecordingErrorDelegate.h"

#include <atomic>
#include <string>
#include <vector>

namespace morvix::testing {
namespace {

// An operation whose properties nest `depth` lists deep.
std::string deepOperation(std::size_t depth)
{
    return R"(["set","deep",{"v":)" + std::string(depth, '[') + std::string(depth, ']') + "}]";
}

class DeepReplySessionTest : public SessionFixture { };

TEST_F(DeepReplySessionTest, AReplyNestedTooDeepIsReportedAsUnparsableAndNothingAfterItIsApplied)
{
    // The creates of unknown types show, in the log, how far a reply was applied.
    // The replies and counters belong to the server's handler as much as to the test: the
    // server's thread may still answer a request while the test ends.
    struct Replies {
        std::string tooDeep = R"({"head":{},"operations":[["create","a","test.Before",{}],)"
            + deepOperation(ProtocolProcessor::kMaximumDepth + 10) + R"(,["create","b","test.After",{}]]})";
        std::string within = R"({"head":{},"operations":[)" + deepOperation(ProtocolProcessor::kMaximumDepth - 10)
            + R"(,["create","c","test.Within",{}]]})";
        std::atomic<bool> answerWithin = false;
        std::atomic<int> posts = 0;
    };
    auto replies = std::make_shared<Replies>();
    std::atomic<int>& posts = replies->posts;
    server.handle("*", [replies](const RecordedRequest& request, ResponseWriter& writer) {
        if (request.method == "GET") {
            writer.respond(200, R"({"head":{},"operations":[]})");
            return;
        }
        ++replies->posts;
        writer.respond(200, replies->answerWithin ? replies->within : replies->tooDeep, { { "Content-Type", "application/json" } });
    });
    server.start();
    delegate->url = server.url("/app/");
    makeClient();
    std::vector<std::string> log;
    client->setLogObserver([&](const LogEntry& entry) { log.push_back(entry.message()); });
    auto errors = std::make_shared<RecordingErrorDelegate>();
    client->setErrorDelegate(errors);
    client->load();
    ASSERT_TRUE(pumpUntilRequests(1));

    auto head = Notifications::forHead();
    head->setAttribute(true, "event");
    head->send();
    ASSERT_TRUE(pumpUntil([&] { return !errors->errors.empty(); }));
    platform::MainLoop::main().runUntilIdle();
    ASSERT_EQ(errors->errors.size(), 1u);
    EXPECT_TRUE(errors->errors[0].is("com.zerivoquastel.morvix", 3));
    EXPECT_EQ(errors->errors[0].description(), "Server Response");
    EXPECT_EQ(errors->errors[0].failureReason(), "Response could not be parsed.");
    // Like any failed message it is sent once more before it is reported, and kept for the
    // user's retry.
    EXPECT_EQ(posts.load(), 2);
    EXPECT_TRUE(client->notificationsDispatcher()->isProcessing());
    auto mentions = [&](const std::string& part) {
        for (const auto& line : log) {
            if (line.find(part) != std::string::npos)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(mentions("test.Before"));
    EXPECT_FALSE(mentions("test.After"));
    EXPECT_TRUE(mentions("Response could not be parsed."));

    // A reply just within the limit is read whole.
    replies->answerWithin = true;
    client->retry();
    ASSERT_TRUE(pumpUntil([&] { return posts.load() == 3 && !client->notificationsDispatcher()->isProcessing(); }));
    platform::MainLoop::main().runUntilIdle();
    EXPECT_EQ(errors->errors.size(), 1u);
    EXPECT_TRUE(mentions("test.Within"));
}

} // namespace
} // namespace morvix::testing
