// The application and device services in a real session against a scripted server on
// loopback, on the headless device with a manual clock: what the first request tells the peer,
// opened URLs, inactivity, screen protection, patches, rotation, reachability and locale changes,
// and the time-zone offset against Python's zone data.

#include "services/ClientDialog.h"
#include "services/MorvixApp.h"
#include "services/MorvixDevice.h"
#include "services/PatchManager.h"
#include "services/Timer.h"

#include "core/base/OSUtil.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/session/MorvixHTTPClient.h"
#include "library/RemoteTypes.h"
#include "networking/NetHTTPRequestOperationManager.h"
#include "networking/NetNetworkReachabilityManager.h"
#include "platform/device/DeviceLocation.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Locale.h"
#include "platform/net/FakeReachabilitySource.h"
#include "platform/ui/Application.h"
#include "platform/ui/View.h"
#include "platform/ui/gestures/TouchDriver.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/screens/ImagePickerController.h"
#include "tests/support/LoopbackSessionFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/utsname.h>

namespace morvix {
namespace {

using platform::Value;
using testing::RecordedRequest;
using testing::ResponseWriter;

std::string python(const std::string& expression)
{
    std::string text;
    FILE* pipe = ::popen(("python3 -c \"" + expression + "\"").c_str(), "r");
    char buffer[256];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
        text.append(buffer, read);
    ::pclose(pipe);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

class ServiceSessionTest : public testing::LoopbackSessionFixture {
protected:
    ServiceSessionTest()
        : LoopbackSessionFixture(Options().withFlushOnSettle())
    {
    }
    void SetUp() override
    {
        LoopbackSessionFixture::SetUp();
        platform::DeviceLocation::resetForTesting();
        platform::ImagePickerController::resetAvailabilityForTesting();
        auto device = platform::DeviceInfo::current();
        device.setIdiom(platform::DeviceIdiom::Phone);
        device.localeIdentifier = "de_CH";
        device.timeZone = "Europe/Zurich";
        device.machine = "iPhone9,3";
        platform::DeviceInfo::setCurrent(device);
        // 2025-01-15 12:00 UTC: winter time in Zurich.
        harness.clock().setDate(platform::WallTime(std::chrono::seconds(1736942400)));
        auto bundle = platform::BundleInfo::defaults();
        bundle.info["CFBundleIdentifier"] = "com.example.services";
        bundle.info["CFBundleShortVersionString"] = "4.2";
        // The client store lives in a documents folder of the test's own, empty at start.
        m_documents = (std::filesystem::temp_directory_path() / "morvix-services-XXXXXX").string();
        ASSERT_NE(::mkdtemp(m_documents.data()), nullptr);
        bundle.documentsPath = m_documents;
        platform::BundleInfo::setMain(bundle);
        OSUtil::resetForTesting();
        MorvixApp::setOpenWithURL(std::nullopt);
    }
    void TearDown() override
    {
        LoopbackSessionFixture::TearDown();
        platform::DeviceInfo::resetForTesting();
        platform::DeviceLocation::resetForTesting();
        platform::ImagePickerController::resetAvailabilityForTesting();
        platform::BundleInfo::resetForTesting();
        OSUtil::resetForTesting();
        MorvixApp::setOpenWithURL(std::nullopt);
        std::error_code ignored;
        std::filesystem::remove_all(m_documents, ignored);
    }

    std::string operationsFor(const std::string& target, std::size_t index) const { return LoopbackSessionFixture::operationsFor(target, index).dump(); }
    std::string deviceOperations(std::size_t index) const { return operationsFor("morvix.Device", index); }
    std::string appOperations(std::size_t index) const { return operationsFor("morvix.App", index); }
    std::shared_ptr<MorvixApp> app() const { return object<MorvixApp>("morvix.App"); }
    void postReachability(long status)
    {
        Value info = Value::object();
        info[MorvixHTTPClient::kReachabilityDidChangeKey] = status;
        platform::NotificationCenter::defaultCenter()->post(MorvixHTTPClient::kReachabilityDidChangeNotification, nullptr, info);
    }

private:
    std::string m_documents;
};

TEST_F(ServiceSessionTest, TellsThePeerAboutTheDeviceAndKeepsItCurrent)
{
    platform::DeviceLocation::setLocationServicesEnabled(true);
    platform::DeviceLocation::setAuthorizationStatus(platform::LocationAuthorizationStatus::AuthorizedWhenInUse);
    start();
    // The Display's registration made the service and synchronised it: five scheduled messages
    // folded into one set, keys in their order.
    EXPECT_EQ(deviceOperations(0), R"([["set","morvix.Device",{"orientation":"PORTRAIT","capabilities":["MESSAGE","PHONE","MAPS"],)"
                                   R"("connectionType":"WIFI","timezoneOffset":-60.0,"vendor":"Apple","model":"iPhone","osVersion":"10.0","scaleFactor":2.0}]])");
    // On the wire the two floating-point facts keep their fraction; the screen's whole numbers
    // elsewhere do not.
    std::string wire;
    for (const auto& request : server.requests()) {
        if (request.method == "POST" && request.body.find("timezoneOffset") != std::string::npos)
            wire = request.body;
    }
    EXPECT_NE(wire.find(R"("timezoneOffset":-60.0,)"), std::string::npos) << wire;
    EXPECT_NE(wire.find(R"("scaleFactor":2.0})"), std::string::npos) << wire;
    auto device = std::dynamic_pointer_cast<MorvixDevice>(client->objectRegistry()->objectById("morvix.Device"));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->getWithMethod("model"), Value("iPhone9,3")) << "the machine name, not the model";
    EXPECT_EQ(device->getWithMethod("language"), Value("de-CH"));
    EXPECT_EQ(device->getWithMethod("orientation"), Value("portrait-primary"));
    EXPECT_EQ(device->getWithMethod("screenWidth"), Value(320));

    // The host's own reachability readings would add sets at moments the test does not choose:
    // stop them, and let what they already scheduled go out.
    if (auto real = client->httpClient()->manager()->reachabilityManager())
        real->stopMonitoring();
    harness.runUntilIdle();
    ASSERT_TRUE(settle(posts().size()));

    // A rotation to landscape: the coarse name through the Display, the fine one in the event.
    reply(R"({"head":{},"operations":[["listen","morvix.Device",{"orientationchange":1}]]})");
    std::size_t mark = posts().size();
    device->synchronize();
    ASSERT_TRUE(settle(mark + 1));
    mark = posts().size();
    harness.rotate(platform::DeviceOrientation::LandscapeLeft);
    ASSERT_TRUE(settle(mark + 2));
    EXPECT_EQ(deviceOperations(mark), R"([["set","morvix.Device",{"orientation":"LANDSCAPE"}],)"
                                      R"(["notify","morvix.Device","orientationchange",{"orientation":"landscape-primary"}]])");
    EXPECT_EQ(device->getWithMethod("orientation"), Value("landscape-primary"));
    EXPECT_EQ(device->getWithMethod("screenWidth"), Value(568));
    mark = posts().size();
    harness.rotate(platform::DeviceOrientation::FaceUp);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), mark) << "face up changes no interface orientation";

    // Reachability: unknown reports WIFI, a change to "not reachable" nothing, cellular CELLULAR.
    auto fake = platform::FakeReachabilitySource::create(platform::kReachabilityFlagReachable | platform::kReachabilityFlagIsWWAN);
    auto cellular = NetNetworkReachabilityManager::create(fake);
    cellular->startMonitoring();
    // The first reading arrives from the monitoring queue.
    ASSERT_TRUE(platform::MainLoop::main().runUntil(
        [&] { return cellular->networkReachabilityStatus() == NetNetworkReachabilityStatus::ReachableViaWWAN; }, std::chrono::seconds(10)));
    client->httpClient()->manager()->setReachabilityManager(cellular);
    mark = posts().size();
    postReachability(0);
    postReachability(1);
    ASSERT_TRUE(settle(mark + 1));
    EXPECT_EQ(deviceOperations(mark), R"([["set","morvix.Device",{"connectionType":"CELLULAR"}]])");
    client->httpClient()->manager()->setReachabilityManager(nullptr);
    mark = posts().size();
    postReachability(-1);
    ASSERT_TRUE(settle(mark + 1));
    EXPECT_EQ(deviceOperations(mark), R"([["set","morvix.Device",{"connectionType":"WIFI"}]])");

    // The language follows the locale, once told it changed.
    platform::Locale::setCurrent("en");
    EXPECT_EQ(device->getWithMethod("language"), Value("en")) << "a locale without a country gives the language alone";

    // A second synchronise sends the same facts again (now landscape, with location and camera).
    platform::DeviceLocation::setAuthorizationStatus(platform::LocationAuthorizationStatus::AuthorizedAlways);
    platform::ImagePickerController::setSourceTypeAvailable(platform::ImagePickerSourceType::Camera, true);
    mark = posts().size();
    device->synchronize();
    ASSERT_TRUE(settle(mark + 1));
    EXPECT_NE(deviceOperations(mark).find(R"("orientation":"LANDSCAPE","capabilities":["LOCATION","MESSAGE","PHONE","CAMERA","MAPS"])"), std::string::npos)
        << deviceOperations(mark);
}

TEST(DeviceServiceFacts, TimeZoneOffsetsAgreeWithPythonAndTheMachineWithUname)
{
    platform::UITestHarness harness;
    struct Case {
        const char* zone;
        long seconds; // a date in the zone's winter or summer
    };
    for (Case each : { Case { "Asia/Kolkata", 1736942400 }, Case { "America/New_York", 1736942400 }, Case { "America/New_York", 1752580800 },
             Case { "UTC", 1736942400 } }) {
        auto device = platform::DeviceInfo::current();
        device.timeZone = each.zone;
        platform::DeviceInfo::setCurrent(device);
        harness.clock().setDate(platform::WallTime(std::chrono::seconds(each.seconds)));
        std::string expected = python("import zoneinfo,datetime; z=zoneinfo.ZoneInfo('" + std::string(each.zone)
            + "'); d=datetime.datetime.fromtimestamp(" + std::to_string(each.seconds) + ", z); o=-d.utcoffset().total_seconds()/60.0; print(o if o else 0.0)");
        EXPECT_EQ(Value(MorvixDevice::timeZoneOffset()).dump(), expected) << each.zone;
    }
    EXPECT_FALSE(std::signbit(MorvixDevice::timeZoneOffset())) << "UTC gives 0.0, never -0.0";
    platform::DeviceInfo::resetForTesting();
    utsname host {};
    ::uname(&host);
    EXPECT_EQ(platform::DeviceInfo::current().machine, host.machine);
}

TEST_F(ServiceSessionTest, TheApplicationServiceReportsIdentityOpenedURLsAndInactivity)
{
    // This session has no patch store (see the end).
    PatchStore::setFactory(nullptr);
    // A URL opened before the service exists goes out with the first synchronisation, once.
    MorvixApp::setOpenWithURL("shop://item/7");
    start();
    auto first = posts().at(0)["operations"];
    EXPECT_EQ(first[0][1], "w1") << "the display's set comes first";
    EXPECT_EQ(first[1].dump(), R"(["set","morvix.App",{"morvixVersion":"2.0.0","id":"com.example.services","version":"4.2","openUrl":"shop://item/7"}])");
    EXPECT_EQ(first[2].dump(), R"(["call","morvix.ClientStore","synchronize",{}])") << "the services in their order";
    EXPECT_EQ(first[3][1], "morvix.Device");
    EXPECT_EQ(MorvixApp::openWithURL(), std::nullopt) << "acknowledged by the successful exchange";
    app()->synchronize();
    ASSERT_TRUE(settle(2));
    EXPECT_EQ(appOperations(1), R"([["set","morvix.App",{"morvixVersion":"2.0.0","id":"com.example.services","version":"4.2"}]])");

    // With the service: one message, whether "Open" is listened or not.
    client->openURL("shop://item/8", "", nullptr);
    ASSERT_TRUE(settle(3));
    EXPECT_EQ(appOperations(2), R"([["set","morvix.App",{"openUrl":"shop://item/8"}],["notify","morvix.App","Open",{"url":"shop://item/8"}]])");

    // Inactivity after 1999 ms is whole seconds: not at 0.999 s, at 1.0 s; a touch beginning at
    // 0.5 s moves it to 1.5 s, a moving one does not.
    reply(R"({"head":{},"operations":[["call","morvix.App","startInactivityTimer",{"inactivityTime":1999}]]})");
    app()->synchronize();
    ASSERT_TRUE(settle(4));
    std::size_t before = posts().size();
    harness.advance(0.999);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before);
    harness.advance(0.001);
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(appOperations(before), R"([["notify","morvix.App","Inactive",{}]])");
    platform::TouchDriver touches(harness.window());
    harness.advance(0.5);
    auto finger = touches.down({ 100, 100 });
    touches.move(finger, { 120, 100 });
    harness.advance(0.9);
    touches.move(finger, { 140, 100 });
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before + 1) << "the touch that began at 0.5 s put it off to 1.5 s";
    harness.advance(0.1);
    ASSERT_TRUE(settle(before + 2));
    touches.up(finger);

    // Paused, the timer stops; resumed, it runs again; stopped, it stays quiet.
    platform::Application::shared().simulateWillResignActive();
    harness.advance(3);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before + 2);
    platform::Application::shared().simulateDidBecomeActive();
    harness.advance(1);
    ASSERT_TRUE(settle(before + 3));
    app()->stopInactivityTimer(nullptr);
    for (double time : { 0.0, -5.0 }) {
        Value arguments = Value::object();
        arguments["inactivityTime"] = time;
        app()->startInactivityTimer(&arguments);
    }
    harness.advance(5);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before + 3);
    EXPECT_EQ(MorvixApp::inactivitySeconds(Value(61500)), 61);
    EXPECT_EQ(MorvixApp::inactivitySeconds(Value(999)), 1);

    // Without a patch store an install is answered, not dropped.
    before = posts().size();
    reply(R"({"head":{},"operations":[["listen","morvix.App",{"patchInstall":1}],["call","morvix.App","installPatch",{"url":"patch.zip"}]]})");
    app()->synchronize();
    ASSERT_TRUE(settle(before + 2));
    EXPECT_NE(appOperations(before).find(R"(["notify","morvix.App","patchInstall",{"error":"System not properly initialized."}])"),
        std::string::npos)
        << appOperations(before);
    PatchManager::installFactory();
}

TEST_F(ServiceSessionTest, TheApplicationServiceProtectsTheScreenAndInstallsPatches)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "morvix-app-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    std::string root = pattern;
    ::setenv("XDG_DATA_HOME", root.c_str(), 1);
    ASSERT_EQ(std::system(("cd " + root + " && python3 -c \"import zipfile; z=zipfile.ZipFile('patch.zip','w'); z.writestr('patch.json','v2'); z.writestr('page.txt','patched'); z.close()\"").c_str()), 0);
    std::string archive = root + "/patch.zip";
    server.handle("/app/patch.zip", [archive](const RecordedRequest&, ResponseWriter& writer) {
        std::ifstream in(archive, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        writer.respond(200, bytes.str());
    });
    start();
    auto app = this->app();
    ASSERT_NE(app, nullptr);

    // Screen protection: a failed exchange fades the screen out over 1.5 s, the next successful
    // one back in over 1.0 s; resigning active hides it at once.
    reply(R"({"head":{},"operations":[["set","morvix.App",{"screenProtection":true,"badgeNumber":3}],["listen","morvix.App",{"patchInstall":1}]]})");
    app->synchronize();
    ASSERT_TRUE(settle(2));
    EXPECT_EQ(platform::Application::shared().userNotificationSettings(), 7u);
    EXPECT_EQ(platform::Application::shared().applicationIconBadgeNumber(), 3);
    auto screen = client->rootView();
    auto now = [] { return platform::Clock::current()->now(); };
    platform::NotificationCenter::defaultCenter()->post(ProtocolTransport::kOperationFailed);
    harness.advance(0.75);
    double halfway = screen->presentationAlpha(now());
    EXPECT_GT(halfway, 0.3);
    EXPECT_LT(halfway, 0.7);
    harness.advance(0.75);
    EXPECT_DOUBLE_EQ(screen->presentationAlpha(now()), 0.0);
    platform::NotificationCenter::defaultCenter()->post(ProtocolTransport::kOperationSucceeded);
    harness.advance(0.5);
    EXPECT_GT(screen->presentationAlpha(now()), 0.3);
    EXPECT_LT(screen->presentationAlpha(now()), 0.7);
    harness.advance(0.5);
    EXPECT_DOUBLE_EQ(screen->presentationAlpha(now()), 1.0);
    platform::Application::shared().simulateWillResignActive();
    EXPECT_DOUBLE_EQ(screen->alpha(), 0.0);
    platform::Application::shared().simulateDidBecomeActive();
    harness.advance(1.0);

    // Patches: installed from a URL relative to the server, reported, used after a reload.
    // (A failed install rolls back every install since the last load, so it goes first.)
    std::size_t before = posts().size();
    reply(R"({"head":{},"operations":[["call","morvix.App","installPatch",{"url":"missing.zip"}]]})");
    app->synchronize();
    ASSERT_TRUE(settle(before + 2));
    EXPECT_NE(appOperations(before).find(R"("patchInstall",{"error":)"), std::string::npos) << appOperations(before);
    // A local archive outside the folders a peer may read is refused unread, though it is a patch.
    before = posts().size();
    reply(R"({"head":{},"operations":[["call","morvix.App","installPatch",{"url":"file://)" + archive + R"("}]]})");
    app->synchronize();
    ASSERT_TRUE(settle(before + 2));
    EXPECT_NE(appOperations(before).find(R"(["notify","morvix.App","patchInstall",{"error":"Error installing Patch."}])"),
        std::string::npos)
        << appOperations(before);
    before = posts().size();
    reply(R"({"head":{},"operations":[["call","morvix.App","installPatch",{"url":"patch.zip"}]]})");
    app->synchronize();
    ASSERT_TRUE(settle(before + 2));
    EXPECT_NE(appOperations(before).find(R"(["notify","morvix.App","patchInstall",{"success":"v2"}])"), std::string::npos) << appOperations(before);
    client->load();
    ASSERT_TRUE(settle(before + 3));
    auto found = client->httpClient()->relativeURLToServer("page.txt");
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->isFileURL()) << found->absoluteString();
    ::unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(root);
}

TEST_F(ServiceSessionTest, TimersRunAndDialogsReportTheirButtons)
{
    start();
    reply(R"({"head":{},"operations":[["create","t1","morvix.Timer",{"delay":1500}],["listen","t1",{"Run":1}],["call","t1","start"],["call","t1","start"],
        ["create","t2","morvix.Timer",{"delay":0,"repeat":true}],["listen","t2",{"Run":1}],
        ["create","d1","morvix.ClientDialog",{"title":"Save?","buttonOk":"Yes","buttonCancel":"No","buttonNeutral":"Later"}],
        ["listen","d1",{"Selection":1,"ClientDialogClose":1}],["call","d1","open"],["call","d1","open"]]})");
    app()->synchronize();
    ASSERT_TRUE(settle(2));
    std::size_t before = posts().size();

    // Started twice, one timer runs: one "Run" at 1.5 s, not at 1.499 s.
    harness.advance(1.499);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before);
    harness.advance(0.001);
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(operationsFor("t1", before), R"([["notify","t1","Run",{}]])");
    harness.advance(5);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before + 1) << "a one-shot fires once";

    // A repeating timer without a delay fires every 10 ms, never inside "start"; switching its
    // listener off stops it.
    auto repeating = std::dynamic_pointer_cast<Timer>(client->objectRegistry()->objectById("t2"));
    ASSERT_NE(repeating, nullptr);
    repeating->start(nullptr);
    EXPECT_EQ(posts().size(), before + 1);
    harness.advance(0.01);
    harness.runUntilIdle();
    Value off = Value::object();
    off["Run"] = 0;
    repeating->listenWithProperties(&off);
    EXPECT_FALSE(repeating->isRunning());
    ASSERT_TRUE(settle(before + 2));
    EXPECT_EQ(operationsFor("t2", before + 1), R"([["notify","t2","Run",{}]])") << "one expiry in 10 ms, none after the listener went";

    // Opened twice, the dialog shows its three buttons once: neutral, cancel, ok.
    auto alerts = platform::Application::shared().alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->buttonTitles(), (std::vector<std::string> { "Later", "No", "Yes" }));
    EXPECT_EQ(alerts[0]->cancelButtonIndex(), 1);
    before = posts().size();
    ASSERT_TRUE(harness.pressAlertButton("Yes"));
    ASSERT_TRUE(settle(before + 2));
    EXPECT_EQ(operationsFor("d1", before), R"([["notify","d1","Selection",{"buttonType":"buttonOk"}],["notify","d1","ClientDialogClose",{}]])");

    // "close" reports the close but no selection; a destroyed dialog reports nothing.
    auto dialog = std::dynamic_pointer_cast<ClientDialog>(client->objectRegistry()->objectById("d1"));
    ASSERT_NE(dialog, nullptr);
    dialog->open(nullptr);
    before = posts().size();
    dialog->close(nullptr);
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(operationsFor("d1", before), R"([["notify","d1","ClientDialogClose",{}]])");
    dialog->open(nullptr);
    dialog->destroy();
    harness.runUntilIdle();
    EXPECT_TRUE(platform::Application::shared().alerts().empty());
    EXPECT_EQ(posts().size(), before + 1);
}

} // namespace
} // namespace morvix
