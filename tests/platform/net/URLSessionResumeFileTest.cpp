// Resume data comes from outside the session and names the partial file to continue: only the
// session's own download files may be continued, truncated or deleted.

#include "platform/net/URLSession.h"
#include "platform/net/URLSessionResumeData.h"

#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/MainLoop.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <iterator>
#include <unistd.h>

using namespace morvix::platform;
using namespace morvix::testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Keeps what the finished download held and where the transfer resumed.
class DownloadDelegate final : public URLSessionDelegate {
public:
    void downloadTaskDidResume(URLSession&, const std::shared_ptr<URLSessionDownloadTask>&, std::int64_t offset, std::int64_t) override
    {
        std::lock_guard lock(m_mutex);
        resumedAt = offset;
    }
    void downloadTaskDidFinishDownloading(URLSession&, const std::shared_ptr<URLSessionDownloadTask>&, const Url& location) override
    {
        std::lock_guard lock(m_mutex);
        downloaded = readFile(*location.decodedPath());
    }
    void taskDidCompleteWithError(URLSession&, const std::shared_ptr<URLSessionTask>&, const std::optional<Error>&) override { ++completed; }
    void sessionDidBecomeInvalid(URLSession&, const std::optional<Error>&) override { invalid = true; }

    std::mutex m_mutex; // guards resumedAt and downloaded
    std::optional<std::int64_t> resumedAt;
    std::string downloaded;
    std::atomic<int> completed { 0 };
    std::atomic<bool> invalid { false };
};

class URLSessionResumeFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        root = fs::temp_directory_path() / ("morvix-resume-" + std::to_string(::getpid()));
        fs::create_directories(root / "caches");
        auto info = BundleInfo::defaults();
        info.cachesPath = (root / "caches").string();
        BundleInfo::setMain(info);
        // Honours a range with 206, as a server continuing a download does.
        server.handle("/body", [](const RecordedRequest& request, ResponseWriter& writer) {
            const std::string body = "AAAABBBBCCCC";
            if (auto range = request.header("Range")) {
                auto offset = std::stoul(range->substr(std::string("bytes=").size()));
                writer.respond(206, body.substr(offset), { { "Content-Range", "bytes " + std::to_string(offset) + "-11/12" } });
                return;
            }
            writer.respond(200, body);
        });
        // Answers a range with 206 but sends the body from its start, as a server that ignores
        // the offset does.
        server.handle("/whole-as-part", [](const RecordedRequest& request, ResponseWriter& writer) {
            const std::string body = "AAAABBBBCCCC";
            if (request.header("Range")) {
                writer.respond(206, body, { { "Content-Range", "bytes 0-11/12" } });
                return;
            }
            writer.respond(200, body);
        });
        server.start();
        session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), delegate);
    }
    void TearDown() override
    {
        session->invalidateAndCancel();
        loop.runUntil([&] { return delegate->invalid.load(); }, 10s);
        server.stop();
        BundleInfo::resetForTesting();
        fs::remove_all(root);
        loop.resetForTesting();
    }

    // Runs a download from resume data naming `partialFile` with `bytes` received.
    void resume(const fs::path& partialFile, std::int64_t bytes, const std::string& path = "/body")
    {
        URLSessionResumeData data { *Url::parse(server.url(path)), partialFile.string(), bytes, "\"e1\"", std::nullopt };
        auto task = session->downloadTaskWithResumeData(data.encode());
        ASSERT_TRUE(task);
        int before = delegate->completed;
        task->resume();
        ASSERT_TRUE(loop.runUntil([&] { return delegate->completed > before; }, 10s));
    }

    MainLoop& loop = MainLoop::main();
    TestHttpServer server;
    fs::path root;
    std::shared_ptr<DownloadDelegate> delegate = std::make_shared<DownloadDelegate>();
    std::shared_ptr<URLSession> session;
};

TEST_F(URLSessionResumeFileTest, FilesThatAreNotTheSessionsOwnAreLeftAloneAndTheDownloadStartsAfresh)
{
    fs::path outside = root / "precious.txt";
    fs::path unprefixed = root / "caches" / "settings.db";
    fs::path link = root / "caches" / "URLSessionDownload-link";
    fs::path hardLink = root / "caches" / "URLSessionDownload-hard";
    fs::path nested = root / "caches" / "inner" / "URLSessionDownload-nested";
    fs::create_directories(nested.parent_path());
    for (const auto& file : { outside, unprefixed, nested })
        writeFile(file, "precious bytes");
    fs::create_symlink(outside, link);
    fs::create_hard_link(unprefixed, hardLink);

    struct Case {
        fs::path named;
        std::int64_t bytes;
    };
    // A count within the file would truncate and append to it; one past its end would delete it.
    for (const Case& hostile : { Case { outside, 4 }, Case { outside, 99 }, Case { root / "caches" / ".." / "precious.txt", 4 },
             Case { unprefixed, 4 }, Case { link, 4 }, Case { link, 99 }, Case { hardLink, 4 }, Case { nested, 4 },
             Case { root / "caches", 4 } }) {
        SCOPED_TRACE(hostile.named.string() + " at " + std::to_string(hostile.bytes));
        delegate->resumedAt.reset();
        resume(hostile.named, hostile.bytes);
        EXPECT_FALSE(server.requests().back().header("Range")) << "nothing of another file is continued";
        EXPECT_EQ(delegate->downloaded, "AAAABBBBCCCC");
        EXPECT_FALSE(delegate->resumedAt);
    }
    for (const auto& file : { outside, unprefixed, nested })
        EXPECT_EQ(readFile(file), "precious bytes") << file;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::exists(hardLink));
}

TEST_F(URLSessionResumeFileTest, TheSessionsOwnPartialFileIsContinuedOrRemoved)
{
    // A partial file of the session's own, named through a link to the caches folder.
    fs::path partial = root / "caches" / "URLSessionDownload-abc123";
    writeFile(partial, "AAAA");
    fs::create_directory_symlink(root / "caches", root / "alias");
    resume(root / "alias" / partial.filename(), 4);
    EXPECT_EQ(server.requests().back().header("Range"), "bytes=4-");
    EXPECT_EQ(delegate->downloaded, "AAAABBBBCCCC");
    EXPECT_EQ(delegate->resumedAt, 4);
    EXPECT_FALSE(fs::exists(partial)) << "the continued file goes once the delegate has had it";

    // Shorter than the count: it cannot be continued, and it is ours to remove.
    writeFile(partial, "AA");
    resume(partial, 4);
    EXPECT_FALSE(server.requests().back().header("Range"));
    EXPECT_EQ(delegate->downloaded, "AAAABBBBCCCC");
    EXPECT_FALSE(fs::exists(partial));
    EXPECT_TRUE(fs::is_empty(root / "caches"));

    // A part that does not start where the file ends is not appended: the whole body is
    // fetched again.
    writeFile(partial, "AAAA");
    std::size_t before = server.requests().size();
    resume(partial, 4, "/whole-as-part");
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), before + 2);
    EXPECT_EQ(requests[before].header("Range"), "bytes=4-");
    EXPECT_FALSE(requests[before + 1].header("Range"));
    EXPECT_EQ(delegate->downloaded, "AAAABBBBCCCC");
    EXPECT_FALSE(fs::exists(partial));
    EXPECT_TRUE(fs::is_empty(root / "caches"));
}

} // namespace
