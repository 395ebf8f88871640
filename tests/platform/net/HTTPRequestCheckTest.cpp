// The connection refuses a method that would write a second line into the request's head.

#include "platform/net/HTTPRequestCheck.h"

#include "platform/net/URLConnection.h"
#include "platform/net/URLError.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

namespace morvix::platform {
namespace {

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
