// The session's one budget for the downloads its peer starts, in a real session against a
// loopback server: requests past the count wait for a place, bodies past the bytes end in
// "error", print jobs share both, and a job file lasts only as long as its download.

#include "services/MorvixHttpRequest.h"
#include "services/Printer.h"

#include "core/protocol/CommandOperator.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/SessionBudget.h"
#include "platform/ui/screens/PrintController.h"
#include "tests/support/LoopbackSessionFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace morvix {
namespace {

namespace fs = std::filesystem;
using platform::PrintController;
using platform::SessionBudget;
using platform::Value;
using testing::RecordedRequest;
using testing::ResponseWriter;
using Resource = SessionBudget::Resource;

class DownloadBudgetSessionTest : public testing::LoopbackSessionFixture {
protected:
    void SetUp() override
    {
        // Each held response sends 1500 bytes, then waits for its gate before it ends.
        for (auto [path, gate] : { std::pair { "/held", &first }, std::pair { "/held2", &second } }) {
            server.handle(path, [gate](const RecordedRequest&, ResponseWriter& writer) {
                writer.writeHead(200, { { "Content-Type", "text/plain" } });
                writer.write(std::string(1500, 'h'));
                writer.waitFor(*gate);
            });
        }
        server.route("/big", testing::TestResponse().withHeader("Content-Type", "text/plain").withBody(std::string(5000, 'b')));
        server.handle("/docs/held.pdf", [this](const RecordedRequest&, ResponseWriter& writer) {
            writer.writeHead(200, { { "Content-Type", "application/pdf" } });
            writer.write("%PDF-1.4\n" + std::string(3000, 'x'));
            writer.waitFor(first);
            writer.write("\n%%EOF\n");
        });
        server.route("/docs/large.pdf", testing::TestResponse().withBody("%PDF-1.4\n" + std::string(9000, 'x')));
        server.route("/docs/page.html", testing::TestResponse().withBody("<html>not a document</html>"));
        server.handle("/docs/endless.pdf", [this](const RecordedRequest&, ResponseWriter& writer) {
            writer.writeHead(200, { { "Content-Type", "application/pdf" } });
            writer.write("%PDF-1.4\n");
            writer.waitFor(third);
        });
        LoopbackSessionFixture::SetUp();
        PrintController::shared().resetForTesting();
        folder = fs::temp_directory_path() / ("download-budget-test-" + std::to_string(::getpid()));
        auto bundle = platform::BundleInfo::defaults();
        bundle.documentsPath = (folder / "Documents").string();
        platform::BundleInfo::setMain(bundle);
        start();
        budget = client->sessionBudget();
        budget->setLimit(Resource::DownloadBytes, 10000);
    }
    void TearDown() override
    {
        first.open();
        second.open();
        third.open();
        LoopbackSessionFixture::TearDown();
        PrintController::shared().resetForTesting();
        platform::BundleInfo::resetForTesting();
        fs::remove_all(folder);
    }

    void apply(const std::string& operations)
    {
        for (const auto& operation : Value::parse(operations))
            client->commandOperator()->processOperation(operation);
    }
    // Creates the requests `ids`, listened, and has each send `properties`.
    void send(const std::vector<std::string>& ids, const Value& properties)
    {
        for (const auto& id : ids) {
            apply(Value::array({ Value::array({ "create", id, "morvix.HttpRequest", Value::object() }),
                Value::array({ "listen", id, { { "StateChange", true } } }), Value::array({ "call", id, "send", properties }) })
                      .dump());
        }
    }
    std::shared_ptr<MorvixHttpRequest> request(const std::string& id) const { return object<MorvixHttpRequest>(id); }
    // The last state "StateChange" reported for `id` (with the response's length when there is
    // one), or "" before any.
    std::string lastState(const std::string& id) const
    {
        std::string state;
        for (const auto& operation : operationsFor(id)) {
            if (operation[0] != "notify" || operation[2] != "StateChange")
                continue;
            state = operation[3]["state"].get<std::string>();
            if (operation[3].contains("response"))
                state += " " + std::to_string(operation[3]["response"].get<std::string>().size());
        }
        return state;
    }
    bool allEnded(const std::vector<std::string>& ids, const std::string& state)
    {
        return waitUntil([&] { return std::all_of(ids.begin(), ids.end(), [&](const auto& id) { return lastState(id) == state; }); });
    }

    testing::TestGate first;
    testing::TestGate second;
    testing::TestGate third;
    std::shared_ptr<SessionBudget> budget;
    fs::path folder;
};

TEST_F(DownloadBudgetSessionTest, RequestsPastTheCountWaitAndBodiesPastTheBytesFail)
{
    // Eight sends in one go: six run, two wait in the order sent, and the server hears of six.
    const std::vector<std::string> ids { "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8" };
    send(ids, { { "url", "/held" } });
    EXPECT_EQ(budget->inUse(Resource::Downloads), SessionBudget::kMaximumDownloads);
    EXPECT_EQ(budget->waitingDownloads(), 2u);
    EXPECT_TRUE(request("r7")->isWaiting());
    ASSERT_TRUE(waitUntil([&] { return budget->inUse(Resource::DownloadBytes) == 6 * 1500; }));
    auto held = server.requests();
    EXPECT_EQ(std::count_if(held.begin(), held.end(), [](const auto& sent) { return sent.path == "/held"; }), 6);

    // An abort while waiting ends the request there; the others start as places free.
    apply(R"([["call","r8","abort",{}]])");
    EXPECT_FALSE(request("r8")->isWaiting());
    first.open();
    ASSERT_TRUE(allEnded({ "r1", "r2", "r3", "r4", "r5", "r6", "r7" }, "finished 1500"));
    ASSERT_TRUE(waitUntil([&] { return lastState("r8") == "aborted"; }));
    EXPECT_EQ(budget->peak(Resource::Downloads), SessionBudget::kMaximumDownloads);

    // Bodies held by running requests count together: a body that would take them past the
    // session's bytes ends in "error", the others finish.
    send({ "s1", "s2", "s3", "s4", "s5" }, { { "url", "/held2" } });
    ASSERT_TRUE(waitUntil([&] { return budget->inUse(Resource::DownloadBytes) == 5 * 1500; }));
    send({ "b1" }, { { "url", "/big" } });
    ASSERT_TRUE(allEnded({ "b1" }, "error"));
    second.open();
    ASSERT_TRUE(allEnded({ "s1", "s2", "s3", "s4", "s5" }, "finished 1500"));
    send({ "b2" }, { { "url", "/big" } });
    ASSERT_TRUE(allEnded({ "b2" }, "finished 5000"));
    EXPECT_LE(budget->peak(Resource::DownloadBytes), 10000u);
    EXPECT_EQ(budget->inUse(Resource::DownloadBytes), 0u);
    EXPECT_EQ(budget->inUse(Resource::Downloads), 0u);
}

TEST_F(DownloadBudgetSessionTest, PrintJobsShareTheBudgetAndTheirFilesLastOnlyAsLongAsTheirDownloads)
{
    apply(R"([["create","p1","morvix.Printer",{}],["create","p2","morvix.Printer",{}],
        ["call","p1","print",{"url":"/docs/held.pdf"}]])");
    auto p1 = object<Printer>("p1");
    auto p2 = object<Printer>("p2");
    ASSERT_TRUE(waitUntil([&] { return budget->inUse(Resource::DownloadBytes) == 3009; }));
    EXPECT_TRUE(fs::exists(p1->jobFilePath()));

    // A document that would take the downloads past the session's bytes fails; one that cannot
    // be printed fails once read. Neither leaves its file.
    auto errors = [&] {
        std::size_t count = 0;
        for (const auto& operation : operationsFor("p2"))
            count += operation[0] == "notify" && operation[2] == "Error";
        return count;
    };
    apply(R"([["call","p2","print",{"url":"/docs/large.pdf"}]])");
    ASSERT_TRUE(waitUntil([&] { return errors() == 1; }));
    EXPECT_FALSE(fs::exists(p2->jobFilePath()));
    apply(R"([["call","p2","print",{"url":"/docs/page.html"}]])");
    ASSERT_TRUE(waitUntil([&] { return errors() == 2; }));
    EXPECT_FALSE(fs::exists(p2->jobFilePath()));

    // A printed document's file goes once it is read; the bytes go back with it.
    first.open();
    ASSERT_TRUE(waitUntil([&] { return PrintController::shared().isPresented(); }));
    EXPECT_FALSE(fs::exists(p1->jobFilePath()));
    EXPECT_EQ(budget->inUse(Resource::DownloadBytes), 0u);
    EXPECT_LE(budget->peak(Resource::DownloadBytes), 10000u);

    // The session ends while a download runs: its job file goes with it.
    apply(R"([["call","p2","print",{"url":"/docs/endless.pdf"}]])");
    std::string path = p2->jobFilePath();
    ASSERT_TRUE(waitUntil([&] { return budget->inUse(Resource::DownloadBytes) == 9; }));
    EXPECT_TRUE(fs::exists(path));
    p1.reset();
    p2.reset();
    client.reset();
    EXPECT_FALSE(fs::exists(path));
}

} // namespace
} // namespace morvix
