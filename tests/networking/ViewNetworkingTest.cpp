#include "networking/ActivityIndicatorViewNetworking.h"
#include "networking/AlertViewNetworking.h"
#include "networking/ButtonNetworking.h"
#include "networking/ImageViewNetworking.h"
#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetImageCache.h"
#include "networking/NetImageResponseSerializer.h"
#include "networking/ProgressViewNetworking.h"
#include "networking/WebViewNetworking.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLResponse.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/ActivityIndicatorView.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/ProgressView.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/screens/WebView.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>

using namespace morvix;
using namespace morvix::platform;
using namespace std::chrono_literals;
using morvix::testing::RecordedRequest;
using morvix::testing::ResponseWriter;
using morvix::testing::TestGate;
using morvix::testing::TestHttpServer;
using morvix::testing::TestResponse;

namespace {

std::string pngOf(Color color)
{
    ImageContext drawing({ 20, 20 }, Opaque::Yes, 1);
    drawing.context().setFillColor(color);
    drawing.context().fillRect({ 0, 0, 20, 20 });
    auto bytes = drawing.image()->pngData();
    return std::string(bytes.begin(), bytes.end());
}

bool isRed(const std::shared_ptr<Image>& image)
{
    return image && image->pixelAt(1, 1).red > 200 && image->pixelAt(1, 1).blue < 50;
}

bool isBlue(const std::shared_ptr<Image>& image)
{
    return image && image->pixelAt(1, 1).blue > 200 && image->pixelAt(1, 1).red < 50;
}

// A completion queue that keeps what it is handed until the test runs it, so that a download
// can finish before a newer one replaces it and deliver afterwards.
class HeldQueue final {
public:
    DispatchQueue queue()
    {
        return [this](std::function<void()> task) {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        };
    }
    bool isHolding()
    {
        std::lock_guard lock(m_mutex);
        return !m_tasks.empty();
    }
    void runAll()
    {
        std::vector<std::function<void()>> tasks;
        {
            std::lock_guard lock(m_mutex);
            tasks.swap(m_tasks);
        }
        for (auto& task : tasks)
            task();
    }

private:
    std::mutex m_mutex; // guards m_tasks
    std::vector<std::function<void()>> m_tasks;
};

class ViewNetworkingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.route("/red.png", TestResponse().withHeader("Content-Type", "image/png").withBody(pngOf(Color::fromRGBA(1, 0, 0))));
        server.route("/blue.png", TestResponse().withHeader("Content-Type", "image/png").withBody(pngOf(Color::fromRGBA(0, 0, 1))));
        server.route("/missing.png", TestResponse().withStatus(404).withHeader("Content-Type", "text/plain").withBody("gone"));
        server.handle("/held", [this](const RecordedRequest&, ResponseWriter& writer) {
            writer.waitFor(*gate);
            writer.respond(200, pngOf(Color::fromRGBA(0, 1, 0)), { { "Content-Type", "image/png" } });
        });
        server.handle("/late.png", [this](const RecordedRequest&, ResponseWriter& writer) {
            writer.waitFor(*lateGate);
            writer.respond(200, pngOf(Color::fromRGBA(1, 0, 0)), { { "Content-Type", "image/png" } });
        });
        server.route("/plain.html", TestResponse().withHeader("Content-Type", "text/html").withBody("<p>h\xc3\xa9llo</p>"));
        server.route("/latin.html",
            TestResponse().withHeader("Content-Type", "text/html; charset=ISO-8859-1").withBody("<p>caf\xe9</p>"));
        server.route("/broken.html", TestResponse().withHeader("Content-Type", "text/html").withBody("<p>\xff\xfe</p>"));
        server.start();
        cache = NetMemoryImageCache::create();
        ImageViewNetworking::setSharedImageCache(cache);
    }
    void TearDown() override
    {
        gate->open();
        lateGate->open();
        server.stop();
        ImageViewNetworking::setSharedImageCache(nullptr);
    }

    Url url(const std::string& path) const { return *Url::parse(server.url(path)); }
    URLRequest request(const std::string& path, int cachePolicy = 0) const
    {
        auto made = NetImageRequestForURL(url(path));
        made.setCachePolicy(cachePolicy);
        return made;
    }
    bool runUntil(const std::function<bool()>& done) { return MainLoop::main().runUntil(done, 5s); }
    std::size_t requestsFor(const std::string& path) const
    {
        std::size_t count = 0;
        for (const auto& recorded : server.requests())
            count += recorded.path == path;
        return count;
    }

    UITestHarness harness { { 320, 568 }, 1 };
    TestHttpServer server;
    std::shared_ptr<TestGate> gate = std::make_shared<TestGate>();
    std::shared_ptr<TestGate> lateGate = std::make_shared<TestGate>();
    HeldQueue held;
    std::shared_ptr<NetMemoryImageCache> cache;
};

} // namespace

TEST_F(ViewNetworkingTest, ImageViewShowsThePlaceholderThenTheDownloadAndAnswersLaterCallsFromTheCache)
{
    auto view = ImageView::create({ 0, 0, 20, 20 });
    auto placeholder = Image::createTransparent(4, 4);
    ImageViewNetworking::setImageWithURL(*view, url("/red.png"), placeholder);
    EXPECT_EQ(view->image(), placeholder);
    ASSERT_TRUE(runUntil([&] { return isRed(view->image()); }));
    EXPECT_FALSE(ImageViewNetworking::imageRequestOperation(*view)) << "a finished download is forgotten";
    EXPECT_EQ(server.requests()[0].header("Accept"), "image/*");
    EXPECT_EQ(cache->count(), 1u);

    // A hit: the success block gets the request, no response and the image; nothing is fetched,
    // and the block (not the extension) decides what the view shows.
    view->setImage(placeholder);
    std::optional<URLRequest> seenRequest;
    std::shared_ptr<const HTTPURLResponse> seenResponse = HTTPURLResponse::create(std::nullopt, 200, {});
    std::shared_ptr<Image> seenImage;
    ImageViewNetworking::setImageWithURLRequest(
        *view, request("/red.png"), nullptr,
        [&](const URLRequest& request, const std::shared_ptr<const HTTPURLResponse>& response, const std::shared_ptr<Image>& image) {
            seenRequest = request;
            seenResponse = response;
            seenImage = image;
        },
        nullptr);
    ASSERT_TRUE(seenRequest);
    EXPECT_EQ(seenRequest->url()->absoluteString(), server.url("/red.png"));
    EXPECT_FALSE(seenResponse);
    EXPECT_TRUE(isRed(seenImage));
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(requestsFor("/red.png"), 1u);

    // Cache policy 1 ignores the cached image but stores the new one.
    auto before = cache->cachedImageForRequest(request("/red.png"));
    ImageViewNetworking::setImageWithURLRequest(*view, request("/red.png", 1), nullptr, nullptr, nullptr);
    ASSERT_TRUE(runUntil([&] { return !ImageViewNetworking::imageRequestOperation(*view); }));
    EXPECT_EQ(requestsFor("/red.png"), 2u);
    auto after = cache->cachedImageForRequest(request("/red.png"));
    EXPECT_TRUE(isRed(after));
    EXPECT_NE(after, before);
    EXPECT_FALSE(cache->cachedImageForRequest(request("/red.png", 4)));

    Application::shared().simulateMemoryWarning();
    EXPECT_EQ(cache->count(), 0u) << "a memory warning empties the cache";

    // The view's state goes with the view.
    std::weak_ptr<NetHTTPResponseSerializer> serializer;
    {
        auto gone = ImageView::create();
        auto own = NetImageResponseSerializer::serializer();
        serializer = own;
        ImageViewNetworking::setImageResponseSerializer(*gone, own);
    }
    EXPECT_FALSE(serializer.expired());
    ImageViewNetworking::setImageResponseSerializer(*ImageView::create(), nullptr);
    EXPECT_TRUE(serializer.expired());
}

TEST_F(ViewNetworkingTest, ImageViewCancelsAnOlderDownloadAndNeverShowsItsLateImage)
{
    auto view = ImageView::create({ 0, 0, 20, 20 });
    int failures = 0;
    auto countFailure = [&](const URLRequest&, const std::shared_ptr<const HTTPURLResponse>&, const Error&) { ++failures; };
    ImageViewNetworking::setImageWithURLRequest(*view, request("/held"), nullptr, nullptr, countFailure);
    auto first = ImageViewNetworking::imageRequestOperation(*view);
    ASSERT_TRUE(first);
    ImageViewNetworking::setImageWithURL(*view, url("/blue.png"));
    EXPECT_TRUE(first->isCancelled());
    ASSERT_TRUE(runUntil([&] { return isBlue(view->image()) && first->isFinished(); }));
    MainLoop::main().runUntilIdle();
    EXPECT_EQ(failures, 0) << "the failure of a replaced download is not reported";

    // A download that finished before it could be cancelled delivers late: its image is cached
    // but does not replace the newer one.
    ImageViewNetworking::setImageWithURL(*view, url("/late.png"));
    auto late = ImageViewNetworking::imageRequestOperation(*view);
    late->setCompletionQueue(held.queue());
    lateGate->open();
    ASSERT_TRUE(runUntil([&] { return held.isHolding(); }));
    ImageViewNetworking::setImageWithURL(*view, url("/blue.png"));
    ASSERT_TRUE(runUntil([&] { return isBlue(view->image()); }));
    // The delivery goes through the processing queue and back to the held queue.
    ASSERT_TRUE(runUntil([&] {
        held.runAll();
        return isRed(cache->cachedImageForRequest(request("/late.png")));
    }));
    EXPECT_TRUE(isBlue(view->image()));
}

TEST_F(ViewNetworkingTest, ButtonStatesShareTheNormalSlotAndAStaleDownloadIsNotApplied)
{
    auto button = Button::create(ButtonType::Custom, { 0, 0, 40, 40 });
    ButtonNetworking::setImageForState(*button, ControlState::Normal, url("/held"));
    auto normal = ButtonNetworking::imageRequestOperationForState(*button, ControlState::Normal);
    ButtonNetworking::setImageForState(*button, ControlState::Selected, url("/red.png"));
    EXPECT_FALSE(normal->isCancelled()) << "selected has a slot of its own";
    ButtonNetworking::setBackgroundImageForState(*button, ControlState::Normal, url("/red.png"));
    EXPECT_FALSE(normal->isCancelled()) << "background images have slots of their own";
    ButtonNetworking::setImageForState(*button, ControlState::Highlighted | ControlState::Disabled, url("/blue.png"));
    EXPECT_TRUE(normal->isCancelled()) << "state 3 shares the normal slot";
    ASSERT_TRUE(runUntil([&] {
        return isBlue(button->imageForState(ControlState::Highlighted | ControlState::Disabled))
            && isRed(button->imageForState(ControlState::Selected)) && isRed(button->backgroundImageForState(ControlState::Normal));
    }));

    // The older of two downloads for one slot finishes last: it is cached, not applied.
    ButtonNetworking::setImageForState(*button, ControlState::Normal, url("/late.png"));
    auto late = ButtonNetworking::imageRequestOperationForState(*button, ControlState::Normal);
    late->setCompletionQueue(held.queue());
    lateGate->open();
    ASSERT_TRUE(runUntil([&] { return held.isHolding(); }));
    ButtonNetworking::setImageForState(*button, ControlState::Normal, url("/blue.png"));
    ASSERT_TRUE(runUntil([&] { return isBlue(button->imageForState(ControlState::Normal)); }));
    ASSERT_TRUE(runUntil([&] {
        held.runAll();
        return isRed(cache->cachedImageForRequest(request("/late.png")));
    }));
    EXPECT_TRUE(isBlue(button->imageForState(ControlState::Normal)));

    // A hit gives the success block no request and no response.
    bool hit = false;
    ButtonNetworking::setImageForState(
        *button, ControlState::Normal, request("/late.png"), nullptr,
        [&](const URLRequest* request, const std::shared_ptr<const HTTPURLResponse>& response, const std::shared_ptr<Image>& image) {
            hit = !request && !response && isRed(image);
        },
        nullptr);
    EXPECT_TRUE(hit);
}

TEST_F(ViewNetworkingTest, ProgressViewDividesInSinglePrecisionAfterTheEarlierBlock)
{
    auto view = ProgressView::create({ 0, 0, 100, 2 });
    auto operation = NetHTTPRequestOperation::create(request("/red.png"));
    std::vector<std::int64_t> earlier;
    operation->setDownloadProgressBlock([&](std::int64_t, std::int64_t total, std::int64_t) { earlier.push_back(total); });
    ProgressViewNetworking::setProgressWithDownloadProgressOfOperation(*view, *operation, Animated::Yes);
    ProgressViewNetworking::setProgressWithUploadProgressOfOperation(*view, *operation, Animated::No);

    // 2^24 + 1 and 2^24 + 3 round to different floats than their quotient in double does.
    operation->downloadProgressBlock()(1, 16777217, 16777219);
    MainLoop::main().runUntilIdle();
    EXPECT_EQ(view->progress(), 16777216.0f / 16777220.0f);
    EXPECT_NE(view->progress(), static_cast<float>(16777217.0 / 16777219.0));
    EXPECT_EQ(earlier, std::vector<std::int64_t>({ 16777217 }));

    operation->downloadProgressBlock()(5, 5, 0);
    operation->downloadProgressBlock()(5, 5, -1);
    MainLoop::main().runUntilIdle();
    EXPECT_EQ(view->progress(), 16777216.0f / 16777220.0f) << "no expected total, no change";
    EXPECT_EQ(earlier.size(), 3u);

    operation->uploadProgressBlock()(1, 1, 4);
    MainLoop::main().runUntilIdle();
    EXPECT_EQ(view->progress(), 0.25f);
}

TEST_F(ViewNetworkingTest, ActivityIndicatorFollowsItsOperationUntilAnotherOrNone)
{
    auto view = ActivityIndicatorView::create({ 0, 0, 20, 20 });
    auto operation = NetHTTPRequestOperation::create(request("/held"));
    ActivityIndicatorViewNetworking::setAnimatingWithStateOfOperation(*view, operation);
    EXPECT_FALSE(view->isAnimating()) << "a ready operation is not running yet";
    operation->start();
    ASSERT_TRUE(runUntil([&] { return view->isAnimating(); }));
    EXPECT_FALSE(view->isHidden());
    gate->open();
    ASSERT_TRUE(runUntil([&] { return !view->isAnimating(); }));
    EXPECT_TRUE(view->isHidden());

    // A finished operation or none leaves the indicator alone and only ends the observations.
    view->startAnimating();
    ActivityIndicatorViewNetworking::setAnimatingWithStateOfOperation(*view, operation);
    EXPECT_TRUE(view->isAnimating());
    ActivityIndicatorViewNetworking::setAnimatingWithStateOfOperation(*view, nullptr);
    EXPECT_TRUE(view->isAnimating());
    NotificationCenter::defaultCenter()->post(NetworkingOperationDidFinishNotification,
        static_cast<const NetURLConnectionOperation*>(operation.get()), nullptr, std::shared_ptr<NetURLConnectionOperation>(operation));
    MainLoop::main().runUntilIdle();
    EXPECT_TRUE(view->isAnimating()) << "the operation is no longer followed";
}

TEST_F(ViewNetworkingTest, AlertTextsFollowWhatTheErrorCarries)
{
    Error full("test.domain", 7, "Could not save");
    full.setFailureReason("The disk is full.");
    EXPECT_EQ(AlertViewNetworking::alertTexts(full).title, "Could not save");
    EXPECT_EQ(AlertViewNetworking::alertTexts(full).message, "The disk is full.");
    full.setRecoverySuggestion("Delete something.");
    EXPECT_EQ(AlertViewNetworking::alertTexts(full).message, "Delete something.") << "the suggestion comes before the reason";

    Error described("test.domain", 7, "Could not save");
    EXPECT_EQ(AlertViewNetworking::alertTexts(described).title, "Error");
    EXPECT_EQ(AlertViewNetworking::alertTexts(described).message, "Could not save");

    Error bare("test.domain", -42);
    bare.setFailureReason("ignored without a description");
    EXPECT_FALSE(bare.hasDescription());
    EXPECT_EQ(AlertViewNetworking::alertTexts(bare).title, "Error");
    EXPECT_EQ(AlertViewNetworking::alertTexts(bare).message, "test.domain Error: -42");
}

TEST_F(ViewNetworkingTest, AlertShowsAFailedOperationsErrorOnceAndNothingForASuccess)
{
    auto fine = NetHTTPRequestOperation::create(request("/red.png"));
    AlertViewNetworking::showAlertViewForRequestOperationWithErrorOnCompletion(fine, {});
    fine->start();
    ASSERT_TRUE(runUntil([&] { return fine->isFinished(); }));
    MainLoop::main().runUntilIdle();
    EXPECT_TRUE(Application::shared().alerts().empty());

    auto failing = NetHTTPRequestOperation::create(request("/missing.png"));
    AlertViewNetworking::showAlertViewForRequestOperationWithErrorOnCompletion(failing, {}, "Close", { "Retry", "Report" });
    failing->start();
    ASSERT_TRUE(runUntil([&] { return !Application::shared().alerts().empty(); }));
    auto alert = Application::shared().alerts().front();
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_EQ(alert->message(), failing->error()->description());
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string> { "Close", "Retry", "Report" }));

    // The wait ended with the first finish.
    EXPECT_TRUE(harness.pressAlertButton("Close"));
    NotificationCenter::defaultCenter()->post(NetworkingOperationDidFinishNotification,
        static_cast<const NetURLConnectionOperation*>(failing.get()), nullptr, std::shared_ptr<NetURLConnectionOperation>(failing));
    MainLoop::main().runUntilIdle();
    EXPECT_TRUE(Application::shared().alerts().empty());
}

TEST_F(ViewNetworkingTest, WebViewLoadsThePageThroughAnOperationAndTellsItsDelegate)
{
    struct Recorder final : WebViewDelegate {
        std::vector<std::string> log;
        void webViewDidStartLoad(WebView&) override { log.push_back("start"); }
        void webViewDidFinishLoad(WebView&) override { log.push_back("finish"); }
    };
    auto recorder = std::make_shared<Recorder>();
    auto view = WebView::create({ 0, 0, 200, 100 });
    view->setDelegate(recorder);
    std::optional<Error> failure;
    auto fail = [&](const Error& error) { failure = error; };

    // The full form: the MIME type given, the response's encoding name, its URL as the base.
    WebViewNetworking::loadRequest(*view, request("/latin.html"), "text/plain", std::nullopt, nullptr, nullptr, fail);
    ASSERT_TRUE(WebViewNetworking::HTTPRequestOperation(*view));
    EXPECT_EQ(recorder->log, std::vector<std::string>({ "start" }));
    ASSERT_TRUE(runUntil([&] { return view->loads().size() == 1; }));
    EXPECT_EQ(recorder->log, std::vector<std::string>({ "start", "finish" }));
    const WebView::Load& page = view->loads()[0];
    EXPECT_TRUE(page.isData);
    EXPECT_EQ(page.data, "<p>caf\xe9</p>");
    EXPECT_EQ(page.mimeType, "text/plain");
    EXPECT_EQ(page.textEncodingName, "ISO-8859-1");
    EXPECT_EQ(page.url, server.url("/latin.html"));
    EXPECT_TRUE(server.requests().back().header("User-Agent")) << "the request serializer's default headers";

    // The text form decodes in the named charset, and encodes the success block's text back.
    std::string seen;
    auto edit = [&](const std::shared_ptr<const HTTPURLResponse>&, const std::string& html) {
        seen = html;
        return html + "!";
    };
    WebViewNetworking::loadRequest(*view, request("/latin.html"), nullptr, edit, fail);
    ASSERT_TRUE(runUntil([&] { return view->loads().size() == 2; }));
    EXPECT_EQ(seen, "<p>caf\xc3\xa9</p>");
    EXPECT_EQ(view->loads()[1].data, "<p>caf\xe9</p>!");
    EXPECT_EQ(view->loads()[1].mimeType, "text/html");

    // Without a charset it is UTF-8 both ways.
    WebViewNetworking::loadRequest(*view, request("/plain.html"), nullptr, nullptr, fail);
    ASSERT_TRUE(runUntil([&] { return view->loads().size() == 3; }));
    EXPECT_EQ(view->loads()[2].data, "<p>h\xc3\xa9llo</p>");

    // Bytes that are not UTF-8 fail the load: nothing shown, no finish.
    recorder->log.clear();
    WebViewNetworking::loadRequest(*view, request("/broken.html"), nullptr, nullptr, fail);
    ASSERT_TRUE(runUntil([&] { return failure.has_value(); }));
    EXPECT_TRUE(failure->is(NetURLResponseSerializationErrorDomain, NetURLErrorCannotDecodeContentData));
    MainLoop::main().runUntilIdle();
    EXPECT_EQ(view->loads().size(), 3u);
    EXPECT_EQ(recorder->log, std::vector<std::string>({ "start" }));
}

TEST_F(ViewNetworkingTest, PicturesOfTheViewsAfterTheirLoads)
{
    auto window = harness.window();
    window->setBackgroundColor(Color::white());
    auto image = ImageView::create({ 20, 40, 60, 60 });
    auto button = Button::create(ButtonType::Custom, { 100, 40, 60, 60 });
    auto progress = ProgressView::create({ 20, 120, 280, 2 });
    auto indicator = ActivityIndicatorView::create({ 20, 140, 20, 20 });
    auto web = WebView::create({ 20, 180, 280, 100 });
    for (const std::shared_ptr<View>& view : std::vector<std::shared_ptr<View>> { image, button, progress, indicator, web })
        window->addSubview(view);

    ImageViewNetworking::setImageWithURL(*image, url("/red.png"));
    ButtonNetworking::setImageForState(*button, ControlState::Normal, url("/blue.png"));
    auto operation = NetHTTPRequestOperation::create(request("/held"));
    ProgressViewNetworking::setProgressWithDownloadProgressOfOperation(*progress, *operation, Animated::No);
    ActivityIndicatorViewNetworking::setAnimatingWithStateOfOperation(*indicator, operation);
    operation->start();
    operation->downloadProgressBlock()(50, 50, 100);
    WebViewNetworking::loadRequest(*web, request("/plain.html"), nullptr, nullptr, nullptr);
    ASSERT_TRUE(runUntil([&] {
        return isRed(image->image()) && isBlue(button->imageForState(ControlState::Normal)) && indicator->isAnimating()
            && web->loads().size() == 1;
    }));
    harness.runUntilIdle();
    EXPECT_EQ(progress->progress(), 0.5f);

    auto picture = Renderer::render(*window, { .backdrop = Color::white() });
    ASSERT_TRUE(picture);
    EXPECT_GT(picture->pixelAt(50, 70).red, 200) << "the downloaded image is drawn";
    EXPECT_GT(picture->pixelAt(130, 70).blue, 200) << "so is the button's";
    EXPECT_LT(picture->pixelAt(100, 121).red, 50) << "the progress bar is filled to its middle";
    EXPECT_GT(picture->pixelAt(250, 121).red, 150);

    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    ASSERT_TRUE(picture->writePNG((directory / "view-networking.png").string()));

    auto failing = NetHTTPRequestOperation::create(request("/missing.png"));
    AlertViewNetworking::showAlertViewForRequestOperationWithErrorOnCompletion(failing, {});
    failing->start();
    ASSERT_TRUE(runUntil([&] { return !Application::shared().alerts().empty(); }));
    ASSERT_TRUE(Renderer::renderKeyWindowPNG((directory / "view-networking-alert.png").string(), { .backdrop = Color::white() }));
}
