#include "platform/net/URLSession.h"

#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/FileMove.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLError.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <thread>

using namespace morvix::platform;
using namespace morvix::testing;
using namespace std::chrono_literals;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Records what a session tells its delegate, and answers its questions as a test sets.
class RecordingDelegate final : public URLSessionDelegate {
public:
    std::vector<std::string> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    bool has(const std::string& event) const
    {
        auto all = events();
        return std::find(all.begin(), all.end(), event) != all.end();
    }
    std::int64_t written() const { return m_written.load(); }
    std::optional<Error> completionError() const
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

    std::optional<URLSessionResponseDisposition> disposition;
    std::string downloadedBytes;
    std::string downloadedPath;

    void sessionDidBecomeInvalid(URLSession&, const std::optional<Error>&) override { add("invalid"); }
    std::optional<URLSessionResponseDisposition> dataTaskDidReceiveResponse(URLSession&, const std::shared_ptr<URLSessionDataTask>&,
        const std::shared_ptr<const URLResponse>&) override
    {
        add("response");
        return disposition;
    }
    void dataTaskDidBecomeDownloadTask(URLSession&, const std::shared_ptr<URLSessionDataTask>& data,
        const std::shared_ptr<URLSessionDownloadTask>& download) override
    {
        add("became download " + std::to_string(data->taskIdentifier()) + "->" + std::to_string(download->taskIdentifier()));
    }
    void downloadTaskDidResume(URLSession&, const std::shared_ptr<URLSessionDownloadTask>&, std::int64_t offset, std::int64_t expected) override
    {
        add("resume at " + std::to_string(offset) + " of " + std::to_string(expected));
    }
    void downloadTaskDidWriteData(URLSession&, const std::shared_ptr<URLSessionDownloadTask>&, std::int64_t, std::int64_t total,
        std::int64_t) override
    {
        m_written = total;
    }
    void downloadTaskDidFinishDownloading(URLSession&, const std::shared_ptr<URLSessionDownloadTask>& task, const Url& location) override
    {
        downloadedPath = *location.decodedPath();
        downloadedBytes = readFile(downloadedPath);
        add("finished " + std::to_string(task->taskIdentifier()));
    }
    void taskDidCompleteWithError(URLSession&, const std::shared_ptr<URLSessionTask>& task, const std::optional<Error>& error) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_error = error;
        }
        add("complete " + std::to_string(task->taskIdentifier()) + (error ? " " + std::to_string(error->code()) : ""));
    }

private:
    void add(std::string event)
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    mutable std::mutex m_mutex; // guards m_events and m_error
    std::vector<std::string> m_events;
    std::optional<Error> m_error;
    std::atomic<std::int64_t> m_written { 0 };
};

class URLSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        folder = std::filesystem::temp_directory_path() / ("morvix-session-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        auto info = BundleInfo::defaults();
        info.cachesPath = folder.string();
        BundleInfo::setMain(info);
        // Twelve bytes; the first four, then the rest once the gate opens. A range is honoured
        // unless `ignoreRanges` is set.
        server.handle("/parts", [this](const RecordedRequest& request, ResponseWriter& writer) {
            const std::string body = "AAAABBBBCCCC";
            if (auto range = request.header("Range"); range && !ignoreRanges) {
                auto offset = std::stoul(range->substr(std::string("bytes=").size()));
                writer.respond(206, body.substr(offset), { { "Content-Range", "bytes " + std::to_string(offset) + "-11/12" } });
                return;
            }
            writer.writeHead(200, { { "Content-Length", "12" }, { "ETag", "\"p1\"" } });
            writer.write("AAAA");
            writer.waitFor(*gate);
            writer.write("BBBBCCCC");
        });
        server.route("/small", TestResponse().withBody("small body"));
        server.start();
        session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), delegate);
    }
    void TearDown() override
    {
        gate->open();
        session->invalidateAndCancel();
        loop.runUntil([&] { return delegate->has("invalid"); }, 10s);
        server.stop();
        BundleInfo::resetForTesting();
        std::filesystem::remove_all(folder);
        loop.resetForTesting();
    }
    bool waitFor(const std::string& event) { return loop.runUntil([&] { return delegate->has(event); }, 10s); }

    MainLoop& loop = MainLoop::main();
    TestHttpServer server;
    std::shared_ptr<TestGate> gate = std::make_shared<TestGate>();
    std::atomic<bool> ignoreRanges { false };
    std::filesystem::path folder;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<URLSession> session;
};

TEST_F(URLSessionTest, ResumeDataContinuesWithARangeAndA200StartsTheFileAgain)
{
    for (bool honoured : { true, false }) {
        SCOPED_TRACE(honoured ? "206" : "200");
        ignoreRanges = !honoured;
        auto first = session->downloadTaskWithRequest(URLRequest(Url::parse(server.url("/parts"))));
        first->resume();
        ASSERT_TRUE(loop.runUntil([&] { return delegate->written() == 4; }, 10s));
        std::optional<std::string> resumeData;
        std::atomic<bool> produced { false };
        first->cancelByProducingResumeData([&](std::optional<std::string> data) {
            resumeData = std::move(data);
            produced = true;
        });
        ASSERT_TRUE(waitFor("complete " + std::to_string(first->taskIdentifier()) + " -999"));
        ASSERT_TRUE(produced && resumeData);
        EXPECT_FALSE(delegate->has("finished " + std::to_string(first->taskIdentifier())));
        gate->open();

        auto second = session->downloadTaskWithResumeData(*resumeData);
        ASSERT_TRUE(second);
        second->resume();
        ASSERT_TRUE(waitFor("complete " + std::to_string(second->taskIdentifier())));
        auto last = server.requests().back();
        EXPECT_EQ(last.header("Range"), "bytes=4-");
        EXPECT_EQ(last.header("If-Range"), "\"p1\"");
        EXPECT_EQ(delegate->downloadedBytes, "AAAABBBBCCCC");
        EXPECT_TRUE(delegate->has(honoured ? "resume at 4 of 12" : "resume at 0 of 12"));
        // The temporary file goes once the delegate has had it, and so does the partial one.
        EXPECT_FALSE(std::filesystem::exists(delegate->downloadedPath));
        EXPECT_TRUE(std::filesystem::is_empty(folder));
        gate = std::make_shared<TestGate>();
    }
    EXPECT_FALSE(session->downloadTaskWithResumeData("not resume data"));
}

TEST_F(URLSessionTest, BecomingADownloadContinuesTheSameTransferIntoAFile)
{
    gate->open();
    delegate->disposition = URLSessionResponseDisposition::BecomeDownload;
    auto task = session->dataTaskWithRequest(URLRequest(Url::parse(server.url("/parts"))));
    task->resume();
    ASSERT_TRUE(waitFor("complete 2"));
    EXPECT_EQ(delegate->events(), (std::vector<std::string> { "response", "became download 1->2", "finished 2", "complete 2" }));
    EXPECT_EQ(delegate->downloadedBytes, "AAAABBBBCCCC");
    EXPECT_EQ(task->state(), URLSessionTaskState::Completed);
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_TRUE(session->allTasks().empty());
}

TEST_F(URLSessionTest, ResumeAndSuspendPostOnTheCallingThreadOnlyWhenTheStateChanges)
{
    std::vector<std::pair<std::string, std::thread::id>> posts;
    auto center = NotificationCenter::defaultCenter();
    auto record = [&](const Notification& notification) {
        auto task = std::any_cast<std::shared_ptr<URLSessionTask>>(&notification.object);
        ASSERT_TRUE(task && task->get() == notification.sender);
        posts.emplace_back(notification.name.substr(notification.name.rfind('.') + 1), std::this_thread::get_id());
    };
    auto resumed = center->addObserver(URLSessionTask::kResumeNotification, nullptr, record);
    auto suspended = center->addObserver(URLSessionTask::kSuspendNotification, nullptr, record);

    auto task = session->downloadTaskWithRequest(URLRequest(Url::parse(server.url("/parts"))));
    EXPECT_EQ(task->state(), URLSessionTaskState::Suspended);
    std::thread::id worker;
    std::thread([&] {
        worker = std::this_thread::get_id();
        task->suspend(); // already suspended: nothing
        task->resume();
        task->resume(); // already running: nothing
    }).join();
    ASSERT_TRUE(loop.runUntil([&] { return delegate->written() == 4; }, 10s));
    task->suspend();
    task->suspend();
    gate->open();
    task->resume();
    ASSERT_TRUE(waitFor("complete 1"));
    EXPECT_EQ(delegate->downloadedBytes, "AAAABBBBCCCC");
    task->resume(); // a completed task still posts

    ASSERT_EQ(posts.size(), 4u);
    EXPECT_EQ(posts[0], std::make_pair(std::string("resume"), worker));
    EXPECT_EQ(posts[1].first, "suspend");
    EXPECT_EQ(posts[2].first, "resume");
    EXPECT_EQ(posts[3].first, "resume");

    auto cancelled = session->dataTaskWithRequest(URLRequest(Url::parse(server.url("/small"))));
    cancelled->cancel();
    ASSERT_TRUE(waitFor("complete 2 -999"));
    EXPECT_EQ(cancelled->state(), URLSessionTaskState::Completed);
    EXPECT_EQ(cancelled->error()->domain(), URLErrorDomain);
}

TEST(FileMoveTest, RefusesAnExistingDestinationAndCopiesAcrossFileSystems)
{
    auto folder = std::filesystem::temp_directory_path() / ("morvix-move-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto write = [](const std::filesystem::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; };
    write(folder / "a", "first");
    write(folder / "b", "second");
    auto refused = moveFile((folder / "a").string(), (folder / "b").string());
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code(), kFileWriteFileExistsError);
    EXPECT_EQ(readFile((folder / "b").string()), "second");
    EXPECT_EQ(readFile((folder / "a").string()), "first");
    EXPECT_EQ(moveFile((folder / "missing").string(), (folder / "c").string())->code(), kFileNoSuchFileError);
    EXPECT_FALSE(moveFile((folder / "a").string(), (folder / "c").string()));
    EXPECT_EQ(readFile((folder / "c").string()), "first");
    EXPECT_FALSE(std::filesystem::exists(folder / "a"));

    // Another file system, where one is at hand: the bytes are copied and the source goes.
    struct stat here {}, there {};
    if (::stat(folder.c_str(), &here) == 0 && ::stat("/dev/shm", &there) == 0 && here.st_dev != there.st_dev) {
        auto source = std::filesystem::path("/dev/shm") / ("morvix-move-" + std::to_string(::getpid()));
        write(source, "across");
        EXPECT_FALSE(moveFile(source.string(), (folder / "d").string()));
        EXPECT_EQ(readFile((folder / "d").string()), "across");
        EXPECT_FALSE(std::filesystem::exists(source));
    }
    std::filesystem::remove_all(folder);
}

} // namespace
