// Downloadable patches: installs per version and server, rollback, garbage collection, atomic
// installs that survive being killed, the limits of a server's patches, and the session's
// resource lookup finding patched files.

#include "services/PatchManager.h"

#include "core/base/LogEntry.h"
#include "core/base/OSUtil.h"
#include "core/session/MorvixHTTPClient.h"
#include "core/session/PatchStore.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/Url.h"
#include "services/ZipArchive/ZAZipArchive.h"
#include "tests/support/SessionFixture.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace morvix;
using namespace morvix::testing;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string commandOutput(const std::string& command)
{
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[256];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
        text.append(buffer, read);
    ::pclose(pipe);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

/// A zip archive made by Python, entries given as name and content.
std::string makeArchive(const fs::path& folder, const std::string& name, const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string script = "import zipfile,sys\nwith zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n";
    for (const auto& [entry, content] : entries)
        script += "    z.writestr('" + entry + "', '" + content + "')\n";
    std::ofstream(folder / "make.py") << script;
    fs::path archive = folder / name;
    EXPECT_EQ(std::system(("python3 " + (folder / "make.py").string() + " " + archive.string()).c_str()), 0);
    return readFile(archive);
}

/// A zip archive written by the library's own writer, entries given as name and content.
std::string writeArchive(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    ZAZipArchive archive(path.string());
    EXPECT_TRUE(archive.open());
    for (const auto& [entry, content] : entries)
        EXPECT_TRUE(archive.writeData(std::vector<std::uint8_t>(content.begin(), content.end()), entry));
    EXPECT_TRUE(archive.close());
    return readFile(path);
}

class PatchManagerTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        std::string pattern = (fs::temp_directory_path() / "morvix-patches-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        const char* previous = std::getenv("XDG_DATA_HOME");
        savedDataHome = previous ? std::optional<std::string>(previous) : std::nullopt;
        ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        // Downloads go to a temporary folder of this test's own, so that other test programs
        // running at the same time cannot change what the test counts there.
        const char* previousTemporary = std::getenv("TMPDIR");
        savedTemporary = previousTemporary ? std::optional<std::string>(previousTemporary) : std::nullopt;
        fs::create_directories(root / "tmp");
        ::setenv("TMPDIR", (root / "tmp").c_str(), 1);
        auto bundle = platform::BundleInfo::defaults();
        bundle.info["CFBundleIdentifier"] = "com.example.patched";
        bundle.info["CFBundleShortVersionString"] = "1.0";
        platform::BundleInfo::setMain(bundle);
        OSUtil::resetForTesting(); // the application version is read once per process
        PatchManager::installFactory();
    }
    void TearDown() override
    {
        SessionFixture::TearDown();
        PatchStore::setFactory(nullptr);
        platform::BundleInfo::resetForTesting();
        if (savedDataHome)
            ::setenv("XDG_DATA_HOME", savedDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        if (savedTemporary)
            ::setenv("TMPDIR", savedTemporary->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    fs::path versionFolder(const std::string& version = "1.0") const { return root / "data" / "com.example.patched" / "patches" / version; }

    struct Outcome {
        bool done = false;
        std::optional<std::string> description;
        std::optional<std::string> failure;
    };

    Outcome install(PatchStore& store, const std::string& url)
    {
        auto outcome = std::make_shared<Outcome>();
        store.installFromURL(*platform::Url::parse(url),
            [outcome](const std::optional<std::string>& description) {
                EXPECT_FALSE(outcome->done) << "one block, once";
                outcome->description = description;
                outcome->done = true;
            },
            [outcome](const std::string& message) {
                EXPECT_FALSE(outcome->done) << "one block, once";
                outcome->failure = message;
                outcome->done = true;
            });
        EXPECT_TRUE(pumpUntil([&] { return outcome->done; }));
        return *outcome;
    }

    std::size_t temporaryDownloads() const
    {
        std::size_t count = 0;
        for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
            std::string name = entry.path().filename().string();
            count += name.starts_with("patch-") && name.ends_with(".zip");
        }
        return count;
    }

    fs::path root;
    std::optional<std::string> savedDataHome;
    std::optional<std::string> savedTemporary;
};

TEST_F(PatchManagerTest, InstallsRollBackAndTheSessionFindsPatchedResourcesFromTheNextLoad)
{
    server.route("/p1.zip", TestResponse().withBody(makeArchive(root, "p1.zip", { { "patch.json", "{\"v\":1}" }, { "res/page.txt", "patched" } })));
    server.route("/p2.zip", TestResponse().withBody(makeArchive(root, "p2.zip", { { "other.txt", "no description" } })));
    server.route("/bad.zip", TestResponse().withBody("this is not a zip archive"));
    server.route("/app", TestResponse().withHeader("Content-Type", "application/json").withBody("[]"));
    server.start();
    std::string serverURL = server.url("/app");
    delegate->url = serverURL;
    makeClient();

    auto store = PatchManager::create(client, "1.0");
    EXPECT_EQ(install(*store, server.url("/p1.zip")).failure, std::string(PatchManager::kNotInitialized));

    store->activate(serverURL);
    fs::path base = versionFolder() / commandOutput("python3 -c \"import hashlib,sys; print(hashlib.md5(sys.argv[1].encode()).hexdigest())\" '" + serverURL + "'");
    std::size_t downloadsBefore = temporaryDownloads();
    EXPECT_EQ(install(*store, server.url("/p1.zip")).description, std::string("{\"v\":1}"));
    Outcome second = install(*store, server.url("/p2.zip"));
    EXPECT_FALSE(second.failure.has_value());
    EXPECT_EQ(second.description, std::nullopt) << "the newest patch has no patch.json";
    ASSERT_TRUE(fs::is_directory(base));
    EXPECT_EQ(std::distance(fs::directory_iterator(base), fs::directory_iterator()), 2) << "two installs, two folders";
    EXPECT_TRUE(store->patches().empty()) << "installs count from the next activation";

    EXPECT_EQ(install(*store, server.url("/bad.zip")).failure, std::string(PatchManager::kInstallFailed));
    EXPECT_TRUE(fs::is_empty(base)) << "a failure removes every folder made since the activation";
    Outcome missing = install(*store, server.url("/missing.zip"));
    ASSERT_TRUE(missing.failure.has_value());
    EXPECT_NE(*missing.failure, PatchManager::kInstallFailed);
    EXPECT_EQ(temporaryDownloads(), downloadsBefore) << "downloads are removed, failed or not";

    // A file URL is applied as it is and left where it is.
    fs::path local = root / "p1.zip";
    EXPECT_EQ(install(*store, platform::Url::fileURL(local.string()).absoluteString()).description, std::string("{\"v\":1}"));
    EXPECT_TRUE(fs::exists(local));

    // Another server keeps its own patches; another version sweeps everything else away.
    fs::create_directories(versionFolder("0.9") / "old");
    std::ofstream(versionFolder().parent_path() / "stray.txt") << "x";
    auto other = PatchManager::create(client, "1.0");
    other->activate(server.url("/other"));
    EXPECT_TRUE(other->patches().empty());
    EXPECT_FALSE(fs::exists(versionFolder("0.9")));
    EXPECT_FALSE(fs::exists(versionFolder().parent_path() / "stray.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(base), fs::directory_iterator()), 1);

    // The session's own store: the patch installed above leads the resource lookup after a load.
    client->load();
    ASSERT_TRUE(pumpUntilRequests(1));
    ASSERT_NE(client->patchStore(), nullptr);
    ASSERT_EQ(client->patchStore()->patches().size(), 1u);
    auto found = client->httpClient()->relativeURLToServer("res/page.txt");
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->isFileURL());
    EXPECT_EQ(readFile(found->path()), "patched");
}

TEST_F(PatchManagerTest, AnInstallKilledHalfWayLeavesThePreviousPatchesUsable)
{
    makeArchive(root, "small.zip", { { "patch.json", "first" } });
    std::string script = "import zipfile,os,sys\nwith zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_STORED) as z:\n"
                         "    for i in range(400):\n        z.writestr(f'f{i}.bin', os.urandom(256 * 1024))\n";
    std::ofstream(root / "large.py") << script;
    ASSERT_EQ(std::system(("python3 " + (root / "large.py").string() + " " + (root / "large.zip").string()).c_str()), 0);

    auto first = PatchManager::create({}, "1.0");
    first->activate("http://example.test/app");
    EXPECT_EQ(install(*first, platform::Url::fileURL((root / "small.zip").string()).absoluteString()).description, std::string("first"));

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto store = PatchManager::create({}, "1.0");
        store->activate("http://example.test/app");
        store->installFromURL(platform::Url::fileURL((root / "large.zip").string()), nullptr, nullptr);
        ::_exit(0);
    }
    fs::path base;
    bool staging = false;
    while (!staging) {
        for (const auto& version : fs::directory_iterator(versionFolder())) {
            base = version.path();
            for (const auto& entry : fs::directory_iterator(base))
                staging = staging || entry.path().filename().string().starts_with(".staging-");
        }
        int status = 0;
        if (!staging && ::waitpid(child, &status, WNOHANG) == child)
            FAIL() << "the install ended before it could be interrupted";
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    auto fresh = PatchManager::create({}, "1.0");
    fresh->activate("http://example.test/app");
    ASSERT_EQ(fresh->patches().size(), 1u);
    EXPECT_EQ(readFile(fs::path(fresh->patches().front()) / "patch.json"), "first");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(base))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left.size(), 1u) << "the staging folder is gone";
}

TEST_F(PatchManagerTest, AServersPatchesStayWithinTheirLimitsNewestFirst)
{
    for (int index = 1; index <= 5; ++index) {
        std::string name = "p" + std::to_string(index) + ".zip";
        server.route("/" + name, TestResponse().withBody(writeArchive(root / name, { { "patch.json", std::to_string(index) }, { "res/a.txt", std::string(40000, 'a') } })));
    }
    server.route("/huge.zip", TestResponse().withBody(writeArchive(root / "huge.zip", { { "patch.json", "huge" }, { "big.txt", std::string(150000, 'b') } })));
    server.start();
    makeClient();
    auto messages = std::make_shared<std::vector<std::string>>(); // logged on the main loop
    client->setLogObserver([messages](const LogEntry& entry) { messages->push_back(entry.message()); });
    auto logged = [&](const std::string& part) {
        platform::MainLoop::main().runUntilIdle();
        return std::any_of(messages->begin(), messages->end(), [&](const std::string& message) { return message.find(part) != std::string::npos; });
    };
    auto store = PatchManager::create(client, "1.0");
    store->activate(server.url("/app"));
    store->setLimits({ 100000, 100, 3 });
    auto folderBytes = [](const fs::path& folder) {
        std::uintmax_t bytes = 0;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            bytes += entry.is_regular_file() ? entry.file_size() : 0;
        return bytes;
    };
    auto descriptions = [&](const fs::path& base) {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(base))
            found.push_back(readFile(entry.path() / "patch.json"));
        std::sort(found.begin(), found.end());
        return found;
    };

    // A file URL naming a pipe, a device or a folder is refused without being read.
    ASSERT_EQ(::mkfifo((root / "pipe.zip").c_str(), 0600), 0);
    for (const fs::path& special : { root / "pipe.zip", fs::path("/dev/zero"), root }) {
        EXPECT_EQ(install(*store, platform::Url::fileURL(special.string()).absoluteString()).failure, std::string(PatchManager::kInstallFailed));
        EXPECT_TRUE(logged("\"" + special.string() + "\" not installed: it is no regular file")) << special;
    }

    // Each install fits alone; the third pushes the oldest out, whether it was active or not.
    for (int index = 1; index <= 3; ++index)
        EXPECT_EQ(install(*store, server.url("/p" + std::to_string(index) + ".zip")).description, std::to_string(index));
    fs::path base = fs::directory_iterator(versionFolder())->path();
    EXPECT_LE(folderBytes(base), 100000u);
    EXPECT_EQ(descriptions(base), (std::vector<std::string> { "2", "3" }));
    EXPECT_TRUE(logged("removed: the patches of this server may hold 3 patches, 100000 bytes"));

    // An archive larger than the limits alone is refused and leaves the active patches alone.
    store->activate(server.url("/app"));
    ASSERT_EQ(store->patches().size(), 2u);
    EXPECT_EQ(install(*store, server.url("/huge.zip")).failure, std::string(PatchManager::kInstallFailed));
    EXPECT_TRUE(logged("not installed: zip file exceeds the unpacking limits"));
    EXPECT_EQ(descriptions(base), (std::vector<std::string> { "2", "3" }));

    // Small ones: no more than three patches are kept.
    store->setLimits({ 1000000, 100, 3 });
    for (int index = 4; index <= 5; ++index)
        EXPECT_EQ(install(*store, server.url("/p" + std::to_string(index) + ".zip")).description, std::to_string(index));
    EXPECT_EQ(descriptions(base), (std::vector<std::string> { "3", "4", "5" }));
}

} // namespace
