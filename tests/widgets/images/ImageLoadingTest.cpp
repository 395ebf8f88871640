// Images the peer names, loaded over a loopback server into image views of a real session.

#include "widgets/images/ImageViewMorvix.h"

#include "core/outgoing/Binding.h"
#include "core/session/MorvixClient.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/MemoryCache.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLError.h"
#include "platform/ui/Application.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/support/TestClientDelegate.h"
#include "tests/support/TestHttpServer.h"
#include "widgets/foundation/Composite.h"
#include "widgets/images/MemoryImageCache.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using namespace std::chrono_literals;
using platform::ImageView;
using platform::Size;
using platform::Value;
using testing::ResponseWriter;
using testing::TestGate;
using testing::TestResponse;

// An 8-bit RGB PNG of one colour, written with zlib rather than the library's own encoder.
std::string pngOf(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    auto bigEndian = [](std::uint32_t value) {
        return std::string { char(value >> 24), char(value >> 16), char(value >> 8), char(value) };
    };
    auto chunk = [&](const std::string& type, const std::string& data) {
        std::string body = type + data;
        auto crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
        return bigEndian(std::uint32_t(data.size())) + body + bigEndian(std::uint32_t(crc));
    };
    std::string rows;
    for (int y = 0; y < height; ++y) {
        rows += '\0';
        for (int x = 0; x < width; ++x)
            rows += { char(red), char(green), char(blue) };
    }
    uLongf packedSize = compressBound(uLong(rows.size()));
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(rows.data()), uLong(rows.size()));
    packed.resize(packedSize);
    std::string header = bigEndian(std::uint32_t(width)) + bigEndian(std::uint32_t(height)) + std::string { 8, 2, 0, 0, 0 };
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", packed) + chunk("IEND", "");
}

// The session's peer is not needed here: only its HTTP client resolves image paths.
class SilentBinding final : public Binding {
public:
    void start() override { }
    void suspend() override { }
    void resume() override { }
    void retry() override { }
    void stop() override { }
    void sendMessage(const std::shared_ptr<Message>&) override { }
    void scheduleMessage(const std::shared_ptr<Message>&) override { }
    void storeMessage(const std::shared_ptr<Message>&) override { }
    void reset() override { }
    bool isActive() override { return true; }
    bool isProcessing() override { return false; }
    void receivedRequestCounter(std::int64_t) override { }
    bool supportsCustomDrawer() override { return false; }
};

class ImageLoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const TestResponse png = TestResponse().withHeader("Content-Type", "image/png").withBody(pngOf(400, 100, 200, 30, 30));
        server.route("/wide.png", png);
        server.route("/other.png", png);
        server.route("/small.png", TestResponse().withHeader("Content-Type", "image/png").withBody(pngOf(10, 10, 30, 30, 200)));
        server.handle("/held.png", [this](const testing::RecordedRequest&, ResponseWriter& writer) {
            writer.waitFor(*gate);
            writer.respond(200, pngOf(400, 100, 30, 160, 30), { { "Content-Type", "image/png" } });
        });
        server.start();
        delegate->url = server.url("/");
        client = MorvixClient::create(harness.window(), { [](std::weak_ptr<MorvixClient>) { return std::make_shared<SilentBinding>(); } },
            MorvixClient::ApplicationFrame::Off);
        ASSERT_NE(client, nullptr);
        client->setDelegate(delegate);
        client->load();
    }
    void TearDown() override
    {
        gate->open();
        EXPECT_TRUE(settled());
        client.reset();
        harness.runUntilIdle();
    }

    bool waitUntil(const std::function<bool()>& done) { return platform::MainLoop::main().runUntil(done, 10s); }
    // Every load started so far has made its last change.
    bool settled() { return waitUntil([] { return ImageViewMorvix::loadsInFlight() == 0; }); }
    std::size_t hits(const std::string& path) const
    {
        std::size_t count = 0;
        for (const auto& request : server.requests())
            count += request.path == path;
        return count;
    }
    // Loads `value` into a new view and waits for the load to end.
    std::shared_ptr<ImageView> loaded(const char* value)
    {
        auto view = ImageView::create();
        ImageViewMorvix::setImageWithProperties(view, Value::parse(value), client);
        EXPECT_TRUE(settled()) << value;
        return view;
    }
    Size sizeOf(const std::shared_ptr<ImageView>& view) { return view->image() ? view->image()->size() : Size { -1, -1 }; }

    platform::UITestHarness harness;
    testing::TestHttpServer server;
    std::shared_ptr<TestGate> gate = std::make_shared<TestGate>();
    std::shared_ptr<testing::TestClientDelegate> delegate = std::make_shared<testing::TestClientDelegate>();
    std::shared_ptr<MorvixClient> client;
};

TEST_F(ImageLoadingTest, ShowsAPlaceholderWhileHeldThenFitsEveryRequestedSizeFromOneDownload)
{
    auto view = ImageView::create();
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/held.png", 100, 50])"), client);
    ASSERT_TRUE(waitUntil([&] { return view->image() && hits("/held.png") == 1; }));
    EXPECT_EQ(view->image()->size(), (Size { 100, 50 }));
    EXPECT_EQ(view->image()->scale(), 1);
    EXPECT_EQ(view->image()->pixelAt(50, 25).alpha, 0);
    EXPECT_EQ(server.requests().back().header("Accept").value_or("").find("image/*") != std::string::npos, true);
    EXPECT_EQ(ImageViewMorvix::loadsInFlight(), 1u);

    gate->open();
    ASSERT_TRUE(settled());
    // 400 x 100 into 100 x 50 keeps the aspect ratio, drawn at the screen's scale.
    EXPECT_EQ(sizeOf(view), (Size { 100, 25 }));
    EXPECT_EQ(view->image()->pixelWidth(), 200);
    EXPECT_EQ(view->image()->pixelAt(100, 25), (platform::Pixel { 30, 160, 30, 255 }));

    struct Case {
        const char* value;
        Size size;
    };
    for (const Case& c : { Case { R"(["/held.png", 100, null])", { 100, 25 } }, Case { R"(["/held.png", null, null])", { 400, 100 } },
             Case { R"(["/held.png", 0, 0, 2])", { 200, 50 } }, Case { R"(["/held.png", 0, 0, 0.5])", { 400, 100 } },
             Case { R"(["/held.png", 0, 0, null])", { 400, 100 } }, Case { R"(["/held.png", -5, -5, -3])", { 400, 100 } } })
        EXPECT_EQ(sizeOf(loaded(c.value)), c.size) << c.value;
    EXPECT_EQ(hits("/held.png"), 1u);

    // Decoded at scale 2, the picture is already 200 x 50 points and is kept as decoded.
    auto sharp = loaded(R"(["/wide.png", 0, 0, 2])");
    EXPECT_EQ(sizeOf(sharp), (Size { 200, 50 }));
    EXPECT_EQ(sharp->image()->pixelWidth(), 400);

    // A memory warning and a new session load each empty the cache.
    platform::Application::shared().simulateMemoryWarning();
    loaded(R"(["/held.png", 0, 0])");
    EXPECT_EQ(hits("/held.png"), 2u);
    client->load();
    loaded(R"(["/held.png", 0, 0])");
    EXPECT_EQ(hits("/held.png"), 3u);
    loaded(R"(["/held.png", 0, 0])");
    EXPECT_EQ(hits("/held.png"), 3u);
}

TEST_F(ImageLoadingTest, OnlyTheLastOfTwoQuickRequestsOnAViewShowsOrCallsBack)
{
    int firstCalls = 0, secondCalls = 0;
    auto countFirst = [&](const auto&, const auto&, const auto&) { ++firstCalls; };
    auto view = ImageView::create();
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/held.png", 0, 0])"), client);
    ASSERT_TRUE(waitUntil([&] { return hits("/held.png") == 1; }));
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/small.png", 0, 0])"), client);
    ASSERT_TRUE(waitUntil([&] { return view->image() != nullptr; }));
    gate->open();
    ASSERT_TRUE(settled());
    EXPECT_EQ(sizeOf(view), (Size { 10, 10 }));

    // The same URL twice: the first load is superseded all the same and reaches no callback.
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/wide.png", 0, 0])"), client, countFirst, countFirst);
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/wide.png", 0, 0])"), client,
        [&](const auto& request, const auto&, const std::shared_ptr<platform::Image>& image) {
            ++secondCalls;
            EXPECT_TRUE(request.has_value());
            EXPECT_EQ(image->size(), (Size { 400, 100 }));
        });
    ASSERT_TRUE(settled());
    EXPECT_EQ(firstCalls, 0);
    EXPECT_EQ(secondCalls, 1);
    EXPECT_EQ(view->image(), nullptr) << "with no target size there is no placeholder, and the callback takes the image";

    // A cancelled load reaches nothing either, and a cached answer comes without a request.
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/wide.png", 0, 0])"), client, countFirst, countFirst);
    ImageViewMorvix::cancelImageRequestOperation(*view);
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/wide.png", 0, 0])"), client,
        [&](const auto& request, const auto& response, const auto&) {
            ++secondCalls;
            EXPECT_FALSE(request.has_value());
            EXPECT_EQ(response, nullptr);
        });
    ASSERT_TRUE(settled());
    EXPECT_EQ(firstCalls, 0);
    EXPECT_EQ(secondCalls, 2);
}

TEST_F(ImageLoadingTest, FailuresReachTheFailureCallbackOnTheMainQueueAndKeepThePlaceholder)
{
    std::vector<platform::Error> errors;
    std::vector<int> statuses;
    auto record = [&](const auto&, const std::shared_ptr<const platform::HTTPURLResponse>& response, const platform::Error& error) {
        EXPECT_TRUE(platform::MainLoop::main().isMainThread());
        errors.push_back(error);
        statuses.push_back(response ? response->statusCode() : 0);
    };
    auto view = ImageView::create();
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/missing.png", 20, 10])"), client, nullptr, record);
    ASSERT_TRUE(settled());
    ASSERT_EQ(statuses, (std::vector<int> { 404 }));
    EXPECT_EQ(sizeOf(view), (Size { 20, 10 }));

    // Values that name no URL fail with a bad-URL error, never at once.
    std::vector<std::shared_ptr<ImageView>> views;
    for (const char* value : { R"(["/wide.png", 10])", R"([5, 10, 10])", R"("/wide.png")" }) {
        views.push_back(ImageView::create());
        ImageViewMorvix::setImageWithProperties(views.back(), Value::parse(value), client, nullptr, record);
    }
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/wide.png", 1, 1])"), nullptr, nullptr, record);
    EXPECT_EQ(errors.size(), 1u);
    ASSERT_TRUE(settled());
    ASSERT_EQ(errors.size(), 5u);
    for (std::size_t i = 1; i < errors.size(); ++i)
        EXPECT_EQ(errors[i].code(), platform::kURLErrorBadURL);

    // A size from the wire beyond what an image may be: no placeholder is made (the old
    // picture is cleared) and the fitted image is refused, naming its size.
    view->setImage(platform::Image::createTransparent(4, 4));
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/wide.png", 100000, 100000])"), client, nullptr, record);
    ASSERT_TRUE(settled());
    EXPECT_EQ(view->image(), nullptr);
    ASSERT_EQ(errors.size(), 6u);
    EXPECT_NE(errors.back().failureReason().value_or("").find("100000 x 25000"), std::string::npos);
    EXPECT_EQ(hits("/wide.png"), 1u);
}

TEST_F(ImageLoadingTest, AViewGoneMidDownloadReceivesNothingAndTheImageIsStillCached)
{
    int calls = 0;
    auto view = ImageView::create();
    ImageViewMorvix::setImageWithProperties(view, Value::parse(R"(["/held.png", 30, 30])"), client,
        [&](const auto&, const auto&, const auto&) { ++calls; }, [&](const auto&, const auto&, const auto&) { ++calls; });
    ASSERT_TRUE(waitUntil([&] { return view->image() && hits("/held.png") == 1; }));
    view.reset();
    gate->open();
    ASSERT_TRUE(settled());
    EXPECT_EQ(calls, 0);
    platform::URLRequest request(platform::Url::parse(server.url("/held.png")));
    EXPECT_NE(ImageViewMorvix::sharedImageCache()->cachedImageForRequest(request), nullptr);
}

TEST_F(ImageLoadingTest, AWidgetsBackgroundImageLoadsAsAPattern)
{
    auto widget = std::static_pointer_cast<Composite>(Composite::create("w1", nullptr, client));
    widget->setKey("backgroundImage", Value::parse(R"(["/small.png", 10, 10])"));
    ASSERT_TRUE(settled());
    ASSERT_NE(widget->view()->backgroundPatternImage(), nullptr);
    EXPECT_EQ(widget->view()->backgroundPatternImage()->size(), (Size { 10, 10 }));
    widget->setKey("backgroundImage", Value::parse(R"(["/missing.png", 10, 10])"));
    ASSERT_TRUE(settled());
    EXPECT_EQ(widget->view()->backgroundColor(), std::nullopt);

    // Taken away while its picture is still on its way: the last value wins.
    std::size_t before = hits("/held.png");
    widget->setKey("backgroundImage", Value::parse(R"(["/held.png?background", 10, 10])"));
    ASSERT_TRUE(waitUntil([&] { return hits("/held.png") > before; }));
    widget->setKey("backgroundImage", Value(nullptr));
    gate->open();
    ASSERT_TRUE(settled());
    harness.runUntilIdle();
    EXPECT_EQ(widget->view()->backgroundPatternImage(), nullptr);
    widget->destroy();
}

TEST_F(ImageLoadingTest, PictureOfLoadedImagesBesideAHeldPlaceholder)
{
    auto window = harness.window();
    auto place = [&](const char* value, platform::Rect frame) {
        auto view = ImageView::create(frame);
        view->layer().setBorderWidth(1);
        view->layer().setBorderColor(platform::Color::fromRGBA(0, 0, 0));
        window->addSubview(view);
        ImageViewMorvix::setImageWithProperties(view, Value::parse(value), client);
        return view;
    };
    auto wide = place(R"(["/wide.png", 200, 50])", { 10, 10, 200, 50 });
    auto small = place(R"(["/small.png", 40, 40])", { 10, 70, 40, 40 });
    auto held = place(R"(["/held.png", 120, 60])", { 60, 70, 120, 60 });
    ASSERT_TRUE(waitUntil([&] { return ImageViewMorvix::loadsInFlight() == 1 && held->image(); }));
    harness.runUntilIdle();
    auto picture = platform::Renderer::render(*window, { .scale = 2, .backdrop = platform::Color::white() });
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixelAt(2 * 100, 2 * 30), (platform::Pixel { 200, 30, 30, 255 }));
    EXPECT_EQ(picture->pixelAt(2 * 100, 2 * 100), (platform::Pixel { 255, 255, 255, 255 })) << "the placeholder is see-through";
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(picture->writePNG((directory / "images-loaded-and-held.png").string()));
}

TEST(MemoryImageCacheTest, IsBoundedByDecodedBytesAndSkipsLookupsForReloadPolicies)
{
    auto cache = MemoryImageCache::create();
    EXPECT_EQ(cache->memoryCache().totalCostLimit(), 64u * 1024 * 1024);
    platform::URLRequest request(platform::Url::parse("http://127.0.0.1/a.png"));
    auto image = platform::Image::createTransparent(20, 10);
    cache->cacheImage(image, request);
    EXPECT_EQ(cache->memoryCache().totalCost(), 20u * 10 * 4);
    EXPECT_EQ(cache->cachedImageForRequest(request), image);
    for (int policy : { 1, 4 }) {
        platform::URLRequest reload = request;
        reload.setCachePolicy(policy);
        EXPECT_EQ(cache->cachedImageForRequest(reload), nullptr);
        cache->cacheImage(platform::Image::createTransparent(2, 2), reload); // stored all the same
        EXPECT_EQ(cache->cachedImageForRequest(request)->pixelWidth(), 2);
    }
    cache->memoryCache().setTotalCostLimit(100);
    cache->cacheImage(image, request);
    EXPECT_EQ(cache->cachedImageForRequest(request), nullptr) << "an image costlier than the whole cache is not kept";
}

} // namespace
} // namespace morvix
