// The check of a request's method and header fields, and the connection that applies it.

#include "platform/net/HTTPRequestCheck.h"

#include "platform/net/URLConnection.h"
#include "platform/net/URLError.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

namespace morvix::platform {
namespace {

TEST(HTTPRequestCheckTest, MethodsMustBeTokensAndFieldsSafe)
{
    for (const char* method : { "GET", "PROPFIND", "M-SEARCH", "x~y" })
        EXPECT_FALSE(HTTPRequestCheck::validateMethod(method)) << method;
    for (std::string method : { std::string(), std::string("GET\r\nX"), std::string("GET X"), std::string("GE\0T", 4), std::string("G:ET"),
             std::string("GÉT") }) {
        auto error = HTTPRequestCheck::validateMethod(method);
        ASSERT_TRUE(error) << method;
        EXPECT_EQ(error->code(), kHTTPHeaderErrorInvalidMethod);
    }
    // The first refusal in order: the method, then each field.
    EXPECT_FALSE(HTTPRequestCheck::validate("PUT", { { "X-A", "1" }, { "Accept", "text/plain, */*" } }));
    EXPECT_EQ(HTTPRequestCheck::validate("PUT", { { "X-A", "1" }, { "X B", "2" } })->code(), kHTTPHeaderErrorInvalidName);
    EXPECT_EQ(HTTPRequestCheck::validate("PUT", { { "X-A", "1\n" }, { "X B", "2" } })->code(), kHTTPHeaderErrorInvalidValue);
    EXPECT_EQ(HTTPRequestCheck::validate("P T", { { "X B", "2" } })->code(), kHTTPHeaderErrorInvalidMethod);
}

TEST(HTTPRequestCheckTest, AConnectionRefusesAMethodThatIsNoTokenWithoutSendingIt)
{
    testing::TestHttpServer server;
    server.route("*", testing::TestResponse().withBody("ok"));
    server.start();
    URLRequest request(Url::parse(server.url("/a")));
    request.setMethod("GET /smuggled HTTP/1.1\r\nHost: x\r\n\r\nGET");
    auto result = URLConnection::sendSynchronousRequest(request);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), kURLErrorBadURL);
    request.setMethod("DELETE");
    EXPECT_FALSE(URLConnection::sendSynchronousRequest(request).error);
    auto received = server.requests();
    ASSERT_EQ(received.size(), 1u) << "only the valid request reached the server";
    EXPECT_EQ(received[0].method, "DELETE");
}

} // namespace
} // namespace morvix::platform
