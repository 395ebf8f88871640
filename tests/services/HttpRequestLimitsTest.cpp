// "morvix.HttpRequest" against a hostile script application, in a real script session: the
// local files it may read (its own folder and the resource roots, nothing else however the path
// is written), the cap on response bodies and the header fields it may not set.

#include "services/MorvixHttpRequest.h"

#include "platform/foundation/MainLoop.h"

#include "tests/core/session/SessionLogRecorder.h"
#include "tests/support/ScriptSessionFixture.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace morvix {
namespace {

namespace fs = std::filesystem;
using platform::Value;

class HttpRequestLimitsTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        ScriptSessionFixture::SetUp();
        server.route("/ten", testing::TestResponse().withHeader("Content-Type", "text/plain").withBody("0123456789"));
        server.route("/large", testing::TestResponse().withHeader("Content-Type", "text/plain").withBody(std::string(5000, 'a')));
        server.handle("/chunked", [](const testing::RecordedRequest&, testing::ResponseWriter& writer) {
            writer.writeHead(200, { { "Transfer-Encoding", "chunked" }, { "Content-Type", "text/plain" } });
            for (int chunk = 0; chunk < 10; ++chunk)
                writer.writeChunk(std::string(500, 'b'));
            writer.endChunks();
        });
        server.start();
        folder.write("data.txt", "inside");
        outside.write("secret.txt", "outside");
        resources.write("shared.txt", "from the resources");
        delegate->roots = std::vector<std::string> { resources.path().string() };
        writeApplication("client.create('r1', 'morvix.HttpRequest', {}); client.listen('r1', 'StateChange', true);");
        ASSERT_NO_FATAL_FAILURE(createClient());
        log.attach(*client);
        loadSession();
        sent();
    }
    void TearDown() override
    {
        ScriptSessionFixture::TearDown();
        server.stop();
    }

    // Sends `properties` (script object text) from the script and returns the request's end
    // state, with the response when it finished: "finished: <text>", "error", ...
    std::string send(const std::string& properties)
    {
        run("client.call('r1', 'send', " + properties + ");");
        std::string end;
        bool ended = platform::MainLoop::main().runUntil([&] {
            for (const auto& operation : sent()) {
                if (operation.size() < 4 || operation[0] != "notify" || operation[2] != "StateChange")
                    continue;
                std::string state = operation[3].value("state", "");
                if (state != "loading" && state != "headers")
                    end = state + (operation[3].contains("response") ? ": " + operation[3]["response"].get<std::string>() : "");
            }
            return !end.empty();
        }, std::chrono::seconds(10));
        EXPECT_TRUE(ended) << properties;
        return end;
    }

    testing::TestHttpServer server;
    testing::ScriptFolder outside;
    testing::ScriptFolder resources;
    testing::SessionLogRecorder log;
};

TEST_F(HttpRequestLimitsTest, LocalReadsStayInTheApplicationFolderAndTheResourceRoots)
{
    EXPECT_EQ(send("{url: 'data.txt'}"), "finished: inside");
    EXPECT_EQ(send("{url: './nested/../data.txt'}"), "finished: inside");
    EXPECT_EQ(send("{url: 'shared.txt'}"), "finished: from the resources");

    // Up and out by dots, by an absolute path, by escaped slashes, and through a link in the
    // application's folder: each ends in "error" with nothing read, and is logged.
    std::string up = "../" + outside.path().filename().string() + "/secret.txt";
    fs::create_symlink(outside.path() / "secret.txt", folder.path() / "link.txt");
    for (const std::string& url : { "../../../../.." + outside.path().string() + "/secret.txt", outside.path().string() + "/secret.txt",
             std::string("..%2F") + outside.path().filename().string() + "%2Fsecret.txt", up, std::string("link.txt") }) {
        SCOPED_TRACE(url);
        EXPECT_EQ(send("{url: '" + url + "'}"), "error");
    }
    EXPECT_TRUE(log.contains("refused a local file: \"" + (outside.path() / "secret.txt").string() + "\" lies outside the folders a peer may read"));
    // A folder of the application is no file.
    EXPECT_EQ(send("{url: 'node_modules'}"), "error");
}

TEST_F(HttpRequestLimitsTest, ResponseBodiesAreCappedAtTheSessionsMaximumOrLower)
{
    client->setMaximumResponseSize(1000);
    folder.write("large.txt", std::string(5000, 'c'));
    for (const std::string& url : { server.url("/large"), server.url("/chunked"), std::string("large.txt") }) {
        SCOPED_TRACE(url);
        EXPECT_EQ(send("{url: '" + url + "'}"), "error");
    }
    // The peer may lower the cap, not raise it past the session's.
    EXPECT_EQ(send("{url: '" + server.url("/ten") + "', maxResponseSize: 9}"), "error");
    EXPECT_EQ(send("{url: '" + server.url("/ten") + "', maxResponseSize: 10}"), "finished: 0123456789");
    EXPECT_EQ(send("{url: '" + server.url("/large") + "', maxResponseSize: 1e12}"), "error");
    EXPECT_TRUE(log.contains("is clamped to the session's maximum response size 1000"));
    client->setMaximumResponseSize(10000);
    EXPECT_EQ(send("{url: '" + server.url("/large") + "', maxResponseSize: 1e12}"), "finished: " + std::string(5000, 'a'));
    for (const char* bad : { "-1", "'many'", "[5]" }) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(send("{url: '" + server.url("/ten") + "', maxResponseSize: " + bad + "}"), "error");
    }
    EXPECT_TRUE(log.contains("\"maxResponseSize\" must be a number of bytes from 0 on"));
}

TEST_F(HttpRequestLimitsTest, HostAndHopByHopFieldsAreLeftOutAndTheRestSent)
{
    EXPECT_EQ(send("{url: '" + server.url("/ten") + "', method: 'POST', data: 'body', headers: {Host: 'evil.example', connection: 'close', "
                   "'Keep-Alive': '300', 'Proxy-Authorization': 'Basic eA==', TE: 'trailers', Trailer: 'X-Sum', "
                   "'Transfer-Encoding': 'chunked', Upgrade: 'h2c', 'X-Kept': 'yes'}}"),
        "finished: 0123456789");
    auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    const auto& received = requests.back();
    EXPECT_EQ(received.header("X-Kept"), "yes");
    EXPECT_EQ(received.header("Host"), "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(received.body, "body");
    for (const char* name : { "Keep-Alive", "Proxy-Authorization", "TE", "Trailer", "Transfer-Encoding", "Upgrade" }) {
        SCOPED_TRACE(name);
        EXPECT_EQ(received.header(name), std::nullopt);
    }
    EXPECT_NE(received.header("Connection"), "close");
    EXPECT_TRUE(log.contains("HttpRequest r1 the header \"Host\" is the HTTP layer's own and is not sent"));
    EXPECT_TRUE(log.contains("the header \"Proxy-Authorization\" is the HTTP layer's own"));
    EXPECT_TRUE(MorvixHttpRequest::isReservedHeader("proxy-connection"));
    EXPECT_FALSE(MorvixHttpRequest::isReservedHeader("Proxy"));
}

} // namespace
} // namespace morvix
