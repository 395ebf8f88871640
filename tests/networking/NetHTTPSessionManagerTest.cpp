#include "networking/NetHTTPSessionManager.h"

#include "networking/NetHTTPRequestSerializer.h"
#include "networking/NetHTTPResponseSerializer.h"
#include "networking/NetMultipartFormData.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/URLError.h"
#include "tests/networking/NetSessionManagerTestServer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>

using namespace morvix;
using namespace morvix::testing;
using namespace std::chrono_literals;
using morvix::platform::Error;
using morvix::platform::Url;
using morvix::platform::Value;

namespace {

// What one request's blocks were given.
struct Outcome {
    NetHTTPSessionManager::DataTaskPointer task;
    std::any object;
    std::optional<Error> error;
    bool succeeded = false;
};

class NetHTTPSessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        ASSERT_TRUE(python.isRunning());
        manager = NetHTTPSessionManager::create(Url::parse(python.url("/api")));
    }
    void TearDown() override
    {
        dispose(std::move(manager));
        loop.resetForTesting();
    }
    // A manager lives until its session is invalidated: end it and wait until it is freed.
    void dispose(std::shared_ptr<NetURLSessionManager> ended)
    {
        ended->invalidateSessionCancelingTasks(CancelTasks::Yes);
        std::weak_ptr<NetURLSessionManager> weak = ended;
        ended.reset();
        EXPECT_TRUE(loop.runUntil([&] { return weak.expired(); }, 10s));
    }

    NetHTTPSessionManager::SuccessBlock success(std::shared_ptr<Outcome> outcome)
    {
        return [outcome](const auto& task, const std::any& object) {
            EXPECT_TRUE(platform::isMainThread());
            outcome->task = task;
            outcome->object = object;
            outcome->succeeded = true;
        };
    }
    NetHTTPSessionManager::FailureBlock failure(std::shared_ptr<Outcome> outcome)
    {
        return [outcome](const auto& task, const Error& error) {
            outcome->task = task;
            outcome->error = error;
        };
    }
    Value finish(const std::shared_ptr<Outcome>& outcome)
    {
        EXPECT_TRUE(loop.runUntil([&] { return outcome->succeeded || outcome->error; }, 10s));
        if (!outcome->object.has_value())
            return nullptr;
        return std::any_cast<Value>(outcome->object);
    }

    platform::MainLoop& loop = platform::MainLoop::main();
    PythonEchoServer python;
    std::shared_ptr<NetHTTPSessionManager> manager;
};

TEST_F(NetHTTPSessionManagerTest, EachMethodReachesTheServerAsItReadsTheRequest)
{
    auto got = std::make_shared<Outcome>();
    auto task = manager->GET("items", Value { { "page", 2 } }, success(got), failure(got));
    ASSERT_TRUE(task);
    EXPECT_EQ(task->state(), platform::URLSessionTaskState::Running);
    auto seen = finish(got);
    EXPECT_EQ(got->task, task);
    EXPECT_EQ(seen["method"], "GET");
    EXPECT_EQ(seen["path"], "/api/items");
    EXPECT_EQ(seen["query"], Value::parse("[[\"page\",\"2\"]]"));

    for (const std::string method : { "POST", "PUT", "PATCH" }) {
        auto outcome = std::make_shared<Outcome>();
        auto parameters = Value { { "a", "1" }, { "b", Value::array({ "x", "y" }) } };
        if (method == "POST")
            manager->POST("form", parameters, success(outcome), failure(outcome));
        else if (method == "PUT")
            manager->PUT("form", parameters, success(outcome), failure(outcome));
        else
            manager->PATCH("form", parameters, success(outcome), failure(outcome));
        auto body = finish(outcome);
        EXPECT_EQ(body["method"], method);
        EXPECT_EQ(body["form"], Value::parse("[[\"a\",\"1\"],[\"b[]\",\"x\"],[\"b[]\",\"y\"]]"));
    }

    auto deleted = std::make_shared<Outcome>();
    manager->DELETE("/items/7", Value { { "force", true } }, success(deleted), failure(deleted));
    auto removal = finish(deleted);
    EXPECT_EQ(removal["method"], "DELETE");
    EXPECT_EQ(removal["path"], "/items/7");
    EXPECT_EQ(removal["query"], Value::parse("[[\"force\",\"1\"]]"));

    auto head = std::make_shared<Outcome>();
    manager->HEAD("items", std::nullopt, [head](const auto& task) { head->task = task; head->succeeded = true; }, failure(head));
    finish(head);
    EXPECT_TRUE(head->succeeded && head->task);

    auto multipart = std::make_shared<Outcome>();
    manager->POST("upload", Value { { "field", "value" } },
        [](NetMultipartFormData& form) { form.appendPartWithFileData(std::string(70000, 'z'), "file", "z.bin", "application/octet-stream"); },
        success(multipart), failure(multipart));
    auto parts = finish(multipart)["parts"];
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1]["filename"], "z.bin");
    EXPECT_EQ(parts[1]["size"], 70000);

    // A status the response serializer refuses goes to the failure block, with the task.
    auto refused = std::make_shared<Outcome>();
    auto refusedTask = manager->GET("missing", Value { { "status", 404 } }, success(refused), failure(refused));
    finish(refused);
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(refused->task, refusedTask);
    EXPECT_FALSE(refused->succeeded);
}

TEST_F(NetHTTPSessionManagerTest, URLStringsResolveAsUrljoinResolvesThem)
{
    // urljoin("http://a/b/c/d;p/?q", reference): the RFC 3986 examples against the base the
    // manager keeps for "http://a/b/c/d;p?q" (a slash added to its path).
    const std::array<std::pair<const char*, const char*>, 22> expected { {
        { "g:h", "g:h" }, { "g", "http://a/b/c/d;p/g" }, { "./g", "http://a/b/c/d;p/g" }, { "g/", "http://a/b/c/d;p/g/" },
        { "/g", "http://a/g" }, { "//g", "http://g" }, { "?y", "http://a/b/c/d;p/?y" }, { "g?y", "http://a/b/c/d;p/g?y" },
        { "#s", "http://a/b/c/d;p/?q#s" }, { "g#s", "http://a/b/c/d;p/g#s" }, { "g?y#s", "http://a/b/c/d;p/g?y#s" },
        { ";x", "http://a/b/c/d;p/;x" }, { "g;x", "http://a/b/c/d;p/g;x" }, { "g;x?y#s", "http://a/b/c/d;p/g;x?y#s" },
        { ".", "http://a/b/c/d;p/" }, { "./", "http://a/b/c/d;p/" }, { "..", "http://a/b/c/" }, { "../", "http://a/b/c/" },
        { "../g", "http://a/b/c/g" }, { "../..", "http://a/b/" }, { "../../", "http://a/b/" }, { "../../g", "http://a/b/g" },
    } };
    auto rfc = NetHTTPSessionManager::create(Url::parse("http://a/b/c/d;p?q"));
    EXPECT_EQ(rfc->baseURL()->absoluteString(), "http://a/b/c/d;p/?q");
    for (const auto& [reference, target] : expected) {
        auto task = rfc->dataTaskWithHTTPMethod("GET", reference, std::nullopt, nullptr, nullptr);
        ASSERT_TRUE(task) << reference;
        EXPECT_EQ(task->originalRequest()->url()->absoluteString(), target) << reference;
    }
    auto bare = NetHTTPSessionManager::create(Url::parse("http://h"));
    EXPECT_EQ(bare->baseURL()->absoluteString(), "http://h");
    dispose(std::move(bare));
    dispose(std::move(rfc));

    // A string that is no URL gives a request without one, which fails when it starts.
    auto bad = std::make_shared<Outcome>();
    auto task = manager->GET("http://bad host/", std::nullopt, success(bad), failure(bad));
    ASSERT_TRUE(task);
    finish(bad);
    ASSERT_TRUE(bad->error);
    EXPECT_TRUE(bad->error->is(platform::URLErrorDomain, platform::kURLErrorBadURL));
}

TEST_F(NetHTTPSessionManagerTest, ASerializerErrorReportsANullTaskLaterAndCopiesCarrySerializerCopies)
{
    auto serializer = NetHTTPRequestSerializer::serializer();
    serializer->setQueryStringSerializationWithBlock([](const platform::URLRequest&, const Value&, std::optional<Error>* error) {
        *error = Error("test", 7);
        return std::optional<std::string>();
    });
    manager->setRequestSerializer(serializer);
    auto group = platform::DispatchGroup::create();
    manager->setCompletionGroup(group);
    auto failed = std::make_shared<Outcome>();
    std::size_t groupCount = 99;
    auto task = manager->GET("items", Value { { "a", 1 } }, nullptr, [&](const auto& task, const Error& error) {
        failed->task = task;
        failed->error = error;
        groupCount = group->count();
    });
    EXPECT_FALSE(task);
    EXPECT_FALSE(failed->error); // not yet: it comes on the completion queue
    finish(failed);
    EXPECT_EQ(failed->error->code(), 7);
    EXPECT_FALSE(failed->task);
    EXPECT_EQ(groupCount, 0u);
    EXPECT_FALSE(manager->GET("items", Value { { "a", 1 } }, nullptr, nullptr));
    EXPECT_TRUE(manager->tasks().empty());

    auto copy = std::dynamic_pointer_cast<NetHTTPSessionManager>(manager->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->baseURL()->absoluteString(), manager->baseURL()->absoluteString());
    EXPECT_NE(copy->requestSerializer(), manager->requestSerializer());
    EXPECT_TRUE(copy->requestSerializer());
    EXPECT_NE(copy->HTTPResponseSerializer(), manager->HTTPResponseSerializer());
    EXPECT_TRUE(copy->HTTPResponseSerializer());
    EXPECT_NE(copy->description().find("<NetHTTPSessionManager: 0x"), std::string::npos);
    EXPECT_NE(copy->description().find(", baseURL: " + python.url("/api/") + ", session: <URLSession: "), std::string::npos);
    dispose(std::move(copy));
}

// An archive such as a manager whose configuration could not be archived writes: the base URL
// and the background session's name only.
class IdentifierOnly final : public platform::KeyedCoding {
public:
    std::string archiveClassName() const override { return NetHTTPSessionManager::kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override
    {
        coder.encodeString("http://h/base", "baseURL");
        coder.encodeString("uploads", "identifier");
    }
};

TEST_F(NetHTTPSessionManagerTest, ArchivesRoundTripAndAnIdentifierDecodesToABackgroundConfiguration)
{
    auto configuration = platform::URLSessionConfiguration::backgroundSessionConfiguration("transfers");
    configuration.setTimeoutIntervalForRequest(12.5);
    platform::HTTPHeaders headers;
    (void)headers.set("X-Client", "morvix");
    configuration.setHTTPAdditionalHeaders(headers);
    auto original = NetHTTPSessionManager::create(Url::parse("http://h/api"), configuration);
    original->requestSerializer()->setValueForHTTPHeaderField("yes", "X-Archived");

    std::optional<Error> error;
    auto archive = platform::KeyedArchiver::archivedDataWithRootObject(*original);
    auto decoded = platform::KeyedUnarchiver::unarchivedObject<NetHTTPSessionManager>(archive, &error);
    ASSERT_TRUE(decoded) << (error ? error->description() : "");
    EXPECT_EQ(decoded->baseURL()->absoluteString(), "http://h/api/");
    EXPECT_TRUE(decoded->session()->configuration() == configuration);
    EXPECT_EQ(decoded->requestSerializer()->valueForHTTPHeaderField("X-Archived"), "yes");
    EXPECT_TRUE(decoded->HTTPResponseSerializer());
    // The base class decodes it too, as the class it was written as.
    auto asBase = platform::KeyedUnarchiver::unarchivedObject<NetURLSessionManager>(archive);
    EXPECT_TRUE(std::dynamic_pointer_cast<NetHTTPSessionManager>(asBase));
    auto written = NetURLSessionManager::create(configuration);
    auto plain = platform::KeyedUnarchiver::unarchivedObject<NetURLSessionManager>(platform::KeyedArchiver::archivedDataWithRootObject(*written));
    dispose(std::move(written));
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->session()->configuration() == configuration);

    auto fallback = platform::KeyedUnarchiver::unarchivedObject<NetHTTPSessionManager>(
        platform::KeyedArchiver::archivedDataWithRootObject(IdentifierOnly()));
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->session()->configuration().identifier(), "uploads");
    EXPECT_EQ(fallback->baseURL()->absoluteString(), "http://h/base/");

    EXPECT_FALSE(platform::KeyedUnarchiver::unarchivedObject<NetHTTPSessionManager>(archive.substr(0, archive.size() / 2)));
    for (auto* ended : { &original, &decoded, &fallback })
        dispose(std::move(*ended));
    dispose(std::move(asBase));
    dispose(std::move(plain));
}

} // namespace
