#include "networking/NetURLSessionManager.h"

#include "networking/NetHTTPRequestSerializer.h"
#include "networking/NetHTTPResponseSerializer.h"
#include "networking/NetMultipartFormData.h"
#include "networking/NetNetworkActivityIndicatorManager.h"
#include "networking/NetSecurityPolicy.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileMove.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/Progress.h"
#include "platform/net/InputStream.h"
#include "platform/net/URLError.h"
#include "platform/ui/Application.h"
#include "tests/networking/NetSessionManagerTestServer.h"
#include "tests/networking/SecurityPolicyTestSupport.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <openssl/sha.h>
#include <thread>

using namespace morvix;
using namespace morvix::testing;
using namespace std::chrono_literals;
using morvix::platform::Error;
using morvix::platform::URLRequest;
using morvix::platform::Url;

namespace {

std::string sha256(const std::string& bytes)
{
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    std::string hex;
    char pair[3];
    for (auto byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// What a completion handler was given, and when (in the order of `log`).
struct Completion {
    std::shared_ptr<const platform::URLResponse> response;
    std::any object;
    std::optional<Error> error;
};

class NetURLSessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        folder = std::filesystem::temp_directory_path() / ("morvix-manager-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder / "caches");
        auto info = platform::BundleInfo::defaults();
        info.cachesPath = (folder / "caches").string();
        platform::BundleInfo::setMain(info);
        server.route("/small", TestResponse().withHeader("Content-Type", "application/json").withBody("{\"ok\":true}"));
        server.route("/file", TestResponse().withHeader("Content-Type", "application/octet-stream").withBody(std::string(100000, 'x') + "end"));
        server.route("/redirect", TestResponse().withStatus(302).withHeader("Location", "/small"));
        server.route("/other", TestResponse().withHeader("Content-Type", "application/json").withBody("[\"other\"]"));
        server.handle("/held", [this](const RecordedRequest&, ResponseWriter& writer) {
            writer.writeHead(200, { { "Content-Type", "application/json" }, { "Transfer-Encoding", "chunked" } });
            writer.writeChunk("[1,");
            writer.waitFor(*gate);
            writer.writeChunk("2]");
            writer.endChunks();
        });
        server.start();
        ASSERT_TRUE(python.isRunning());
        manager = NetURLSessionManager::create();
    }
    void TearDown() override
    {
        gate->open();
        if (manager) {
            manager->invalidateSessionCancelingTasks(CancelTasks::Yes);
            std::weak_ptr<NetURLSessionManager> weak = manager;
            manager.reset();
            loop.runUntil([&] { return weak.expired(); }, 10s);
        }
        server.stop();
        platform::BundleInfo::resetForTesting();
        std::filesystem::remove_all(folder);
        platform::NotificationCenter::resetDefaultForTesting();
        loop.resetForTesting();
    }

    void log(std::string event)
    {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    std::vector<std::string> logged()
    {
        std::lock_guard lock(mutex);
        return events;
    }
    NetURLSessionManager::CompletionHandler recordInto(std::optional<Completion>& completion)
    {
        return [this, &completion](const auto& response, const std::any& object, const auto& error) {
            completion = Completion { response, object, error };
            log("handler");
        };
    }
    bool waitFor(const std::optional<Completion>& completion) { return loop.runUntil([&] { return completion.has_value(); }, 10s); }
    static URLRequest request(const std::string& url) { return URLRequest(Url::parse(url)); }

    platform::MainLoop& loop = platform::MainLoop::main();
    TestHttpServer server;
    PythonEchoServer python;
    std::shared_ptr<TestGate> gate = std::make_shared<TestGate>();
    std::filesystem::path folder;
    std::shared_ptr<NetURLSessionManager> manager;
    std::mutex mutex; // guards events
    std::vector<std::string> events;
};

TEST_F(NetURLSessionManagerTest, DataTaskDecodesJSONAndCompletesInOrderWithTheExactKeys)
{
    std::optional<Completion> completion;
    std::optional<NetTaskCompletionUserInfo> userInfo;
    auto center = platform::NotificationCenter::defaultCenter();
    auto observer = center->addObserver(NetworkingTaskDidCompleteNotification, nullptr, [&](const platform::Notification& notification) {
        EXPECT_TRUE(platform::isMainThread());
        userInfo = *NetTaskCompletionUserInfoFromNotification(notification);
        log("notification");
    });
    auto post = request(python.url("/echo?a=1"));
    post.setMethod("POST");
    post.setBody("{\"name\":\"value\"}");
    (void)post.setValueForHeader("application/json", "Content-Type");
    std::shared_ptr<NetURLSessionManagerTaskDelegate> delegateInBlock;
    manager->setTaskDidCompleteBlock([&](platform::URLSession&, const auto& task, const auto&) {
        // The task's delegate has been removed by now.
        log(manager->uploadProgressForTask(*task) ? "block with delegate" : "block");
    });
    auto task = manager->dataTaskWithRequest(post, recordInto(completion));
    ASSERT_TRUE(task);
    EXPECT_EQ(task->taskDescription(), manager->taskDescriptionForSessionTasks());
    task->resume();
    ASSERT_TRUE(waitFor(completion));
    ASSERT_TRUE(loop.runUntil([&] { return logged().size() == 3; }, 10s));
    // The block runs on the delegate queue after the delegate was removed; the handler and then
    // the notification follow on the main loop, in the order the completion's own thread set.
    auto order = logged();
    std::erase(order, "block");
    EXPECT_EQ(order, (std::vector<std::string> { "handler", "notification" }));
    EXPECT_EQ(logged().size(), 3u);

    ASSERT_FALSE(completion->error);
    auto body = std::any_cast<platform::Value>(completion->object);
    EXPECT_EQ(body["method"], "POST");
    EXPECT_EQ(body["json"], (platform::Value { { "name", "value" } }));
    EXPECT_EQ(body["query"], platform::Value::parse("[[\"a\",\"1\"]]"));

    ASSERT_TRUE(userInfo);
    std::vector<std::string> keys;
    for (const auto& [key, value] : *userInfo)
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string> { "com.pelvarine.networking.complete.finish.responsedata",
                        "com.pelvarine.networking.task.complete.responseserializer",
                        "com.pelvarine.networking.task.complete.serializedresponse" }));
    EXPECT_EQ(std::any_cast<platform::Value>(userInfo->at(NetworkingTaskDidCompleteSerializedResponseKey)), body);
}

TEST_F(NetURLSessionManagerTest, UploadsFromAFileAndFromAStreamedMultipartBody)
{
    std::string bytes;
    for (int i = 0; i < 300000; ++i)
        bytes += static_cast<char>('a' + i % 26);
    std::ofstream(folder / "upload.bin", std::ios::binary) << bytes;

    auto put = request(python.url("/put"));
    put.setMethod("PUT");
    std::shared_ptr<platform::Progress> progress;
    std::optional<Completion> fromFile;
    auto task = manager->uploadTaskWithRequestFromFile(put, Url::fileURL((folder / "upload.bin").string()), &progress, recordInto(fromFile));
    ASSERT_TRUE(task && progress);
    EXPECT_EQ(progress->totalUnitCount(), 300000);
    EXPECT_EQ(manager->downloadProgressForTask(*task), progress);
    task->resume();
    ASSERT_TRUE(waitFor(fromFile));
    auto seen = std::any_cast<platform::Value>(fromFile->object);
    EXPECT_EQ(seen["sha256"], sha256(bytes));
    EXPECT_EQ(seen["method"], "PUT");
    EXPECT_EQ(progress->completedUnitCount(), 300000);

    // A file that cannot be opened gives no task and registers nothing.
    EXPECT_FALSE(manager->uploadTaskWithRequestFromFile(put, Url::fileURL((folder / "missing").string()), &progress, nullptr));

    std::optional<Error> error;
    auto multipart = NetHTTPRequestSerializer::serializer()->multipartFormRequestWithMethod("POST", python.url("/form"),
        platform::Value { { "field", "value" } },
        [&](NetMultipartFormData& form) { form.appendPartWithFileURL(Url::fileURL((folder / "upload.bin").string()), "file", &error); }, &error);
    ASSERT_TRUE(multipart && !error);
    std::shared_ptr<platform::Progress> streamedProgress;
    std::optional<Completion> streamed;
    auto upload = manager->uploadTaskWithStreamedRequest(*multipart, &streamedProgress, recordInto(streamed));
    ASSERT_TRUE(upload);
    // The session does not know the size of a stream: the total comes from Content-Length.
    EXPECT_EQ(upload->countOfBytesExpectedToSend(), -1);
    EXPECT_EQ(streamedProgress->totalUnitCount(), std::stoll(*multipart->valueForHeader("Content-Length")));
    upload->resume();
    ASSERT_TRUE(waitFor(streamed));
    ASSERT_FALSE(streamed->error);
    auto parts = std::any_cast<platform::Value>(streamed->object)["parts"];
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0]["name"], "field");
    EXPECT_EQ(parts[1]["name"], "file");
    EXPECT_EQ(parts[1]["filename"], "upload.bin");
    EXPECT_EQ(parts[1]["sha256"], sha256(bytes));

    // Without a Content-Length the total stays unknown.
    auto bare = request(python.url("/bare"));
    bare.setMethod("POST");
    bare.setBodyStream(platform::DataInputStream::create("abc"));
    std::shared_ptr<platform::Progress> unknown;
    auto unsized = manager->uploadTaskWithStreamedRequest(bare, &unknown, nullptr);
    EXPECT_EQ(unknown->totalUnitCount(), -1);
    unsized->cancel();
}

TEST_F(NetURLSessionManagerTest, DownloadIsMovedByItsDestinationAndAFailedMoveFailsTheTask)
{
    std::vector<platform::Notification> moveFailures;
    auto observer = platform::NotificationCenter::defaultCenter()->addObserver(NetURLSessionDownloadTaskDidFailToMoveFileNotification, nullptr,
        [&](const platform::Notification& notification) { moveFailures.push_back(notification); });
    auto destination = folder / "moved.bin";
    auto to = [&](const Url&, const auto&) { return std::optional<Url>(Url::fileURL(destination.string())); };
    std::optional<Completion> moved;
    std::optional<NetTaskCompletionUserInfo> userInfo;
    auto completed = platform::NotificationCenter::defaultCenter()->addObserver(NetworkingTaskDidCompleteNotification, nullptr,
        [&](const platform::Notification& notification) { userInfo = *NetTaskCompletionUserInfoFromNotification(notification); });
    auto task = manager->downloadTaskWithRequest(request(server.url("/file")), nullptr, to, recordInto(moved));
    task->resume();
    ASSERT_TRUE(waitFor(moved));
    ASSERT_TRUE(loop.runUntil([&] { return userInfo.has_value(); }, 10s));
    EXPECT_FALSE(moved->error);
    EXPECT_EQ(std::any_cast<Url>(moved->object).absoluteString(), Url::fileURL(destination.string()).absoluteString());
    EXPECT_EQ(sha256(readFile(destination)), sha256(std::string(100000, 'x') + "end"));
    EXPECT_TRUE(userInfo->count(NetworkingTaskDidCompleteAssetPathKey));
    EXPECT_FALSE(userInfo->count(NetworkingTaskDidCompleteResponseDataKey));
    EXPECT_TRUE(moveFailures.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder / "caches"));

    // The destination now exists: the move is refused, and the task fails with its error.
    std::optional<Completion> refused;
    userInfo.reset();
    manager->downloadTaskWithRequest(request(server.url("/file")), nullptr, to, recordInto(refused))->resume();
    ASSERT_TRUE(waitFor(refused));
    ASSERT_TRUE(loop.runUntil([&] { return userInfo.has_value(); }, 10s));
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(refused->error->code(), platform::kFileWriteFileExistsError);
    EXPECT_FALSE(refused->object.has_value());
    EXPECT_FALSE(userInfo->count(NetworkingTaskDidCompleteAssetPathKey));
    EXPECT_TRUE(userInfo->count(NetworkingTaskDidCompleteErrorKey));
    ASSERT_EQ(moveFailures.size(), 1u);
    EXPECT_TRUE(std::any_cast<Error>(&moveFailures[0].object));
    for (auto& entry : std::filesystem::directory_iterator(folder / "caches"))
        ADD_FAILURE() << "left behind: " << entry.path();
}

TEST_F(NetURLSessionManagerTest, RedirectBlockAndBecomingADownload)
{
    manager->setTaskWillPerformHTTPRedirectionBlock([&](platform::URLSession&, const auto&, const auto&, const URLRequest&) {
        return std::optional<URLRequest>(request(server.url("/other")));
    });
    std::optional<Completion> redirected;
    manager->dataTaskWithRequest(request(server.url("/redirect")), recordInto(redirected))->resume();
    ASSERT_TRUE(waitFor(redirected));
    EXPECT_EQ(std::any_cast<platform::Value>(redirected->object), platform::Value::parse("[\"other\"]"));

    manager->setDataTaskDidReceiveResponseBlock([](platform::URLSession&, const auto&, const auto&) {
        return platform::URLSessionResponseDisposition::BecomeDownload;
    });
    std::shared_ptr<platform::URLSessionDownloadTask> became;
    manager->setDataTaskDidBecomeDownloadTaskBlock([&](platform::URLSession&, const auto&, const auto& download) { became = download; });
    manager->setDownloadTaskDidFinishDownloadingBlock([&](platform::URLSession&, const auto&, const Url&) {
        return std::optional<Url>(Url::fileURL((folder / "became.bin").string()));
    });
    std::optional<Completion> downloaded;
    auto task = manager->dataTaskWithRequest(request(server.url("/file")), recordInto(downloaded));
    task->resume();
    ASSERT_TRUE(waitFor(downloaded));
    ASSERT_TRUE(became);
    EXPECT_FALSE(downloaded->error);
    // The data task's delegate moved to the download task, whose file the manager's block placed.
    EXPECT_EQ(std::any_cast<Url>(downloaded->object).absoluteString(), Url::fileURL((folder / "became.bin").string()).absoluteString());
    EXPECT_EQ(readFile(folder / "became.bin").size(), 100003u);
}

TEST_F(NetURLSessionManagerTest, PublicNotificationsComeOnTheMainLoopForTheManagersOwnTasksOnly)
{
    auto clock = std::make_shared<platform::ManualClock>();
    platform::Clock::install(clock);
    platform::Application::shared().resetForTesting();
    auto indicator = NetNetworkActivityIndicatorManager::create();
    indicator->setEnabled(true);
    std::vector<std::string> posts;
    auto center = platform::NotificationCenter::defaultCenter();
    auto record = [&](const platform::Notification& notification) {
        EXPECT_TRUE(platform::isMainThread());
        auto object = std::any_cast<std::shared_ptr<NetOriginalRequestProviding>>(&notification.object);
        ASSERT_TRUE(object);
        posts.push_back(notification.name.substr(notification.name.rfind('.') + 1) + " " + (*object)->originalRequest()->url()->path());
    };
    auto tokens = { center->addObserver(NetworkingTaskDidResumeNotification, nullptr, record),
        center->addObserver(NetworkingTaskDidSuspendNotification, nullptr, record),
        center->addObserver(NetworkingTaskDidCompleteNotification, nullptr, record) };

    std::optional<Completion> held;
    auto task = manager->dataTaskWithRequest(request(server.url("/held")), recordInto(held));
    std::thread([&] { task->resume(); }).join();
    task->resume();
    task->suspend();
    task->suspend();
    // Another manager's task, a task of a plain session and one whose description was changed
    // post no public resume or suspend of this manager.
    auto other = NetURLSessionManager::create();
    auto foreign = other->dataTaskWithRequest(request(server.url("/small")), nullptr);
    auto renamed = manager->dataTaskWithRequest(request(server.url("/other")), nullptr);
    renamed->setTaskDescription("mine");
    auto plain = platform::URLSession::create(platform::URLSessionConfiguration::defaultSessionConfiguration());
    auto direct = plain->dataTaskWithRequest(request(server.url("/small")));
    renamed->resume();
    direct->resume();
    loop.runUntilIdle();
    EXPECT_EQ(posts, (std::vector<std::string> { "resume /held", "suspend /held" }));
    EXPECT_TRUE(platform::Application::shared().isNetworkActivityIndicatorVisible() == false);

    task->resume();
    loop.runUntilIdle();
    EXPECT_TRUE(platform::Application::shared().isNetworkActivityIndicatorVisible());
    gate->open();
    ASSERT_TRUE(waitFor(held));
    ASSERT_TRUE(loop.runUntil([&] { return std::count(posts.begin(), posts.end(), "complete /held"); }, 10s));
    // The completion notification is every registered task's, whatever its description.
    std::erase(posts, "complete /other");
    EXPECT_EQ(posts, (std::vector<std::string> { "resume /held", "suspend /held", "resume /held", "complete /held" }));
    loop.runUntilIdle();
    clock->advance(169ms);
    loop.runUntilIdle();
    EXPECT_TRUE(platform::Application::shared().isNetworkActivityIndicatorVisible());
    clock->advance(1ms);
    loop.runUntilIdle();
    EXPECT_FALSE(platform::Application::shared().isNetworkActivityIndicatorVisible());

    other->invalidateSessionCancelingTasks(CancelTasks::Yes);
    plain->invalidateAndCancel();
    foreign.reset();
    std::weak_ptr<NetURLSessionManager> otherLeft = other;
    other.reset();
    EXPECT_TRUE(loop.runUntil([&] { return otherLeft.expired(); }, 10s));
    platform::Clock::install(nullptr);
    platform::Application::shared().resetForTesting();
}

TEST_F(NetURLSessionManagerTest, ProgressPausesAndCancelsTheTaskAndTaskListsAnswerInsideCallbacks)
{
    std::atomic<std::size_t> listed { 0 };
    manager->setDataTaskDidReceiveDataBlock([&](platform::URLSession&, const auto&, std::string_view) {
        listed = manager->tasks().size() + manager->dataTasks().size() + manager->uploadTasks().size();
    });
    auto post = request(server.url("/held"));
    post.setMethod("POST");
    std::shared_ptr<platform::Progress> progress;
    std::optional<Completion> completion;
    auto task = manager->uploadTaskWithRequestFromData(post, "body", &progress, recordInto(completion));
    task->resume();
    ASSERT_TRUE(loop.runUntil([&] { return listed.load() == 2; }, 10s)); // one task, an upload: 1 + 0 + 1
    progress->pause();
    EXPECT_EQ(task->state(), platform::URLSessionTaskState::Suspended);
    progress->cancel();
    ASSERT_TRUE(waitFor(completion));
    ASSERT_TRUE(completion->error);
    EXPECT_TRUE(completion->error->is(platform::URLErrorDomain, platform::kURLErrorCancelled));
    EXPECT_FALSE(completion->object.has_value());
}

TEST_F(NetURLSessionManagerTest, APinnedCertificateIsAcceptedAndAMismatchFailsTheTask)
{
    const auto& pki = TestPKI::shared();
    setenv("SSL_CERT_FILE", pki.rootFile.c_str(), 1);
    TestHttpServer secure;
    secure.route("/", TestResponse().withHeader("Content-Type", "application/json").withBody("[\"secret\"]"));
    secure.startTLS(pki.leaf, { pki.intermediate });
    auto fetch = [&](std::shared_ptr<NetSecurityPolicy> policy) {
        auto tlsManager = NetURLSessionManager::create();
        tlsManager->setSecurityPolicy(std::move(policy));
        std::optional<Completion> completion;
        tlsManager->dataTaskWithRequest(request(secure.url("/", "localhost")), recordInto(completion))->resume();
        EXPECT_TRUE(waitFor(completion));
        tlsManager->invalidateSessionCancelingTasks(CancelTasks::Yes);
        std::weak_ptr<NetURLSessionManager> left = tlsManager;
        tlsManager.reset();
        EXPECT_TRUE(loop.runUntil([&] { return left.expired(); }, 10s));
        return completion.value_or(Completion {});
    };
    auto pinned = fetch(makePolicy(NetSSLPinningMode::Certificate, false, true, { pki.leaf.der }));
    EXPECT_FALSE(pinned.error);
    EXPECT_EQ(std::any_cast<platform::Value>(pinned.object), platform::Value::parse("[\"secret\"]"));
    auto mismatched = fetch(makePolicy(NetSSLPinningMode::Certificate, false, true, { pki.selfSigned.der }));
    ASSERT_TRUE(mismatched.error);
    EXPECT_TRUE(mismatched.error->is(platform::URLErrorDomain, platform::kURLErrorUserCancelledAuthentication));
    unsetenv("SSL_CERT_FILE");
}

TEST_F(NetURLSessionManagerTest, InvalidationCancelsTasksPostsAndFreesTheManager)
{
    std::mutex mutex; // guards invalidated: the notification comes on the session's delegate queue
    std::vector<const void*> invalidated;
    auto observer = platform::NotificationCenter::defaultCenter()->addObserver(NetURLSessionDidInvalidateNotification, nullptr,
        [&](const platform::Notification& notification) {
            std::lock_guard lock(mutex);
            invalidated.push_back(notification.sender);
        });
    std::optional<Completion> completion;
    auto task = manager->dataTaskWithRequest(request(server.url("/held")), recordInto(completion));
    task->resume();
    auto session = manager->session().get();
    std::weak_ptr<NetURLSessionManager> weak = manager;
    manager->invalidateSessionCancelingTasks(CancelTasks::Yes);
    manager.reset(); // the session keeps it until it has become invalid
    ASSERT_FALSE(weak.expired());
    ASSERT_TRUE(waitFor(completion));
    EXPECT_EQ(completion->error->code(), platform::kURLErrorCancelled);
    ASSERT_TRUE(loop.runUntil([&] {
        std::lock_guard lock(mutex);
        return weak.expired() && !invalidated.empty();
    }, 10s));
    std::lock_guard lock(mutex);
    EXPECT_EQ(invalidated, std::vector<const void*> { session });
}

} // namespace
