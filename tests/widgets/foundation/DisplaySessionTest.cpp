// The display in a real session against a scripted server on loopback, on the headless screen
// with a manual clock: what the first request carries, rotation, focus, touches, and the calls.

#include "widgets/foundation/Display.h"

#include "core/base/LogEntry.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Binding.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "library/RemoteTypes.h"
#include "platform/ui/Application.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/support/LoopbackSessionFixture.h"
#include "widgets/foundation/CancelKeyboardRecognizer.h"
#include "widgets/foundation/Control.h"
#include "widgets/foundation/OrientationReporter.h"
#include "widgets/foundation/TextWidget.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Value;

constexpr const char* kFirstBody = R"({"head":{},"operations":[
    ["create","w1","zub.widgets.Display",{}],
    ["create","w5","test.TextInput",{"parent":"w1","bounds":[10,10,200,30]}]]})";

// A text widget as the text controls will be: a text field that adopts the mark.
class TestTextInput final : public RemoteClass<TestTextInput, Control>, public TextWidget {
public:
    static constexpr std::string_view kRemoteType = "test.TextInput";
    TestTextInput(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
        : RemoteClass(key, std::move(id), std::move(client)), m_field(platform::TextField::create())
    {
    }
    std::shared_ptr<platform::View> view() const override { return m_field; }

private:
    std::shared_ptr<platform::TextField> m_field;
};

// The device service as far as the display uses it: it notes what had been sent by then.
class TestDevice final : public RemoteClass<TestDevice>, public OrientationReporter {
public:
    using RemoteClass::RemoteClass;
    void sendOrientation() override { postsWhenAsked.push_back(postCount()); }
    std::function<std::size_t()> postCount;
    std::vector<std::size_t> postsWhenAsked;
};

// Beside the server binding: notes what is scheduled, and when.
class ScheduleRecorder final : public Binding {
public:
    void start() override { }
    void suspend() override { }
    void resume() override { }
    void retry() override { }
    void stop() override { }
    void sendMessage(const std::shared_ptr<Message>&) override { }
    void scheduleMessage(const std::shared_ptr<Message>& message) override
    {
        if (auto notification = std::dynamic_pointer_cast<Notification>(message)) {
            for (const auto& operation : notification->getMessageOperations())
                scheduled.push_back(operation.toOperationArray(notification->getTarget()).dump());
        }
    }
    void storeMessage(const std::shared_ptr<Message>&) override { }
    void reset() override { }
    bool isActive() override { return true; }
    bool isProcessing() override { return false; }
    void receivedRequestCounter(std::int64_t) override { }
    bool supportsCustomDrawer() override { return false; }

    std::vector<std::string> scheduled;
};

class DisplaySessionTest : public testing::LoopbackSessionFixture {
protected:
    void SetUp() override
    {
        setFirstAnswer(kFirstBody);
        LoopbackSessionFixture::SetUp();
        WidgetRegistry::instance().addHandler<TestTextInput>();
    }

    // Loads the session, then lets the first request go out and be answered.
    void start()
    {
        ASSERT_NO_FATAL_FAILURE(createClient({ [this](std::weak_ptr<MorvixClient>) { return recorder; } }));
        client->setLogObserver([this](const LogEntry& entry) { log.push_back(entry.message()); });
        loadSession();
    }
    std::shared_ptr<Display> display() const { return std::dynamic_pointer_cast<Display>(client->objectRegistry()->objectById("w1")); }
    std::shared_ptr<platform::View> field() const { return client->objectRegistry()->objectById("w5") ? harness.find("w5") : nullptr; }

    std::shared_ptr<ScheduleRecorder> recorder = std::make_shared<ScheduleRecorder>();
    std::vector<std::string> log;
};

TEST_F(DisplaySessionTest, FirstRequestReportsTheScreenAndTheCallsAnswer)
{
    reply(R"({"head":{},"operations":[["call","w1","probe",{}],["call","w1","measureStrings",{"strings":[]}],
        ["call","w1","beep"],["call","w1","reload",{"message":"The application was updated"}]]})");
    start();
    auto display = this->display();
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(client->rootObject(), display);
    EXPECT_EQ(display->view(), client->view());
    EXPECT_FALSE(display->view()->isHidden());
    EXPECT_EQ(field()->superview(), display->screen()) << "a top-level widget sits on the screen";

    auto first = posts().at(0);
    ASSERT_GE(first["operations"].size(), 2u);
    EXPECT_EQ(first["operations"][0].dump(), R"(["set","w1",{"bounds":[0,0,320,568],"colorDepth":24,"dpi":[163,163]}])");
    std::vector<std::string> services;
    for (std::size_t i = 1; i < first["operations"].size(); ++i)
        services.push_back(first["operations"][i][1].get<std::string>());
    EXPECT_EQ(services, (std::vector<std::string> { "morvix.App", "morvix.ClientStore", "morvix.Device" }))
        << "the services' synchronisation follows the display's set";
    EXPECT_EQ(first["head"]["zub_initialize"], true);

    // The answer's calls: "probe" and "measureStrings" do nothing and fail nothing.
    EXPECT_EQ(platform::Application::shared().playedSystemSounds(), (std::vector<unsigned> { 1306 }));
    EXPECT_EQ(log, std::vector<std::string> {});
    auto alerts = platform::Application::shared().alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->title(), "Restart Session");
    EXPECT_EQ(alerts[0]->message(), "The application was updated");
    EXPECT_EQ(alerts[0]->buttonTitles(), (std::vector<std::string> { "OK" }));

    // "OK" opens the session again: its first request loads the application (the new session's
    // own first message may follow it before the check).
    auto before = server.requestCount();
    ASSERT_TRUE(harness.pressAlertButton("OK"));
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return server.requestCount() > before; }, std::chrono::seconds(10)));
    EXPECT_EQ(server.requests().at(before).method, "GET");
    ASSERT_TRUE(settle(1));
    EXPECT_NE(this->display(), display) << "the new session made a new display";
    EXPECT_TRUE(display->isDisposed());
    EXPECT_EQ(harness.window()->gestureRecognizers().size(), 2u) << "the old display's recognisers left the window";
}

TEST_F(DisplaySessionTest, RotationReportsTheNewSizeAtOnceAndDismissesTheKeyboard)
{
    start();
    auto display = this->display();
    auto device = std::static_pointer_cast<TestDevice>(TestDevice::create(std::string(Display::kDeviceServiceId), nullptr, client));
    device->postCount = [this] { return server.requestCount(); };
    client->objectRegistry()->addObject(device);

    display->setFocusControl("w5");
    ASSERT_TRUE(field()->becomeFirstResponder());
    EXPECT_EQ(display->activeTextField(), field());
    harness.advance(0.6);
    ASSERT_TRUE(settle(2));

    // An orientation notification at the same size sends nothing and keeps the focus.
    platform::NotificationCenter::defaultCenter()->post(platform::UITestHarness::kOrientationNotification);
    harness.advance(1);
    ASSERT_TRUE(settle(2));
    EXPECT_EQ(posts().size(), 2u);
    EXPECT_TRUE(field()->isFirstResponder());

    std::size_t before = server.requestCount();
    harness.rotate();
    ASSERT_TRUE(settle(3));
    EXPECT_EQ(device->postsWhenAsked, (std::vector<std::size_t> { before })) << "the device reports first";
    EXPECT_EQ(posts().at(2)["operations"].dump(),
        R"([["set","w1",{"bounds":[0,0,568,320]}],["notify","w1","Resize",{"bounds":[0,0,568,320]}]])");
    EXPECT_FALSE(field()->isFirstResponder());
    EXPECT_EQ(display->activeTextField(), nullptr);
    EXPECT_FALSE(display->cancelKeyboardRecognizer()->isEnabled());
}

TEST_F(DisplaySessionTest, FocusIsReportedAfterThreeTenthsOfASecondUnlessTheDisplayIsGone)
{
    start();
    auto display = this->display();
    EXPECT_FALSE(display->cancelKeyboardRecognizer()->isEnabled());
    recorder->scheduled.clear();

    display->setFocusControl("w5");
    EXPECT_TRUE(display->cancelKeyboardRecognizer()->isEnabled());
    EXPECT_EQ(display->activeTextField(), field());
    harness.advance(0.299);
    EXPECT_TRUE(recorder->scheduled.empty());
    harness.advance(0.001);
    EXPECT_EQ(recorder->scheduled, (std::vector<std::string> { R"(["set","w1",{"focusControl":"w5","activeControl":"w5"}])" }));

    // Losing the focus reports the display itself; an unknown id reports nothing.
    recorder->scheduled.clear();
    display->setFocusControl(std::nullopt);
    EXPECT_FALSE(display->cancelKeyboardRecognizer()->isEnabled());
    display->setFocusControl("w99");
    harness.advance(0.3);
    EXPECT_EQ(recorder->scheduled, (std::vector<std::string> { R"(["set","w1",{"focusControl":"w1","activeControl":"w1"}])" }));

    // A report still pending when the display goes never comes.
    recorder->scheduled.clear();
    display->setFocusControl("w5");
    harness.advance(0.1);
    display->destroy();
    harness.advance(0.5);
    EXPECT_TRUE(recorder->scheduled.empty());
}

TEST_F(DisplaySessionTest, TouchLocationRidesWithTheNextRequest)
{
    start();
    harness.touches().tap({ 100.6, 200.4 });
    harness.advance(1);
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(posts().size(), 1u) << "a touch alone sends nothing";
    EXPECT_EQ(display()->cursorLocation(), (platform::Point { 100.6, 200.4 }));

    auto head = Notifications::forHead();
    head->setAttribute(true, "event");
    head->send();
    ASSERT_TRUE(settle(2));
    auto operations = posts().at(1)["operations"];
    ASSERT_FALSE(operations.empty());
    EXPECT_EQ(operations[0].dump(), R"(["set","w1",{"cursorLocation":[101,200]}])");
}

} // namespace
} // namespace morvix
