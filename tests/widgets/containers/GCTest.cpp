// The canvas's drawing context driven through its calls, checked by pixels of its bitmap.

#include "widgets/containers/GC.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteException.h"
#include "core/session/MorvixHTTPClient.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SessionBudget.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Image.h"
#include "platform/net/URLRequest.h"
#include "platform/net/Url.h"
#include "platform/ui/Screen.h"
#include "tests/support/TestHttpServer.h"
#include "widgets/images/ImageCache.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/text/FontHelper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

namespace morvix {
namespace {

using platform::Pixel;
using platform::Value;

class DrawingSession final : public ClientContext {
public:
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override { return registry->objectById(id); }
    void removeObjectById(const std::string& id) override { registry->removeObjectById(id); }
    void log(const LogEntry& entry) override { logged.push_back(entry.message()); }
    double timeInSession() const override { return 0; }
    // Pictures are files of the test's folder, as a session with a local root reads them, unless
    // the session has an HTTP client: then they resolve against its server.
    std::shared_ptr<platform::Image> imageFromPath(const std::string& path) const override
    {
        ++picturesRead;
        return platform::Image::readFile((folder / path).string());
    }
    std::optional<platform::Url> relativeURLToServer(const std::string& text) const override
    {
        return http ? http->relativeURLToServer(text) : std::nullopt;
    }
    std::shared_ptr<MorvixHTTPClient> httpClient() const override { return http; }

    std::shared_ptr<ObjectRegistry> registry = ObjectRegistry::create();
    std::shared_ptr<MorvixHTTPClient> http;
    mutable int picturesRead = 0;
    std::vector<std::string> logged;
    std::filesystem::path folder = std::filesystem::temp_directory_path();
};

class GCTest : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override { platform::Screen::main().setScale(GetParam()); }
    void TearDown() override { platform::Screen::main().resetForTesting(); }

    std::shared_ptr<GC> makeGC(const Value& init = { { "width", 100 }, { "height", 120 } })
    {
        auto gc = std::static_pointer_cast<GC>(GC::create("g", nullptr, session));
        gc->callWithProperties(&init, "init");
        return gc;
    }
    static void draw(GC& gc, const char* operations)
    {
        Value properties = { { "operations", Value::parse(operations) } };
        gc.callWithProperties(&properties, "draw");
    }
    // The pixel under the point (x, y), at the bitmap's scale.
    Pixel at(GC& gc, double x, double y)
    {
        auto image = gc.image();
        double scale = GetParam();
        return image->pixelAt(int(std::floor(x * scale)), int(std::floor(y * scale)));
    }
    // Writes the bitmap where pictures of tests are kept, when asked for.
    void keepPicture(GC& gc, const std::string& name)
    {
        if (const char* folder = std::getenv("MORVIX_RENDER_DIR"))
            (void)gc.image()->writePNG(std::string(folder) + "/gc-" + name + "-" + std::to_string(int(GetParam())) + ".png");
    }

    std::shared_ptr<DrawingSession> session = std::make_shared<DrawingSession>();
};

constexpr Pixel kRed { 255, 0, 0, 255 };
constexpr Pixel kBlue { 0, 0, 255, 255 };
constexpr Pixel kClear { 0, 0, 0, 0 };

TEST_P(GCTest, ColourFillAndStrokeKeepThePathWhileAGradientFillConsumesIt)
{
    auto gc = makeGC();
    draw(*gc, R"([["fillStyle",[255,0,0]],["strokeStyle",[0,0,255]],["lineWidth",2],
        ["beginPath"],["rect",10,10,20,20],["fill"],["stroke"]])");
    EXPECT_EQ(at(*gc, 20, 20), kRed);
    EXPECT_EQ(at(*gc, 10, 20), kBlue);
    EXPECT_EQ(at(*gc, 5, 5), kClear);

    draw(*gc, R"([["createLinearGradient",50,0,70,0],["addColorStop",0,[255,0,0]],["addColorStop",1,[0,255,0,255]],
        ["fillStyle","linearGradient"],["beginPath"],["rect",50,10,20,20],["fill"],["stroke"]])");
    EXPECT_GT(at(*gc, 50.5, 20).red, 240);
    EXPECT_GT(at(*gc, 69.5, 20).green, 240);
    EXPECT_EQ(at(*gc, 50, 20).blue, 0) << "the gradient fill consumed the path";
    EXPECT_EQ(at(*gc, 70.5, 20), kClear);

    // A stop inserted in front shifts the others; a single stop fills solid; no stops fill
    // nothing but still take the path.
    draw(*gc, R"([["createLinearGradient",0,0,1,0],["addColorStop",0,[0,0,255]],["fillStyle","x"],
        ["beginPath"],["rect",10,40,20,20],["fill"],
        ["createLinearGradient",0,0,1,0],["rect",50,40,20,20],["fill"],["fillStyle",[255,0,0]],["fill"]])");
    EXPECT_EQ(at(*gc, 20, 50), kBlue);
    EXPECT_EQ(at(*gc, 60, 50), kClear);
    keepPicture(*gc, "paths");
}

TEST_P(GCTest, SaveRestoreMoveRecordAndContextTogether)
{
    auto gc = makeGC();
    draw(*gc, R"([["fillStyle",[0,0,255]],["save"],["fillStyle",[255,0,0]],["lineWidth",7],["restore"],
        ["beginPath"],["rect",0,0,10,10],["fill"]])");
    EXPECT_EQ(at(*gc, 5, 5), kBlue);
    EXPECT_EQ(gc->propertiesStack().peek()->lineWidth, 1);

    // Unmatched restores keep the base record and leave the context usable.
    draw(*gc, R"([["restore"],["restore"],["beginPath"],["rect",20,0,10,10],["fill"]])");
    EXPECT_EQ(gc->propertiesStack().count(), 1u);
    EXPECT_EQ(at(*gc, 25, 5), kBlue);

    // clearRect goes through the transform; a singular scale draws nothing until the restore.
    draw(*gc, R"([["beginPath"],["rect",0,20,40,40],["fill"],["save"],["translate",10,30],["clearRect",0,0,10,10],
        ["scale",0,0],["rect",0,0,5,5],["restore"],["globalAlpha",0.5],["fillStyle",[255,0,0]],
        ["beginPath"],["rect",50,50,10,10],["fill"]])");
    EXPECT_EQ(at(*gc, 15, 35), kClear);
    EXPECT_EQ(at(*gc, 5, 25), kBlue);
    EXPECT_EQ(at(*gc, 25, 45), kBlue);
    EXPECT_NEAR(at(*gc, 55, 55).alpha, 128, 1);
    EXPECT_EQ(gc->propertiesStack().peek()->globalAlpha, 0.5);
}

TEST_P(GCTest, ArcsFollowTheirFlagAndEllipsesCentreOnTheirPoint)
{
    auto gc = makeGC();
    draw(*gc, R"([["beginPath"],["arc",50,50,20,0,1.5707964," +0yes"],["fill"],
        ["beginPath"],["arc",50,100,20,0,1.5707964,"00"],["fill"]])");
    EXPECT_GT(at(*gc, 50, 35).alpha, 200);
    EXPECT_EQ(at(*gc, 62, 62).alpha, 0);
    EXPECT_EQ(at(*gc, 50, 85).alpha, 0);
    EXPECT_GT(at(*gc, 62, 112).alpha, 200);

    auto ellipse = makeGC();
    draw(*ellipse, R"([["beginPath"],["ellipse",50,50,30,10,0,0,7,false],["fill"],
        ["beginPath"],["ellipse",10,10,0,10,0,0,7,false],["fill"]])");
    EXPECT_GT(at(*ellipse, 22, 50).alpha, 200);
    EXPECT_GT(at(*ellipse, 78, 50).alpha, 200);
    EXPECT_EQ(at(*ellipse, 50, 38).alpha, 0);
    EXPECT_GT(at(*ellipse, 50, 42).alpha, 200);
    EXPECT_EQ(at(*ellipse, 10, 10).alpha, 0);

    // A sweep of many turns is one circle, at once.
    draw(*ellipse, R"([["beginPath"],["arc",50,100,5,0,1e30,false],["stroke"]])");
    EXPECT_GT(at(*ellipse, 55, 100).alpha, 100);
}

TEST_P(GCTest, InitSizesTheBitmapAndKeepsTheRecords)
{
    auto gc = makeGC({ { "width", 10.3 }, { "height", 10 } });
    auto image = gc->image();
    EXPECT_EQ(image->pixelWidth(), int(10.3f * GetParam()));
    EXPECT_EQ(image->pixelHeight(), int(10 * GetParam()));

    draw(*gc, R"([["lineWidth",5],["beginPath"],["rect",0,0,5,5],["fill"]])");
    Value again = { { "width", 10 }, { "height", 10 }, { "fillStyle", "red" } };
    gc->callWithProperties(&again, "init");
    EXPECT_EQ(at(*gc, 2, 2), kClear);
    EXPECT_EQ(gc->propertiesStack().peek()->lineWidth, 5);
    EXPECT_EQ(gc->propertiesStack().peek()->fillStyle, platform::Color::black()) << "an unreadable colour keeps the old";

    for (Value size : { Value { -1, 10 }, Value { 10, NAN }, Value { 1e9, 1e9 }, Value { 0.2, 10 } }) {
        Value init = { { "width", size[0] }, { "height", size[1] } };
        gc->callWithProperties(&init, "init");
        EXPECT_EQ(gc->image(), nullptr) << size.dump();
        EXPECT_EQ(gc->size().width, 0);
        draw(*gc, R"([["fillStyle",[1,2,3]],["beginPath"],["rect",0,0,5,5],["fill"]])");
    }
    EXPECT_EQ(gc->propertiesStack().peek()->fillStyle, platform::Color::fromRGBA(1 / 255.0f, 2 / 255.0f, 3 / 255.0f));
}

TEST_P(GCTest, TextLinesSitOnTheirBaselines)
{
    auto gc = makeGC({ { "width", 200 }, { "height", 120 }, { "font", Value::parse(R"([["DejaVu Sans"],20,false,false])") } });
    draw(*gc, R"([["fillText","H\nH\nH",false,true,false,10,100]])");
    auto font = FontHelper::getFont({ "DejaVu Sans" }, 20, false, false);
    ASSERT_EQ(font.familyName(), "DejaVu Sans");
    double lineHeight = font.ascent() + font.descent() + font.leading();
    double scale = GetParam();
    auto image = gc->image();
    int stem = -1;
    for (int x = int(10 * scale); x < int(30 * scale) && stem < 0; ++x)
        if (image->pixelAt(x, int(95 * scale)).alpha > 200)
            stem = x;
    ASSERT_GE(stem, 0);
    for (int line = 0; line < 3; ++line) {
        double baseline = (100 - (2 - line) * lineHeight) * scale;
        EXPECT_GT(image->pixelAt(stem, int(std::floor(baseline)) - 2).alpha, 200) << line;
        EXPECT_EQ(image->pixelAt(stem, int(std::ceil(baseline)) + 1).alpha, 0) << line;
    }

    auto pictureFor = [&](const char* align) {
        auto text = makeGC({ { "width", 120 }, { "height", 40 } });
        draw(*text, (std::string(R"([["textAlign",")") + align + R"("],["fillText","A&b\tc",true,false,false,60,30]])").c_str());
        return text->image();
    };
    auto same = [](const std::shared_ptr<platform::Image>& a, const std::shared_ptr<platform::Image>& b) {
        for (int y = 0; y < a->pixelHeight(); ++y)
            for (int x = 0; x < a->pixelWidth(); ++x)
                if (!(a->pixelAt(x, y) == b->pixelAt(x, y)))
                    return false;
        return true;
    };
    EXPECT_TRUE(same(pictureFor("right"), pictureFor("end")));
    EXPECT_TRUE(same(pictureFor("left"), pictureFor("start")));
    EXPECT_TRUE(same(pictureFor("left"), pictureFor("sideways")));
    EXPECT_FALSE(same(pictureFor("left"), pictureFor("right")));
    EXPECT_EQ(pictureFor("left")->pixelAt(int(59 * scale), int(25 * scale)).alpha, 0) << "start text begins at x";
}

TEST_P(GCTest, ImagesStandUprightAndCutOutsStretch)
{
    platform::BitmapContext picture(20, 20);
    picture.context().setFillColor(platform::Color::fromRGBA(1, 0, 0));
    picture.context().fillRect({ 0, 0, 20, 10 });
    picture.context().setFillColor(platform::Color::fromRGBA(0, 0, 1));
    picture.context().fillRect({ 0, 10, 20, 10 });
    auto name = "gc-test-" + std::to_string(::getpid()) + ".png";
    ASSERT_TRUE(picture.image()->writePNG((session->folder / name).string()));

    auto gc = makeGC();
    draw(*gc, (R"([["drawImage",")" + name + R"(",10,10],["drawImage",")" + name
        + R"(",0,9.5,20,1,50,50,40,40],["drawImage","missing.png",60,0]])").c_str());
    EXPECT_EQ(at(*gc, 10.5, 10.5), kRed);
    EXPECT_EQ(at(*gc, 11, 29.5), kBlue);
    EXPECT_EQ(at(*gc, 30.5, 20), kClear);
    // Rows 9 and 10 of the picture, rounded outward, fill the 40-point square half and half.
    EXPECT_EQ(at(*gc, 70, 55), kRed);
    EXPECT_EQ(at(*gc, 70, 85), kBlue);
    EXPECT_EQ(session->picturesRead, 2) << "each picture is read and decoded once per list";
    draw(*gc, (R"([["drawImage",")" + name + R"(",10,10],["drawImage",")" + name + R"(",10,10]])").c_str());
    EXPECT_EQ(session->picturesRead, 3);
    std::filesystem::remove(session->folder / name);
    keepPicture(*gc, "images");
}

TEST_P(GCTest, AFailingOperationEndsTheListAndKeepsWhatWasDrawn)
{
    auto gc = makeGC();
    auto fails = [&](const char* operations) {
        try {
            draw(*gc, operations);
        } catch (const RemoteException& exception) {
            return exception.isIncorrectParameter();
        }
        return false;
    };
    EXPECT_TRUE(fails(R"([["beginPath"],["rect",0,0,10,10],["fill"],["lineTo",5],["rect",20,0,10,10],["fill"]])"));
    EXPECT_TRUE(fails(R"([["drawImage","x.png",1,2,3,4,5,6,7],["rect",20,0,10,10],["fill"]])"));
    EXPECT_TRUE(fails(R"([["arc",50,50,1e39,0,1,false]])"));
    EXPECT_TRUE(fails(R"([["createLinearGradient",0,0,1,0],["addColorStop",1,[0,0,0]]])"));
    EXPECT_TRUE(fails(R"([["addColorStop",0,[0,0]]])"));
    EXPECT_TRUE(fails(R"([["moveTo","1",2]])"));
    EXPECT_TRUE(fails(R"([[5]])"));
    EXPECT_TRUE(fails(R"([["font",[["DejaVu Sans"],12]]])"));
    EXPECT_FALSE(fails(R"([[],["noSuchOperation",1],["BEGINPATH"],["fillStyle",[0,0,0]],["beginPath"],["lineTo",30,0],["lineTo",40,0],["lineTo",40,10],["fill"],
        ["moveTo",true,false]])"));
    EXPECT_EQ(at(*gc, 5, 5).alpha, 255);
    EXPECT_EQ(at(*gc, 25, 8).alpha, 0) << "operations after the failure did not run";
    EXPECT_GT(at(*gc, 38, 2).alpha, 200);
    EXPECT_EQ(at(*gc, 20, 3).alpha, 0) << "a lineTo without a current point starts the subpath there";
    keepPicture(*gc, "failures");
    EXPECT_TRUE(fails(R"([["scale",1e6,1e6],["arc",0,0,100,0,1,false]])"));
}

TEST_P(GCTest, GradientsHoldABoundedNumberOfStopsAndNumbersStayWithinSinglePrecision)
{
    auto gc = makeGC();
    auto refusal = [&](const std::string& operations) -> std::string {
        try {
            draw(*gc, operations.c_str());
        } catch (const RemoteException& exception) {
            return exception.isIncorrectParameter() ? exception.reason() : "";
        }
        return "";
    };
    // Stops inserted at the front move every later one: the count is capped, so that a long
    // list costs no more than a bounded amount per stop.
    std::string stops = R"([["createLinearGradient",0,0,1,0])";
    for (std::size_t i = 0; i < GCLinearGradient::kMaximumStopCount; ++i)
        stops += R"(,["addColorStop",0,[0,0,255]])";
    EXPECT_EQ(refusal(stops + "]"), "");
    EXPECT_EQ(refusal(R"([["addColorStop",0,[255,0,0]],["fillStyle","g"],["rect",0,0,10,10],["fill"]])"),
        "GC operation addColorStop argument 1 has no room: the gradient holds as many stops as it can");
    EXPECT_EQ(refusal(R"([["fillStyle","g"],["beginPath"],["rect",0,0,10,10],["fill"]])"), "");
    EXPECT_EQ(at(*gc, 5, 5), kBlue) << "the full gradient still paints";

    // Numbers beyond single precision are refused (or make no bitmap), not converted.
    EXPECT_EQ(refusal(R"([["lineWidth",1e300]])"), "GC operation lineWidth argument 1 is not a finite number");
    EXPECT_EQ(refusal(R"([["font",[["DejaVu Sans"],-1e39,false,false]]])"), "GC operation font argument 1 has no font size");
    Value init = { { "width", 1e300 }, { "height", 10 } };
    gc->callWithProperties(&init, "init");
    EXPECT_EQ(gc->image(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Scales, GCTest, ::testing::Values(1.0, 2.0));

// Pictures from a loopback server, with the process clock in the test's hands.
class GCNetworkPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::MainLoop::main().resetForTesting();
        platform::Clock::install(clock);
        platform::Screen::main().setScale(1);
    }
    void TearDown() override
    {
        gc.reset();
        session.reset();
        server.stop();
        platform::MainLoop::main().resetForTesting();
        platform::Clock::install(nullptr);
        platform::Screen::main().resetForTesting();
    }

    void draw(const char* operations)
    {
        Value properties = { { "operations", Value::parse(operations) } };
        gc->callWithProperties(&properties, "draw");
    }
    Pixel at(int x, int y) { return gc->image()->pixelAt(x, y); }
    std::size_t requestsFor(const std::string& path) const
    {
        std::size_t count = 0;
        for (const auto& request : server.requests())
            count += request.path == path;
        return count;
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    testing::TestHttpServer server;
    std::shared_ptr<DrawingSession> session = std::make_shared<DrawingSession>();
    std::shared_ptr<GC> gc;
};

TEST_F(GCNetworkPictureTest, PicturesAreFetchedAheadOnceAndThoseNotInByTheDeadlineAreDrawnAsMissing)
{
    platform::BitmapContext red(4, 4);
    red.context().setFillColor(platform::Color::fromRGBA(1, 0, 0));
    red.context().fillRect({ 0, 0, 4, 4 });
    auto png = red.image()->pngData();
    server.route("/red.png", testing::TestResponse().withHeader("Content-Type", "application/octet-stream")
                                 .withBody(std::string(png.begin(), png.end())));
    auto never = std::make_shared<testing::TestGate>();
    server.handle("/silent.png", [never](const testing::RecordedRequest&, testing::ResponseWriter& writer) { writer.waitFor(*never); });
    auto trickleEnded = std::make_shared<std::atomic<bool>>(false);
    server.handle("/trickle.png", [trickleEnded](const testing::RecordedRequest&, testing::ResponseWriter& writer) {
        writer.writeHead(200, { { "Content-Type", "image/png" }, { "Transfer-Encoding", "chunked" } });
        while (writer.writeChunk("x"))
            writer.delay(std::chrono::milliseconds(20));
        *trickleEnded = true;
    });
    server.start();
    session->http = MorvixHTTPClient::create(server.url("/app/"), {});
    gc = std::static_pointer_cast<GC>(GC::create("g", nullptr, session));
    Value init = { { "width", 100 }, { "height", 60 } };
    gc->callWithProperties(&init, "init");
    auto arrived = [](const std::string& url) {
        return ImageViewMorvix::sharedImageCache()->cachedImageForRequest(platform::URLRequest(platform::Url::parse(url))) != nullptr;
    };

    // The list waits for its pictures, with the main thread free: the draw returns at once.
    draw(R"([["drawImage","/red.png",0,0],["drawImage","/silent.png",10,0],["drawImage","/trickle.png",20,0],
        ["drawImage","/red.png",30,0],["fillStyle",[0,0,255]],["rect",50,0,10,10],["fill"],["lineTo",5]])");
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return arrived(server.url("/red.png")); }, std::chrono::seconds(10)));
    EXPECT_EQ(at(55, 5), kClear) << "the list still waits for its other pictures";
    platform::MainLoop::main().advanceBy(MorvixHTTPClient::kPictureDeadline - std::chrono::milliseconds(1));
    EXPECT_EQ(at(55, 5), kClear);
    platform::MainLoop::main().advanceBy(std::chrono::milliseconds(1));
    EXPECT_EQ(at(1, 1), kRed);
    EXPECT_EQ(at(31, 1), kRed);
    EXPECT_EQ(at(11, 1), kClear);
    EXPECT_EQ(at(21, 1), kClear);
    EXPECT_EQ(at(55, 5), kBlue);
    EXPECT_EQ(requestsFor("/red.png"), 1u) << "one fetch for both operations";
    ASSERT_FALSE(session->logged.empty());
    EXPECT_EQ(session->logged.back(), "catching 'Incorrect Parameter' reason 'GC operation lineTo argument 2 is missing'");
    EXPECT_TRUE(platform::MainLoop::main().runUntil([&] { return trickleEnded->load(); }, std::chrono::seconds(10)))
        << "the late fetch was given up";

    // An "init" runs the list that waits first; a picture at hand is drawn without waiting.
    draw(R"([["drawImage","/silent.png",0,0]])");
    gc->callWithProperties(&init, "init");
    draw(R"([["drawImage","/red.png",0,40]])");
    EXPECT_EQ(at(1, 41), kRed);
    EXPECT_EQ(requestsFor("/red.png"), 1u);
}

} // namespace
} // namespace morvix

namespace morvix {
namespace {

// Pictures held for a list count in the session's bitmap pixels, beside the contexts' bitmaps,
// and go back when the list has run.
TEST_F(GCNetworkPictureTest, HeldPicturesCountInTheSessionsBitmapPixels)
{
    platform::BitmapContext red(4, 4);
    red.context().setFillColor(platform::Color::fromRGBA(1, 0, 0));
    red.context().fillRect({ 0, 0, 4, 4 });
    auto png = red.image()->pngData();
    for (const char* path : { "/held-a.png", "/held-b.png" })
        server.route(path, testing::TestResponse().withHeader("Content-Type", "image/png").withBody(std::string(png.begin(), png.end())));
    server.start();
    session->http = MorvixHTTPClient::create(server.url("/app/"), {});
    gc = std::static_pointer_cast<GC>(GC::create("g", nullptr, session));
    Value init = { { "width", 100 }, { "height", 60 } };
    gc->callWithProperties(&init, "init");
    auto& budget = *session->sessionBudget();
    using Resource = platform::SessionBudget::Resource;
    ASSERT_EQ(budget.inUse(Resource::BitmapPixels), 6000u);
    auto shows = [&](int x, int y, Pixel pixel) {
        return platform::MainLoop::main().runUntil([&] { return at(x, y) == pixel; }, std::chrono::seconds(10));
    };

    // One pixel short: the picture is drawn as missing, with a warning.
    budget.setLimit(Resource::BitmapPixels, 6000 + 15);
    draw(R"([["drawImage","/held-a.png",0,0],["fillStyle",[0,0,255]],["rect",50,0,10,10],["fill"]])");
    ASSERT_TRUE(shows(55, 5, kBlue));
    EXPECT_EQ(at(1, 1), kClear);
    EXPECT_EQ(budget.inUse(Resource::BitmapPixels), 6000u);
    ASSERT_FALSE(session->logged.empty());
    EXPECT_NE(session->logged.back().find("past 6015 pixels"), std::string::npos) << session->logged.back();

    // With room for it, it is drawn, and its pixels go back afterwards.
    budget.setLimit(Resource::BitmapPixels, 6000 + 16);
    draw(R"([["drawImage","/held-b.png",0,0]])");
    ASSERT_TRUE(shows(1, 1, kRed));
    EXPECT_EQ(budget.inUse(Resource::BitmapPixels), 6000u);
}

} // namespace
} // namespace morvix
