// The folders a peer may have files read from, as the session's HTTP client knows them: set by
// the application's word (its server URL, its resource roots, the bundle), never by the peer's,
// and the pictures a peer draws come only from them.

#include "tests/support/SessionFixture.h"

#include "core/base/LogEntry.h"
#include "core/session/MorvixHTTPClient.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/ui/View.h"
#include "platform/ui/rendering/Renderer.h"

#include <filesystem>

namespace morvix::testing {
namespace {

namespace fs = std::filesystem;
using platform::Url;

class ReadableFoldersTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        char pattern[] = "/tmp/morvix-readable-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = fs::canonical(pattern);
        for (const char* name : { "my app", "resources/extra", "elsewhere", "outside" })
            fs::create_directories(root / name);
        auto bundle = platform::BundleInfo::defaults();
        bundle.resourcePath = (root / "resources").string();
        platform::BundleInfo::setMain(bundle);
    }
    void TearDown() override
    {
        SessionFixture::TearDown();
        platform::BundleInfo::resetForTesting();
        fs::remove_all(root);
    }
    void drawDot(const fs::path& path)
    {
        auto view = platform::View::create({ 0, 0, 4, 3 });
        view->setBackgroundColor(platform::Color::black());
        ASSERT_TRUE(platform::Renderer::renderPNG(*view, path.string()));
    }

    fs::path root;
};

TEST_F(ReadableFoldersTest, TheApplicationNamesTheFoldersAndPicturesComeOnlyFromThem)
{
    EXPECT_EQ(MorvixHTTPClient::applicationFolder("file:///apps/hello/app.json"), "/apps/hello/");
    EXPECT_EQ(MorvixHTTPClient::applicationFolder("file:///apps/hello/"), "/apps/hello/");
    EXPECT_EQ(MorvixHTTPClient::applicationFolder("http://host/apps/hello/"), std::nullopt);

    delegate->url = "file://" + root.string() + "/my%20app/app.json";
    delegate->roots = std::vector<std::string> { "extra", (root / "elsewhere").string() };
    makeClient();
    auto http = MorvixHTTPClient::create(delegate->url, client);
    const std::vector<std::string> folders { (root / "my app").string() + "/", (root / "resources" / "extra").string(),
        (root / "elsewhere").string(), (root / "resources").string() };
    EXPECT_EQ(http->readableFolders(), folders);
    // The base URL, which the peer may move, moves no folder.
    http->setBaseURL("file:///");
    EXPECT_EQ(http->readableFolders(), folders);
    http->setBaseURL(delegate->url);

    drawDot(root / "my app" / "dot.png");
    drawDot(root / "outside" / "dot.png");
    fs::create_symlink(root / "outside" / "dot.png", root / "my app" / "link.png");
    EXPECT_TRUE(http->imageFromPath("dot.png"));
    for (const std::string& path : { "file://" + (root / "outside" / "dot.png").string(), std::string("../outside/dot.png"), std::string("link.png") }) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(http->imageFromPath(path));
    }

    // What the client reads for a peer is the checked file, capped; every refusal is logged.
    std::vector<std::string> log;
    client->setLogObserver([&](const LogEntry& entry) { log.push_back(entry.message()); }, MorvixClient::LogDelivery::AnyThread);
    auto dot = http->readLocalFile(*Url::parse("file://" + root.string() + "/my%20app/dot.png"), 1 << 20);
    ASSERT_TRUE(dot) << dot.reason;
    EXPECT_EQ(dot.bytes.size(), dot.size);
    EXPECT_EQ(http->readLocalFile(*Url::parse("file://" + root.string() + "/my%20app/dot.png"), 10).refusal, platform::ConfinedFile::Refusal::TooLarge);
    EXPECT_EQ(http->locateLocalFile(*Url::parse("file:///dev/zero"), 10).refusal, platform::ConfinedFile::Refusal::OutsideFolders);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "refused a local file: \"/dev/zero\" lies outside the folders a peer may read");
    client->setLogObserver({});
}

} // namespace
} // namespace morvix::testing
