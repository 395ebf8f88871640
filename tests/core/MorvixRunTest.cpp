// The command-line client, run as a program against a scripted server.

#include "platform/foundation/Value.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#ifdef MORVIX_RUN_PATH

namespace morvix::testing {
namespace {

struct Run {
    int status = -1;
    std::string output;
};

Run run(const std::string& arguments)
{
    Run result;
    std::string command = std::string(MORVIX_RUN_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, read);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(MorvixRunTest, RunsASessionLogsTrafficAndTerminates)
{
    TestHttpServer server;
    server.handle("*", [](const RecordedRequest& request, ResponseWriter& writer) {
        writer.respond(200, request.method == "GET" ? R"({"head":{"requestCounter":1},"operations":[]})" : R"({"head":{},"operations":[]})");
    });
    server.start();
    auto result = run("--server " + server.url("/app") + " --log-traffic --tree --terminate --idle-ms 100 --seconds 20");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("> GET " + server.url("/app")), std::string::npos) << result.output;
    EXPECT_NE(result.output.find(R"({"head":{"requestCounter":1},"operations":[]})"), std::string::npos) << result.output;
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(platform::valuesEqual(platform::Value::parse(requests[1].body), platform::Value::parse(R"({"head":{"requestCounter":1,"shutdown":true},"operations":[]})")))
        << requests[1].body;
}

TEST(MorvixRunTest, ErrorReachingTheHandlerIsPrintedAndEndsWithStatusTwo)
{
    TestHttpServer server;
    server.route("*", TestResponse().withHeader("com.zerivoquastel.morvix.server.id", "stranger").withBody(R"({"head":{},"operations":[]})"));
    server.start();
    auto result = run("--server " + server.url("/") + " --idle-ms 100 --seconds 20");
    EXPECT_EQ(result.status, 2) << result.output;
    EXPECT_NE(result.output.find("domain=com.zerivoquastel.morvix code=417 title=\"Unauthorized Access\""), std::string::npos)
        << result.output;
}

TEST(MorvixRunTest, UnknownOptionIsAUsageError)
{
    auto result = run("--server http://127.0.0.1:1/ --bogus");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("usage: morvix-run"), std::string::npos);
}

} // namespace
} // namespace morvix::testing

#endif
