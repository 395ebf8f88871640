#include "core/session/Logger.h"

#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetHTTPResponseSerializer.h"
#include "networking/NetURLSessionManager.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLError.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace morvix;
using namespace std::chrono_literals;
using morvix::testing::RecordedRequest;
using morvix::testing::ResponseWriter;
using morvix::testing::TestGate;
using morvix::testing::TestHttpServer;
using morvix::testing::TestResponse;

namespace {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

unsigned fileMode(const std::filesystem::path& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

std::chrono::system_clock::time_point utcDate(int year, int month, int day, int hour, int minute, int second)
{
    std::tm date {};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    date.tm_hour = hour;
    date.tm_min = minute;
    date.tm_sec = second;
    return std::chrono::system_clock::from_time_t(timegm(&date));
}

// Local time is UTC for the whole test, so that session names are predictable.
class UTCZone {
public:
    UTCZone()
    {
        if (const char* zone = std::getenv("TZ"))
            m_saved = zone;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    ~UTCZone()
    {
        if (m_saved)
            ::setenv("TZ", m_saved->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_saved;
};

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        platform::Clock::install(clock);
        folder = std::filesystem::temp_directory_path() / ("morvix-logger-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
    }
    void TearDown() override
    {
        server.stop();
        loop.resetForTesting();
        platform::Clock::install(nullptr);
        std::filesystem::remove_all(folder);
    }

    std::shared_ptr<Logger> makeLogger(std::chrono::system_clock::time_point date = utcDate(2026, 12, 8, 20, 30, 0))
    {
        Logger::Configuration configuration;
        configuration.documentsFolder = folder;
        configuration.systemLog = [this](const std::string& text) {
            std::lock_guard lock(mutex);
            systemLog.push_back(text);
        };
        configuration.currentDate = [date] { return date; };
        return Logger::create(configuration);
    }

    std::vector<std::string> loggedBlocks()
    {
        std::lock_guard lock(mutex);
        return systemLog;
    }

    std::shared_ptr<NetHTTPRequestOperation> operation(platform::URLRequest request)
    {
        auto made = NetHTTPRequestOperation::create(std::move(request));
        made->setCompletionBlockWithSuccess([this](const auto&, const auto&) { ++completions; },
            [this](const auto&, const auto&) { ++completions; });
        return made;
    }

    platform::URLRequest request(std::string_view path)
    {
        return platform::URLRequest(platform::Url::parse(server.url(path)));
    }

    // The blocks are written on the logging queue after the main loop has delivered the
    // notification: pump until `count` blocks have arrived.
    bool runUntilLogged(std::size_t count, Logger& logger)
    {
        return loop.runUntil([&] {
            logger.flush();
            return loggedBlocks().size() >= count;
        }, 5s);
    }

    UTCZone zone;
    platform::MainLoop& loop = platform::MainLoop::main();
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::filesystem::path folder;
    TestHttpServer server;
    std::mutex mutex; // guards systemLog
    std::vector<std::string> systemLog;
    int completions = 0;
};

} // namespace

TEST_F(LoggerTest, SessionNameUsesTheCalendarYearAroundTheNewYear)
{
    // 30 December 2024 is in week 1 of 2025: the week-based year would say 2025.
    EXPECT_EQ(Logger::computeNewSessionName(utcDate(2024, 12, 30, 23, 59, 58)), "20241230-235958");
    EXPECT_EQ(Logger::computeNewSessionName(utcDate(2027, 1, 1, 0, 0, 5)), "20270101-000005");
    // 1 January 2027 is in week 53 of 2026.
    EXPECT_EQ(Logger::computeNewSessionName(utcDate(2027, 1, 2, 8, 9, 10)), "20270102-080910");

    auto logger = makeLogger(utcDate(2024, 12, 30, 10, 0, 0));
    EXPECT_EQ(logger->filePath(), folder / "session_20241230-100000.log");
}

TEST_F(LoggerTest, CreatesAnEmptyPrivateFileReplacingAnOldOne)
{
    std::filesystem::create_directories(folder);
    auto path = folder / "session_20261208-203000.log";
    std::ofstream(path) << "old session";
    ::chmod(path.c_str(), 0644);

    auto logger = makeLogger();
    ASSERT_TRUE(logger->hasFile());
    EXPECT_EQ(logger->filePath(), path);
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(fileMode(path), 0600u);
}

TEST_F(LoggerTest, MissingDocumentsFolderIsCreated)
{
    folder /= "nested/documents";
    auto logger = makeLogger();
    EXPECT_TRUE(logger->hasFile());
    EXPECT_TRUE(std::filesystem::exists(logger->filePath()));
}

TEST_F(LoggerTest, LogsExactBlocksForARealRequestAndResponse)
{
    auto gate = std::make_shared<TestGate>();
    server.handle("/hello", [gate](const RecordedRequest&, ResponseWriter& writer) {
        writer.waitFor(*gate);
        writer.respond(200, "hi", { { "Content-Type", "text/plain" } });
    });
    server.start();
    auto logger = makeLogger();

    auto get = request("/hello?x=1");
    get.setValueForHeader("text/plain", "Accept");
    auto running = operation(get);
    running->start();
    ASSERT_TRUE(runUntilLogged(1, *logger));
    clock->advance(1500ms);
    gate->open();
    ASSERT_TRUE(runUntilLogged(2, *logger));

    auto url = server.url("/hello?x=1");
    std::vector<std::string> expected {
        "\nGET '" + url + "': {\"Accept\":\"text/plain\"} (null)",
        "\n200 '" + url + "' [1.5000 s]: {\"Content-Type\":\"text/plain\",\"Content-Length\":\"2\"} hi",
    };
    EXPECT_EQ(loggedBlocks(), expected);
    logger->flush();
    EXPECT_EQ(readFile(logger->filePath()), expected[0] + expected[1]);
}

TEST_F(LoggerTest, SessionTasksAreLoggedWithTheirResponseAndBody)
{
    server.handle("/task", [](const RecordedRequest&, ResponseWriter& writer) {
        writer.respond(201, "made", { { "Content-Type", "text/plain" } });
    });
    server.start();
    auto logger = makeLogger();
    auto manager = NetURLSessionManager::create();
    manager->setResponseSerializer(NetHTTPResponseSerializer::serializer());
    bool done = false;
    manager->dataTaskWithRequest(request("/task"), [&done](const auto&, const std::any&, const auto&) { done = true; })->resume();
    ASSERT_TRUE(runUntilLogged(2, *logger));
    EXPECT_TRUE(done);
    auto url = server.url("/task");
    auto blocks = loggedBlocks();
    EXPECT_EQ(blocks[0], "\nGET '" + url + "': {} (null)");
    EXPECT_EQ(blocks[1], "\n201 '" + url + "' [0.0000 s]: {\"Content-Type\":\"text/plain\",\"Content-Length\":\"4\"} made");
    // The session lets go of its manager once it has become invalid, on its delegate queue.
    std::weak_ptr<NetURLSessionManager> weak = manager;
    manager->invalidateSessionCancelingTasks(CancelTasks::Yes);
    manager.reset();
    EXPECT_TRUE(loop.runUntil([&] { return weak.expired(); }, 10s));
}

TEST_F(LoggerTest, PostBodyIsLoggedAsTextAndABinaryBodyAsNull)
{
    server.route("/post", TestResponse().withStatus(404).withBody("gone"));
    server.start();
    auto logger = makeLogger();
    auto url = server.url("/post");

    auto post = request("/post");
    post.setMethod("POST");
    post.setBody("{\"a\":1}");
    operation(post)->start();
    ASSERT_TRUE(loop.runUntil([&] { return completions == 1; }, 5s));
    auto binary = request("/post");
    binary.setMethod("PUT");
    binary.setBody(std::string("\xff\xfe", 2));
    operation(binary)->start();
    ASSERT_TRUE(loop.runUntil([&] { return completions == 2; }, 5s));
    ASSERT_TRUE(runUntilLogged(4, *logger));

    // A status the operation refuses is its error: an "[Error]" block with the status.
    auto blocks = loggedBlocks();
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0], "\nPOST '" + url + "': {} {\"a\":1}");
    EXPECT_EQ(blocks[2], "\nPUT '" + url + "': {} (null)");
    for (std::size_t i : { 1u, 3u }) {
        std::string method = i == 1 ? "POST" : "PUT";
        EXPECT_TRUE(blocks[i].starts_with("\n[Error] " + method + " '" + url + "' (404) [0.0000 s]: ")) << blocks[i];
        EXPECT_NE(blocks[i].find(" -1011: "), std::string::npos) << blocks[i];
    }
}

TEST_F(LoggerTest, FailedConnectionNamesTheRequestedURL)
{
    server.start();
    auto url = server.url("/gone");
    server.stop(); // nothing listens on the port any more
    auto logger = makeLogger();

    operation(platform::URLRequest(platform::Url::parse(url)))->start();
    ASSERT_TRUE(runUntilLogged(2, *logger));

    auto blocks = loggedBlocks();
    EXPECT_EQ(blocks[0], "\nGET '" + url + "': {} (null)");
    auto prefix = "\n[Error] GET '" + url + "' (0) [0.0000 s]: " + platform::URLErrorDomain + " ";
    EXPECT_EQ(blocks[1].substr(0, prefix.size()), prefix) << blocks[1];
}

TEST_F(LoggerTest, OperationCancelledBeforeItStartedHasNoElapsedTime)
{
    auto logger = makeLogger();
    auto cancelled = operation(platform::URLRequest(platform::Url::parse("http://127.0.0.1:9/never")));
    clock->advance(3s);
    cancelled->cancel();
    cancelled->start();
    ASSERT_TRUE(runUntilLogged(1, *logger));

    auto blocks = loggedBlocks();
    ASSERT_EQ(blocks.size(), 1u); // only a finish is posted
    auto prefix = std::string("\n[Error] GET 'http://127.0.0.1:9/never' (0) [0.0000 s]: ") + platform::URLErrorDomain + " -999: ";
    EXPECT_EQ(blocks[0].substr(0, prefix.size()), prefix) << blocks[0];
}

TEST_F(LoggerTest, NotificationsWithoutARequestAreIgnored)
{
    auto logger = makeLogger();
    auto center = platform::NotificationCenter::defaultCenter();
    center->post(NetworkingOperationDidStartNotification, nullptr, nullptr, std::string("not an operation"));
    center->post(NetworkingOperationDidFinishNotification);
    logger->flush();
    EXPECT_TRUE(loggedBlocks().empty());
    EXPECT_EQ(readFile(logger->filePath()), "");
}

TEST_F(LoggerTest, DestroyingTheLoggerWritesQueuedBlocksAndStopsObserving)
{
    auto logger = makeLogger();
    auto path = logger->filePath();
    auto center = platform::NotificationCenter::defaultCenter();
    std::vector<std::shared_ptr<NetURLConnectionOperation>> operations;
    for (int index = 0; index < 20; ++index) {
        auto made = NetURLConnectionOperation::create(platform::URLRequest(platform::Url::parse("http://a.test/" + std::to_string(index))));
        center->post(NetworkingOperationDidStartNotification, made.get(), nullptr, made);
        operations.push_back(made);
    }
    logger.reset();

    std::string expected;
    for (int index = 0; index < 20; ++index)
        expected += "\nGET 'http://a.test/" + std::to_string(index) + "': {} (null)";
    EXPECT_EQ(readFile(path), expected);

    auto late = operations.front();
    center->post(NetworkingOperationDidFinishNotification, late.get(), nullptr, late);
    EXPECT_EQ(loggedBlocks().size(), 20u);
}

TEST_F(LoggerTest, PartsOfTheBlocksStandAloneForMissingValues)
{
    platform::HTTPHeaders headers;
    headers.set("X-Bytes", std::string("a\xff", 2));
    EXPECT_EQ(Logger::describeHeaders(headers), "{\"X-Bytes\":\"a\xEF\xBF\xBD\"}");

    platform::Error error("Test", 7, "Broken", "It fell over.");
    EXPECT_EQ(Logger::describeError(error), "Test 7: Broken (It fell over.)");
    EXPECT_EQ(Logger::errorBlock(std::nullopt, nullptr, error, 0), "\n[Error] (null) '(null)' (0) [0.0000 s]: Test 7: Broken (It fell over.)");

    auto plain = std::make_shared<platform::URLResponse>(platform::Url::parse("http://a.test/x"), std::nullopt, -1, std::nullopt);
    EXPECT_EQ(Logger::responseBlock(std::nullopt, plain, std::nullopt, 0.12345), "\n0 'http://a.test/x' [0.1235 s]: (null) (null)");
}
