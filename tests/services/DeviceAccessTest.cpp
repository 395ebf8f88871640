// The peer's native-access objects in a real session against a scripted server on loopback, on
// the headless device with a manual clock, the device's stand-ins answered by the test:
// positions, pictures, other applications and x-callback answers, each checked in the POSTs.

#include "services/AppLauncher.h"
#include "services/Base64.h"
#include "services/Camera.h"
#include "services/Geolocation.h"
#include "services/XCallback.h"

#include "core/base/LogEntry.h"
#include "core/base/OSUtil.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "library/RemoteTypes.h"
#include "platform/device/DeviceLocation.h"
#include "platform/device/Geocoder.h"
#include "platform/device/MapItem.h"
#include "platform/device/PhotoAlbum.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/support/LoopbackSessionFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <mutex>

namespace morvix {
namespace {

using platform::Value;

// 2025-01-15 12:00 UTC: winter time in Zurich.
constexpr long kStart = 1736942400;

std::string python(const std::string& program)
{
    std::string text;
    FILE* pipe = ::popen(("python3 -c '" + program + "'").c_str(), "r");
    char buffer[256];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
        text.append(buffer, read);
    ::pclose(pipe);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// Where pictures for a person go: $MORVIX_RENDER_DIR, else a folder in the test's temporary one.
std::filesystem::path lookDirectory()
{
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    return directory;
}

class DeviceAccessTest : public testing::LoopbackSessionFixture {
protected:
    DeviceAccessTest()
        : LoopbackSessionFixture(Options().withScreen({ 320, 568 }, 1).withFlushOnSettle())
    {
    }
    void SetUp() override
    {
        LoopbackSessionFixture::SetUp();
        platform::DeviceLocation::resetForTesting();
        platform::ImagePickerController::resetAvailabilityForTesting();
        auto device = platform::DeviceInfo::current();
        device.setIdiom(platform::DeviceIdiom::Phone);
        device.timeZone = "Europe/Zurich";
        device.localeIdentifier = "ar_EG"; // a locale with digits of its own
        platform::DeviceInfo::setCurrent(device);
        harness.clock().setDate(platform::WallTime(std::chrono::seconds(kStart)));
        auto bundle = platform::BundleInfo::defaults();
        bundle.info["CFBundleIdentifier"] = "com.example.access";
        bundle.info["CFBundleDisplayName"] = "Access";
        platform::BundleInfo::setMain(bundle);
        OSUtil::resetForTesting();
        ASSERT_NO_FATAL_FAILURE(createClient());
        client->setLogObserver([this](const LogEntry& entry) {
            std::lock_guard lock(m_mutex);
            m_log.push_back(entry.message());
        }, MorvixClient::LogDelivery::AnyThread);
        loadSession();
    }
    void TearDown() override
    {
        LoopbackSessionFixture::TearDown();
        platform::DeviceInfo::resetForTesting();
        platform::DeviceLocation::resetForTesting();
        platform::ImagePickerController::resetAvailabilityForTesting();
        platform::MailComposer::setCanSendMail(false);
        platform::Geocoder::resetForTesting();
        platform::MapItem::resetForTesting();
        platform::PhotoAlbum::resetForTesting();
        platform::BundleInfo::resetForTesting();
        OSUtil::resetForTesting();
    }

    // Sends `operations` to the session as the answer to a POST it is made to send.
    void peer(const std::string& operations)
    {
        answerNextPost(operations, [] { Notifications::forType("morvix.App")->call("ping"); });
    }
    std::vector<std::string> log() const
    {
        std::lock_guard lock(m_mutex);
        return m_log;
    }

private:
    mutable std::mutex m_mutex; // guards m_log
    std::vector<std::string> m_log;
};

platform::Location locationAt(platform::Date date)
{
    platform::Location location;
    location.coordinate = { 47.3769, 8.5417 };
    location.altitude = 408;
    location.horizontalAccuracy = 5;
    location.verticalAccuracy = 3;
    location.speed = 1.5;
    location.timestamp = date;
    return location;
}

TEST_F(DeviceAccessTest, GeolocationFiltersPositionsByModeAgeAndFrequency)
{
    peer(R"([["create","once","morvix.Geolocation",{"needsPosition":"ONCE"}],["create","track","morvix.Geolocation",{"needsPosition":"CONTINUOUS"}]])");
    auto created = platform::Date::now();
    auto track = object<Geolocation>("track");
    ASSERT_NE(track, nullptr);
    ASSERT_EQ(platform::DeviceLocation::updatingManagers().size(), 2u);
    platform::DeviceLocation::setHeading(271.5);

    // An hour-old position: "ONCE" takes it whatever its age and stops; "CONTINUOUS" waits for a
    // position 10 s after its construction.
    std::size_t mark = posts().size();
    platform::DeviceLocation::deliver(locationAt(created.addingSeconds(-3600)));
    ASSERT_TRUE(settle(mark + 1));
    Value update = operationsFor("once", mark);
    ASSERT_EQ(update.size(), 1u) << update.dump();
    EXPECT_EQ(update[0].dump(), R"(["notify","once","LocationUpdate",{"latitude":47.3769,"longitude":8.5417,"altitude":408,"speed":1.5,)"
                                R"("accuracy":5,"altitudeAccuracy":3,"heading":271.5,"timestamp":"2025-01-15T12:00:00+0100"}])");
    EXPECT_EQ(object<Geolocation>("once")->needsPosition(), "NEVER");
    EXPECT_EQ(platform::DeviceLocation::updatingManagers().size(), 1u);
    EXPECT_TRUE(operationsFor("track", mark).empty());

    mark = posts().size();
    platform::DeviceLocation::deliver(locationAt(created.addingSeconds(9.999)));
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), mark) << "9.999 s after construction is too early";
    platform::DeviceLocation::setHeading(std::nullopt);
    platform::DeviceLocation::deliver(locationAt(created.addingSeconds(10)));
    ASSERT_TRUE(settle(mark + 1));
    EXPECT_EQ(operationsFor("track", mark)[0][3]["heading"], 0.0) << "no heading gives 0";

    // maximumAge 0 drops a position from a millisecond ago, even when the frequency allows it.
    harness.advance(60);
    track->setMaximumAge(Value(0));
    mark = posts().size();
    platform::DeviceLocation::deliver(locationAt(platform::Date::now().addingSeconds(-0.001)));
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), mark);
    platform::DeviceLocation::deliver(locationAt(platform::Date::now()));
    ASSERT_TRUE(settle(mark + 1));

    // Errors are mapped and tracking goes on.
    mark = posts().size();
    platform::DeviceLocation::fail(1, "User denied");
    platform::DeviceLocation::fail(0, "No fix");
    platform::DeviceLocation::fail(2, "Network");
    ASSERT_TRUE(settle(mark + 1));
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return operationsFor("track", mark).size() == 3; }, std::chrono::seconds(10)));
    EXPECT_EQ(operationsFor("track", mark).dump(), R"([["notify","track","LocationUpdateError",{"errorCode":"PERMISSION_DENIED","errorMessage":"User denied"}],)"
                                                   R"(["notify","track","LocationUpdateError",{"errorCode":"POSITION_UNAVAILABLE","errorMessage":"No fix"}],)"
                                                   R"(["notify","track","LocationUpdateError",{"errorCode":"UNKNOWN","errorMessage":"Network"}]])");
    EXPECT_TRUE(track->locationManager()->isUpdatingLocation());

    // A high-accuracy change restarts tracking with the navigation accuracy; destroy stops it.
    track->setHighAccuracy(true);
    EXPECT_EQ(track->locationManager()->desiredAccuracy(), platform::LocationAccuracy::BestForNavigation);
    EXPECT_TRUE(track->locationManager()->isUpdatingLocation());
    track->destroy();
    EXPECT_TRUE(platform::DeviceLocation::updatingManagers().empty());

    // The timestamp in the device's zone, whatever its locale, as Python's zone data has it.
    for (long seconds : { 1709294709L, 1719835200L }) {
        std::string expected = python("import datetime,zoneinfo; print(datetime.datetime.fromtimestamp(" + std::to_string(seconds)
            + ", zoneinfo.ZoneInfo(\"Europe/Zurich\")).strftime(\"%Y-%m-%dT%H:%M:%S%z\"))");
        EXPECT_EQ(Geolocation::timestampText(platform::Date::fromSeconds(double(seconds))), expected);
    }
}

// A JPEG of `width` x `height` pixels: red top-left quarter, blue top-right, green bottom half,
// with an EXIF block recording `orientation`.
std::vector<std::uint8_t> taggedJPEG(int width, int height, std::uint8_t orientation)
{
    platform::BitmapContext bitmap(width, height);
    auto& context = bitmap.context();
    context.setFillColor(platform::Color::fromRGBA(0, 0.8f, 0));
    context.fillRect({ 0, 0, double(width), double(height) });
    context.setFillColor(platform::Color::fromRGBA(1, 0, 0));
    context.fillRect({ 0, 0, width / 2.0, height / 2.0 });
    context.setFillColor(platform::Color::fromRGBA(0, 0, 1));
    context.fillRect({ width / 2.0, 0, width / 2.0, height / 2.0 });
    auto jpeg = bitmap.image()->encodeJPEG(0.95);
    // APP1 "Exif": a little-endian TIFF header and one IFD entry, Orientation (0x0112), SHORT.
    std::vector<std::uint8_t> exif { 0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 0x2A, 0, 8, 0, 0, 0, 1, 0,
        0x12, 0x01, 3, 0, 1, 0, 0, 0, orientation, 0, 0, 0, 0, 0, 0, 0 };
    jpeg.insert(jpeg.begin() + 2, exif.begin(), exif.end());
    return jpeg;
}

std::vector<std::uint8_t> fromBase64(const std::string& text)
{
    std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<std::uint8_t> bytes;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        auto index = alphabet.find(c);
        if (index == std::string::npos)
            continue;
        bits = (bits << 6) | unsigned(index);
        if ((count += 6) >= 8)
            bytes.push_back(std::uint8_t((bits >> (count -= 8)) & 0xFF));
    }
    return bytes;
}

TEST_F(DeviceAccessTest, CameraSendsTheChosenPictureUprightScaledAndEncoded)
{
    // Base64 as RFC 4648 and Python have it.
    auto base64 = [](std::string_view text) { return Base64::base64forData({ reinterpret_cast<const std::uint8_t*>(text.data()), text.size() }); };
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foobar"), "Zm9vYmFy");
    std::vector<std::uint8_t> all(300);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = std::uint8_t(i * 7);
    EXPECT_EQ(Base64::base64forData(all), python("import base64; print(base64.b64encode(bytes((i * 7) % 256 for i in range(300))).decode())"));

    // A 400 x 300 picture taken turned right, fitted into 100 x 100: upright at 75 x 100, the
    // stored top-left (red) at the top right. The album gets the picture.
    peer(R"([["create","cam","morvix.Camera",{}],["call","cam","open",{"sourceType":"photo_library","resolution":[100,100],"saveToAlbum":true}]])");
    auto camera = object<Camera>("cam");
    ASSERT_NE(camera, nullptr);
    ASSERT_NE(camera->picker(), nullptr);
    EXPECT_EQ(camera->popover(), nullptr) << "a phone shows the picker full screen";
    EXPECT_EQ(camera->picker()->sourceType(), platform::ImagePickerSourceType::PhotoLibrary);
    EXPECT_FALSE(camera->picker()->allowsEditing());
    std::size_t mark = posts().size();
    camera->picker()->pick(platform::Image::decode(taggedJPEG(400, 300, 6)));
    ASSERT_TRUE(settle(mark + 1));
    Value selection = operationsFor("cam", mark);
    ASSERT_EQ(selection.size(), 1u);
    EXPECT_EQ(selection[0][2], "ImageSelection");
    auto picture = platform::Image::decode(fromBase64(selection[0][3]["image"].get<std::string>()));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixelWidth(), 75);
    EXPECT_EQ(picture->pixelHeight(), 100);
    EXPECT_GT(picture->pixelAt(70, 5).red, 200) << "red at the top right";
    EXPECT_GT(picture->pixelAt(70, 95).blue, 200) << "blue at the bottom right";
    EXPECT_GT(picture->pixelAt(5, 50).green, 150) << "green on the left";
    EXPECT_EQ(platform::PhotoAlbum::savedImages().size(), 1u);
    EXPECT_EQ(camera->picker(), nullptr);

    // A small picture keeps its size; a bad resolution and a missing quality are harmless; the
    // album is left alone without "saveToAlbum".
    camera->open(nullptr);
    camera->setResolution(Value::parse("[0, 100]"));
    mark = posts().size();
    camera->picker()->pick(platform::Image::decode(taggedJPEG(50, 40, 1)));
    ASSERT_TRUE(settle(mark + 1));
    picture = platform::Image::decode(fromBase64(operationsFor("cam", mark)[0][3]["image"].get<std::string>()));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixelWidth(), 50);
    EXPECT_EQ(picture->pixelHeight(), 40);
    EXPECT_EQ(camera->compressionQuality(), Value(1.0));
    EXPECT_EQ(platform::PhotoAlbum::savedImages().size(), 1u);

    // On a pad the albums show in a popover under the middle of the top edge, the camera
    // (when the device has one) full screen; a missing camera falls back to the library.
    auto device = platform::DeviceInfo::current();
    device.setIdiom(platform::DeviceIdiom::Pad);
    platform::DeviceInfo::setCurrent(device);
    Value options = Value::parse(R"({"sourceType":"saved_photo_album"})");
    camera->open(&options);
    ASSERT_NE(camera->popover(), nullptr);
    EXPECT_TRUE(camera->popover()->isPopoverVisible());
    EXPECT_EQ(camera->popover()->anchorRect(), platform::Rect(160, 0, 1, 1));
    EXPECT_EQ(camera->picker()->sourceType(), platform::ImagePickerSourceType::SavedPhotosAlbum);
    platform::Application::shared().setKeyWindow(harness.window());
    EXPECT_TRUE(platform::Renderer::renderKeyWindowPNG((lookDirectory() / "camera-popover-pad.png").string()));
    mark = posts().size();
    camera->popover()->tapOutside();
    ASSERT_TRUE(settle(mark + 1));
    EXPECT_EQ(operationsFor("cam", mark).dump(), R"([["notify","cam","ImageSelectionCancel",{}]])");
    EXPECT_TRUE(platform::Application::shared().popovers().empty());

    options = Value::parse(R"({"sourceType":"camera"})");
    camera->open(&options);
    EXPECT_NE(camera->popover(), nullptr) << "no camera on this device: the library, in a popover";
    EXPECT_EQ(camera->picker()->sourceType(), platform::ImagePickerSourceType::PhotoLibrary);
    platform::ImagePickerController::setSourceTypeAvailable(platform::ImagePickerSourceType::Camera, true);
    options = Value::parse(R"({"sourceType":"anything"})");
    camera->open(&options);
    EXPECT_EQ(camera->popover(), nullptr);
    EXPECT_EQ(camera->picker()->sourceType(), platform::ImagePickerSourceType::Camera);
    mark = posts().size();
    camera->picker()->cancel();
    ASSERT_TRUE(settle(mark + 1));
    EXPECT_EQ(operationsFor("cam", mark).dump(), R"([["notify","cam","ImageSelectionCancel",{}]])");
}

TEST_F(DeviceAccessTest, LauncherHandsWorkToOtherApplications)
{
    auto& application = platform::Application::shared();
    application.resetForTesting();
    application.setOpenableSchemes({ "telprompt", "tel", "https" });
    peer(R"([["create","go","morvix.AppLauncher",{}],["call","go","open",{"app":"PHONE","number":"+41 44 123 45 67"}],)"
         R"(["call","go","openUrl",{"url":"https://example.com/a?b=1"}],["call","go","open",{"app":"BROWSER","url":"ftp://x"}],)"
         R"(["call","go","open",{"app":"TELEX","number":"1"}],["call","go","open",{"app":"PHONE"}]])");
    std::string quoted = python("import urllib.parse; print(urllib.parse.quote(\"+41 44 123 45 67\", safe=\"\"))");
    EXPECT_EQ(application.openedURLs(), (std::vector<std::string> { "telprompt://" + quoted, "https://example.com/a?b=1" }));
    application.setOpenableSchemes({ "tel" });
    auto launcher = object<AppLauncher>("go");
    ASSERT_NE(launcher, nullptr);
    Value phone = Value::parse(R"({"app":"PHONE","number":"0800~1"})");
    launcher->open(&phone);
    EXPECT_EQ(application.openedURLs().back(), "tel://0800~1");

    // Mail: nothing without an account; with one, a plain empty body unless told otherwise.
    Value mail = Value::parse(R"({"app":"MAIL","to":"a@example.com","subject":"Hi"})");
    launcher->open(&mail);
    EXPECT_EQ(launcher->composer(), nullptr);
    platform::MailComposer::setCanSendMail(true);
    launcher->open(&mail);
    auto composer = std::dynamic_pointer_cast<platform::MailComposer>(launcher->composer());
    ASSERT_NE(composer, nullptr);
    EXPECT_EQ(composer->toRecipients(), (std::vector<std::string> { "a@example.com" }));
    EXPECT_TRUE(composer->ccRecipients().empty());
    EXPECT_EQ(composer->subject(), "Hi");
    EXPECT_EQ(composer->messageBody(), "");
    EXPECT_FALSE(composer->isBodyHTML());
    composer->finish(platform::MailComposeResult::Sent);
    EXPECT_EQ(launcher->composer(), nullptr);

    // Maps: a query wins over coordinates and opens the first place found with its address; no
    // place only logs; coordinates alone open a place without address.
    Value maps = Value::parse(R"({"app":"MAPS","query":"Bahnhofplatz, Zürich","latitude":1,"longitude":2})");
    launcher->open(&maps);
    ASSERT_EQ(platform::Geocoder::pendingGeocoders().size(), 1u);
    EXPECT_EQ(platform::Geocoder::pendingGeocoders()[0]->address(), "Bahnhofplatz, Zürich");
    Value address = Value::parse(R"({"Street":"Bahnhofplatz","City":"Zürich"})");
    platform::Geocoder::pendingGeocoders()[0]->answer({ { "Zürich HB", { 47.378, 8.54 }, address }, { "Other", { 0, 0 } } });
    launcher->open(&maps);
    platform::Geocoder::pendingGeocoders()[0]->answer({});
    Value coordinates = Value::parse(R"({"app":"MAPS","latitude":46.5,"longitude":6.6})");
    launcher->open(&coordinates);
    auto items = platform::MapItem::openedItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].name, "Zürich HB");
    EXPECT_EQ(items[0].addressDictionary, address);
    EXPECT_EQ(items[1].coordinate, (platform::Coordinate { 46.5, 6.6 }));
    EXPECT_EQ(items[1].addressDictionary, std::nullopt);
    harness.runUntilIdle();
    auto lines = log();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "maps: no place found for \"Bahnhofplatz, Zürich\""), lines.end());
    EXPECT_TRUE(operationsFor("go", 0).empty()) << "the launcher reports nothing";
}

TEST_F(DeviceAccessTest, XCallbackRequestsAndAnswersFindTheirObject)
{
    auto& application = platform::Application::shared();
    application.resetForTesting();
    application.setOpenableSchemes({ "other" });
    peer(R"([["create","x 1","morvix.XCallback",{"targetScheme":"other"}],)"
         R"(["call","x 1","call",{"targetAction":"do it","actionParameters":{"q":"ä b+c","n":3,"ok":true,"skip":{"a":1}}}]])");
    ASSERT_EQ(application.openedURLs().size(), 1u);
    std::string url = application.openedURLs()[0];
    EXPECT_EQ(url.substr(0, url.find('?')), "other://x-callback-url/do%20it");
    std::string readBack = python("import urllib.parse,json; u=urllib.parse.urlsplit(\"" + url
        + "\"); print(json.dumps([u.scheme, u.netloc, urllib.parse.unquote(u.path), urllib.parse.parse_qsl(u.query)], ensure_ascii=False))");
    EXPECT_EQ(readBack, R"(["other", "x-callback-url", "/do it", [["x-source", "Access"], )"
                        R"(["x-success", "com.example.access://x-callback-url/x%201/x-success"], )"
                        R"(["x-error", "com.example.access://x-callback-url/x%201/x-error"], )"
                        R"(["x-cancel", "com.example.access://x-callback-url/x%201/x-cancel"], )"
                        R"(["q", "ä b+c"], ["n", "3"], ["ok", "true"]]])");

    // The other application answers through the session; the id is decoded, a bare name gets "",
    // "+" stays, a later repeat wins, a malformed escape keeps its text.
    std::size_t mark = posts().size();
    client->openURL("com.example.access://x-callback-url/x%201/x-success?a=1&b&c=1+2&a=%C3%A4&d=%zz", "", nullptr);
    ASSERT_TRUE(settle(mark + 1));
    EXPECT_EQ(operationsFor("x 1", mark).dump(), R"([["notify","x 1","Success",{"a":"ä","b":"","c":"1+2","d":"%zz"}]])");
    mark = posts().size();
    client->openURL("com.example.access://x-callback-url/x%201/x-cancel", "", nullptr);
    client->openURL("com.example.access://x-callback-url/x%201/x-whatever?a=1", "", nullptr);
    client->openURL("com.example.access://x-callback-url/x%201", "", nullptr);
    ASSERT_TRUE(settle(mark + 1));
    harness.runUntilIdle();
    EXPECT_EQ(operationsFor("x 1", mark).dump(), R"([["notify","x 1","Cancel",{}]])");
    // Hosts are case-insensitive.
    mark = posts().size();
    client->openURL("com.example.access://X-Callback-URL/x%201/x-error?code=2", "", nullptr);
    ASSERT_TRUE(settle(mark + 1));
    EXPECT_EQ(operationsFor("x 1", mark).dump(), R"([["notify","x 1","Error",{"code":"2"}]])");

    // An id that names no x-callback object is an ordinary opened URL for the application service.
    mark = posts().size();
    client->openURL("com.example.access://x-callback-url/morvix.Device/x-success", "", nullptr);
    ASSERT_TRUE(settle(mark + 1));
    EXPECT_NE(operationsFor("morvix.App", mark).dump().find("x-callback-url/morvix.Device/x-success"), std::string::npos);
    EXPECT_TRUE(operationsFor("morvix.Device", mark).empty());

    // A target no application opens only logs.
    auto callback = object<XCallback>("x 1");
    Value other = Value::parse(R"({"targetScheme":"missing","actionParameters":{}})");
    callback->call(&other);
    EXPECT_EQ(application.openedURLs().size(), 1u);
    harness.runUntilIdle();
    auto lines = log();
    std::string expected = "Unable to open " + callback->requestURL() + " for XCallback";
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    EXPECT_EQ(callback->getWithMethod("xSource"), Value("Access"));

    // Without a bundle identifier the answers would have no scheme: said in the log.
    auto bundle = platform::BundleInfo::main();
    bundle.info.erase("CFBundleIdentifier");
    platform::BundleInfo::setMain(bundle);
    OSUtil::resetForTesting();
    callback->call(&other);
    harness.runUntilIdle();
    lines = log();
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                  [](const std::string& line) { return line.starts_with("XCallback: the application has no bundle identifier"); }),
        lines.end());
    bundle.info["CFBundleIdentifier"] = "com.example.access";
    platform::BundleInfo::setMain(bundle);
    OSUtil::resetForTesting();
    Value readOnly = Value::parse(R"({"xSuccessName":"y"})");
    EXPECT_ANY_THROW(callback->setWithProperties(&readOnly));
}

} // namespace
} // namespace morvix
