// The session HTTP client against loopback servers: the headers of every request, gzip bodies,
// time-outs, trailing slashes, resource resolution, cookies, and certificates strict and lax.

#include "tests/support/SessionFixture.h"

#include "core/base/OSUtil.h"
#include "core/session/MorvixHTTPClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/ui/View.h"
#include "platform/ui/rendering/Renderer.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace morvix::testing {
namespace {

using platform::Url;

struct Outcome {
    bool done = false;
    std::optional<platform::Error> error;
};

class MorvixHTTPClientTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        OSUtil::resetForTesting();
    }
    void TearDown() override
    {
        SessionFixture::TearDown();
        platform::BundleInfo::resetForTesting();
        platform::DeviceInfo::resetForTesting();
        OSUtil::resetForTesting();
        UserAgent::resetForTesting();
    }

    /// Runs the session GET of a fresh client for `url` to its end.
    Outcome get(const std::string& url, std::shared_ptr<NetHTTPRequestOperation>* kept = nullptr)
    {
        makeClient();
        http = MorvixHTTPClient::create(url, client);
        auto outcome = std::make_shared<Outcome>();
        auto operation = http->newGetJsonOperation([outcome](auto&, auto&) { outcome->done = true; },
            [outcome](auto&, auto&, const platform::Error& error) {
                outcome->error = error;
                outcome->done = true;
            },
            nullptr);
        operation->start();
        EXPECT_TRUE(pumpUntil([&] { return outcome->done; }));
        if (kept)
            *kept = operation;
        return *outcome;
    }

    std::shared_ptr<MorvixHTTPClient> http;
};

TEST_F(MorvixHTTPClientTest, EveryRequestCarriesTheSessionHeadersAndGzipIsDecoded)
{
    auto bundle = platform::BundleInfo::defaults();
    bundle.info["CFBundleIdentifier"] = "com.example.shop";
    bundle.info["CFBundleShortVersionString"] = "3.1";
    platform::BundleInfo::setMain(bundle);
    auto device = platform::DeviceInfo::current();
    device.preferredLanguages = { "de-CH", "en" };
    device.localeIdentifier = "de_CH";
    platform::DeviceInfo::setCurrent(device);

    const std::string body = R"({"head":{},"operations":[]})";
    server.route("/", TestResponse().withHeader("Content-Encoding", "gzip").withHeader("Content-Type", "application/json").withBody(gzip(body)));
    server.start();
    std::shared_ptr<NetHTTPRequestOperation> operation;
    auto outcome = get(server.url("/"), &operation);
    ASSERT_FALSE(outcome.error) << outcome.error->description();

    auto request = server.requests().at(0);
    EXPECT_EQ(request.header("User-Agent"), "com.zerivoquastel.morvix.ios/2.0.0 (com.example.shop/3.1); (iPhone; Linux 10.0)");
    EXPECT_EQ(request.header("Accept-Language"), "de-ch");
    EXPECT_EQ(request.header("Accept-Encoding"), "gzip, deflate");
    EXPECT_EQ(operation->responseData(), body);
}

TEST_F(MorvixHTTPClientTest, LocaleWithoutCountrySendsTheLanguageAlone)
{
    auto device = platform::DeviceInfo::current();
    device.preferredLanguages = { "fr" };
    device.localeIdentifier = "C";
    platform::DeviceInfo::setCurrent(device);
    EXPECT_EQ(UserAgent::locale(), "fr");
    // Computed once per process until reset.
    device.localeIdentifier = "fr_BE";
    platform::DeviceInfo::setCurrent(device);
    EXPECT_EQ(UserAgent::locale(), "fr");
    UserAgent::resetForTesting();
    EXPECT_EQ(UserAgent::locale(), "fr-be");
}

TEST_F(MorvixHTTPClientTest, LocaleKeepsOnlyTheLanguagePartAndTheLocalesCountry)
{
    auto device = platform::DeviceInfo::current();
    device.preferredLanguages = { "zh-Hans-CN" };
    device.localeIdentifier = "en_GB.UTF-8";
    platform::DeviceInfo::setCurrent(device);
    EXPECT_EQ(UserAgent::locale(), "zh-gb");
}

TEST_F(MorvixHTTPClientTest, TimeOutFollowsTheDelegate)
{
    makeClient();
    platform::URLRequest request;
    client->httpClient()->configureRequest(request);
    EXPECT_EQ(request.timeoutInterval(), 90);
    delegate->timeout = 30;
    client->httpClient()->configureRequest(request);
    EXPECT_EQ(request.timeoutInterval(), 30);
    delegate->infiniteTimeout = true;
    client->httpClient()->configureRequest(request);
    EXPECT_EQ(request.timeoutInterval(), MorvixHTTPClient::kInfiniteTimeout);
    EXPECT_FALSE(request.hasTimeout());
    EXPECT_TRUE(request.shouldHandleCookies());
}

TEST_F(MorvixHTTPClientTest, TrailingSlashIsRemovedOnlyFromANonEmptyPath)
{
    auto strip = [](const char* text) { return MorvixHTTPClient::removeTrailingSlash(*Url::parse(text)).absoluteString(); };
    EXPECT_EQ(strip("http://h/app/"), "http://h/app");
    EXPECT_EQ(strip("http://h/"), "http://h");
    EXPECT_EQ(strip("http://h"), "http://h");
    EXPECT_EQ(strip("http://h/app"), "http://h/app");
}

TEST_F(MorvixHTTPClientTest, ResourcesResolveToSchemesThenLocalRootsThenTheServer)
{
    namespace fs = std::filesystem;
    auto resources = temporaryDirectory() / "http-client-resources";
    fs::create_directories(resources / "assets" / "img");
    std::ofstream(resources / "assets" / "img" / "logo.png") << "png";
    auto bundle = platform::BundleInfo::defaults();
    bundle.resourcePath = resources.string();
    platform::BundleInfo::setMain(bundle);

    makeClient();
    http = MorvixHTTPClient::create("http://h/app", client);
    EXPECT_EQ(http->relativeURLToServer("https://cdn/x.png")->absoluteString(), "https://cdn/x.png");
    EXPECT_EQ(http->relativeURLToServer("img/logo.png")->absoluteString(), "http://h/img/logo.png");
    delegate->roots = std::vector<std::string> { "missing", "assets" };
    EXPECT_EQ(http->relativeURLToServer("img/logo.png")->absoluteString(), Url::fileURL((resources / "assets/img/logo.png").string()).absoluteString());
    EXPECT_EQ(http->relativeURLToServer("img/other.png")->absoluteString(), "http://h/img/other.png");
    delegate->roots = std::vector<std::string> { (resources / "assets").string() };
    EXPECT_TRUE(http->relativeURLToServer("img/logo.png")->isFileURL());
    EXPECT_TRUE(http->relativeURLToServer("img/../img/logo.png")->isFileURL());

    // Paths that leave their root find nothing there, however they leave it, and go to the
    // server instead.
    std::ofstream(resources / "secret.txt") << "secret";
    std::error_code ignored;
    fs::remove(resources / "assets" / "outside", ignored);
    fs::create_directory_symlink(resources, resources / "assets" / "outside");
    for (const auto& path : { std::string("../secret.txt"), std::string("img/../../secret.txt"), (resources / "secret.txt").string(),
             std::string("outside/secret.txt") }) {
        auto url = http->relativeURLToServer(path);
        ASSERT_TRUE(url) << path;
        EXPECT_FALSE(url->isFileURL()) << path << " gave " << url->absoluteString();
    }
}

TEST_F(MorvixHTTPClientTest, ImageFromPathFetchesAndDecodesOrGivesNothing)
{
    auto folder = temporaryDirectory() / "http client images"; // a space, escaped in its file URL
    std::filesystem::create_directories(folder);
    auto view = platform::View::create({ 0, 0, 4, 3 });
    view->setBackgroundColor(platform::Color::black());
    ASSERT_TRUE(platform::Renderer::renderPNG(*view, (folder / "dot.png").string()));
    server.route("/img/dot.png", TestResponse().withHeader("Content-Type", "image/png").withBody([&] {
        std::ifstream file(folder / "dot.png", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }()));
    server.start();

    makeClient();
    http = MorvixHTTPClient::create(server.url("/app"), client);
    auto fetched = http->imageFromPath("img/dot.png");
    ASSERT_TRUE(fetched);
    EXPECT_EQ(fetched->size().width, 4);
    EXPECT_FALSE(http->imageFromPath("img/missing.png"));
    delegate->roots = std::vector<std::string> { folder.string() };
    EXPECT_TRUE(http->imageFromPath("dot.png")); // found in the local root, not on the server
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(MorvixHTTPClientTest, ImageOperationsDecodeByTheSignatureAndTakeNoMoreThanTheSessionsCap)
{
    auto png = platform::Image::createTransparent(3, 2)->pngData();
    server.route("/pic", TestResponse().withHeader("Content-Type", "application/octet-stream").withBody(std::string(png.begin(), png.end())));
    auto endlessEnded = std::make_shared<std::atomic<bool>>(false);
    server.handle("/endless", [endlessEnded](const RecordedRequest&, ResponseWriter& writer) {
        writer.writeHead(200, { { "Content-Type", "image/png" }, { "Transfer-Encoding", "chunked" } });
        const std::string piece(64 * 1024, 'x');
        while (writer.writeChunk(piece)) { }
        *endlessEnded = true;
    });
    server.start();
    makeClient();
    client->setMaximumResponseSize(1 << 20);
    http = MorvixHTTPClient::create(server.url("/"), client);
    std::optional<std::shared_ptr<platform::Image>> picture, endless;
    http->newImageOperation(*Url::parse(server.url("/pic")), [&](auto image) { picture = image; })->start();
    http->newImageOperation(*Url::parse(server.url("/endless")), [&](auto image) { endless = image; })->start();
    ASSERT_TRUE(pumpUntil([&] { return picture && endless && endlessEnded->load(); }));
    ASSERT_TRUE(*picture);
    EXPECT_EQ((*picture)->pixelWidth(), 3);
    EXPECT_FALSE(*endless);
    for (const auto& request : server.requests())
        EXPECT_EQ(request.header("Accept"), "image/*");
}

TEST_F(MorvixHTTPClientTest, NewBaseURLMovesPostsButNotRelativeResolutionsSlash)
{
    delegate->url = "http://h/app/";
    client = MorvixClient::create(window, {}, MorvixClient::ApplicationFrame::Off);
    client->setDelegate(delegate);
    client->load(); // every load makes the HTTP client for the delegate's URL
    client->changeBaseURL("other/");
    EXPECT_EQ(client->httpClient()->baseURL(), "http://h/app/other/");
    EXPECT_EQ(client->relativeURLToServer("x.png")->absoluteString(), "http://h/app/other/x.png");
}

TEST_F(MorvixHTTPClientTest, DeleteCookiesForgetsTheServersCookies)
{
    server.handle("*", [](const RecordedRequest& request, ResponseWriter& writer) {
        writer.respond(200, request.header("Cookie").value_or("none"), { { "Set-Cookie", "session=abc; Path=/" } });
    });
    server.start();
    std::shared_ptr<NetHTTPRequestOperation> operation;
    get(server.url("/app/"), &operation);
    get(server.url("/app/"), &operation);
    EXPECT_EQ(operation->responseData(), "session=abc");
    http->deleteCookies();
    auto fresh = http->newGetJsonOperation({}, {}, nullptr);
    bool finished = false;
    fresh->setCompletionBlock([&] { finished = true; });
    fresh->start();
    ASSERT_TRUE(pumpUntil([&] { return finished; }));
    EXPECT_EQ(server.requests().back().header("Cookie"), std::nullopt);
}

TEST_F(MorvixHTTPClientTest, FileUploadSendsOneFilePartWithTheSessionHeadersOrNothing)
{
    // The manager decodes answers as JSON.
    server.route("/app/upload", TestResponse().withHeader("Content-Type", "application/json").withBody("{}"));
    server.start();
    makeClient();
    http = MorvixHTTPClient::create(server.url("/app/"), client);
    auto folder = std::filesystem::temp_directory_path() / ("morvix-upload-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::string contents(300000, '\0');
    for (std::size_t index = 0; index < contents.size(); ++index)
        contents[index] = static_cast<char>(index * 7 % 251);
    auto path = folder / "notes.txt";
    std::ofstream(path, std::ios::binary) << contents;

    bool succeeded = false;
    std::optional<platform::Error> failed;
    std::int64_t written = 0;
    std::int64_t expected = 0;
    auto operation = http->newFileUploadOperation(Url::fileURL(path.string()), "upload",
        [&](const auto&, const auto& response) { succeeded = true; EXPECT_EQ(response ? response->statusCode() : 0, 200); },
        [&](const auto&, const auto&, const platform::Error& error) { failed = error; },
        [&](std::int64_t total, std::int64_t expectedTotal) {
            written = total;
            expected = expectedTotal;
        });
    ASSERT_TRUE(operation);
    ASSERT_TRUE(pumpUntil([&] { return succeeded || failed; }));
    ASSERT_TRUE(succeeded) << (failed ? failed->description() : "");
    ASSERT_EQ(server.requestCount(), 1u);
    auto request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/app/upload");
    EXPECT_TRUE(request.header("User-Agent"));
    EXPECT_EQ(request.header("Accept-Encoding"), "gzip, deflate");
    auto type = request.header("Content-Type").value_or("");
    auto boundaryAt = type.find("boundary=");
    ASSERT_TRUE(type.starts_with("multipart/form-data; ") && boundaryAt != std::string::npos) << type;
    auto boundary = type.substr(boundaryAt + 9);
    EXPECT_TRUE(request.body == "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"notes.txt\"\r\n"
        "Content-Type: text/plain\r\n\r\n" + contents + "\r\n--" + boundary + "--\r\n");
    EXPECT_EQ(request.header("Content-Length"), std::to_string(request.body.size()));
    EXPECT_TRUE(pumpUntil([&] { return written == static_cast<std::int64_t>(request.body.size()); }));
    EXPECT_EQ(expected, static_cast<std::int64_t>(request.body.size()));

    // A missing file and a target that is no URL send nothing; the failure comes on the main loop.
    for (auto [file, target] : { std::pair(Url::fileURL((folder / "missing").string()), std::string("upload")),
             std::pair(Url::fileURL(path.string()), std::string("http://[")) }) {
        std::optional<platform::Error> refused;
        EXPECT_FALSE(http->newFileUploadOperation(file, target, {}, [&](const auto&, const auto& response, const platform::Error& error) {
            EXPECT_FALSE(response);
            refused = error;
        }, {}));
        EXPECT_FALSE(refused);
        ASSERT_TRUE(pumpUntil([&] { return refused.has_value(); }));
    }
    EXPECT_EQ(server.requestCount(), 1u);
    std::filesystem::remove_all(folder);
}

class MorvixHTTPClientTLSTest : public MorvixHTTPClientTest {
protected:
    void SetUp() override
    {
        MorvixHTTPClientTest::SetUp();
        setenv("SSL_CERT_FILE", TestPKI::shared().rootFile.c_str(), 1);
        server.route("*", TestResponse().withBody(R"({"head":{},"operations":[]})"));
    }
    void TearDown() override
    {
        MorvixHTTPClientTest::TearDown();
        unsetenv("SSL_CERT_FILE");
    }
};

TEST_F(MorvixHTTPClientTLSTest, StrictAcceptsATrustedCertificateForTheHost)
{
    const auto& pki = TestPKI::shared();
    server.startTLS(pki.leaf, { pki.intermediate });
    EXPECT_FALSE(get(server.url("/", "localhost")).error);
}

TEST_F(MorvixHTTPClientTLSTest, StrictRefusesATrustedCertificateForAnotherHost)
{
    const auto& pki = TestPKI::shared();
    server.startTLS(pki.wrongHost, { pki.intermediate });
    EXPECT_TRUE(get(server.url("/", "localhost")).error);
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(MorvixHTTPClientTLSTest, StrictRefusesASelfSignedCertificate)
{
    server.startTLS(TestPKI::shared().selfSigned);
    EXPECT_TRUE(get(server.url("/", "localhost")).error);
}

TEST_F(MorvixHTTPClientTLSTest, LaxAcceptsAnyCertificate)
{
    const auto& pki = TestPKI::shared();
    delegate->strict = false;
    server.startTLS(pki.wrongHost, { pki.intermediate });
    EXPECT_FALSE(get(server.url("/", "localhost")).error);
}

TEST_F(MorvixHTTPClientTLSTest, RepeatOfARefusedRequestKeepsTheStrictPolicy)
{
    const auto& pki = TestPKI::shared();
    server.startTLS(pki.wrongHost, { pki.intermediate });
    std::shared_ptr<NetHTTPRequestOperation> operation;
    get(server.url("/", "localhost"), &operation);
    std::optional<platform::Error> failure;
    bool done = false;
    auto copy = http->newOperationFromOperation(operation, [&](auto&, auto&) { done = true; },
        [&](auto&, auto&, const platform::Error& error) {
            failure = error;
            done = true;
        },
        nullptr);
    ASSERT_NE(copy, operation);
    copy->start();
    ASSERT_TRUE(pumpUntil([&] { return done; }));
    EXPECT_TRUE(failure);
}

} // namespace
} // namespace morvix::testing
