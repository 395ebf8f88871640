// Mouse-style events and touch feedback of controls, driven by touches on the headless screen.

#include "widgets/foundation/Composite.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Layer.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "widgets/foundation/MouseListener.h"
#include "widgets/foundation/ShowTouchGestureRecognizer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using platform::Point;
using platform::Value;
using Wire = std::vector<std::string>;

class TouchSession final : public ClientContext {
public:
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override { return registry->objectById(id); }
    void removeObjectById(const std::string& id) override { registry->removeObjectById(id); }
    void log(const LogEntry&) override { }
    std::shared_ptr<RemoteObject> rootObject() const override { return root; }

    std::shared_ptr<ObjectRegistry> registry = ObjectRegistry::create();
    std::shared_ptr<RemoteObject> root;
};

// A display-like root composite at (0, 20) of the window, and on it the control "c1" at
// (10, 30, 100, 50): window point (x, y) is root point (x, y - 20) and local point
// (x - 10, y - 50).
class MouseListenerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::NotificationCenter::resetDefaultForTesting();
        m_token = platform::NotificationCenter::defaultCenter()->addObserver(Message::kSendNotification, nullptr,
            [this](const platform::Notification& notification) {
                auto message = std::dynamic_pointer_cast<Notification>(std::any_cast<std::shared_ptr<Message>>(notification.object));
                for (const auto& operation : message->getMessageOperations())
                    wire.push_back(operation.toOperationArray(message->getTarget()).dump());
            });
        display = composite("display", R"({"bounds": [0, 20, 320, 548], "background": [255, 255, 255]})", harness.window());
        session->root = display;
        control = composite("c1", R"({"bounds": [10, 30, 100, 50]})", display->view());
    }

    std::shared_ptr<Composite> composite(const std::string& id, const char* properties, const std::shared_ptr<platform::View>& into)
    {
        auto object = std::static_pointer_cast<Composite>(Composite::create(id, nullptr, session));
        Value values = Value::parse(properties);
        object->setWithProperties(&values);
        session->registry->addObject(object);
        into->addSubview(object->view());
        object->view()->setHidden(false); // as after the first processed message
        return object;
    }
    void listen(const std::shared_ptr<Composite>& widget, const char* events)
    {
        Value values = Value::parse(events);
        widget->listenWithProperties(&values);
    }
    std::shared_ptr<platform::View> overlay() const { return control->showTouchGestureRecognizer()->touchView(); }
    std::size_t overlays() const { return control->view()->subviews().size(); }
    double shownAlpha(const platform::View& view) { return view.presentationAlpha(harness.clock().now()); }

    platform::UITestHarness harness;
    platform::TouchDriver& touches = harness.touches();
    std::shared_ptr<TouchSession> session = std::make_shared<TouchSession>();
    std::shared_ptr<Composite> display;
    std::shared_ptr<Composite> control;
    Wire wire;

private:
    platform::ObserverToken m_token;
};

TEST_F(MouseListenerTest, DoubleTapReportsEachTapAndOneDoubleClickInRootCoordinates)
{
    listen(control, R"({"MouseDown": true, "MouseUp": true, "MouseDoubleClick": true})");
    ASSERT_NE(control->mouseListener(), nullptr);
    // The double tap, down, up and long-press recognisers, none cancelling the view's touches.
    const auto& recognizers = control->view()->gestureRecognizers();
    ASSERT_EQ(recognizers.size(), 4u);
    EXPECT_STREQ(recognizers[1]->className(), "MouseDown");
    EXPECT_STREQ(recognizers[3]->className(), "LongPressGestureRecognizer");
    EXPECT_FALSE(recognizers[2]->cancelsTouchesInView());

    touches.doubleTap({ 30.7, 60.2 });
    EXPECT_EQ(wire, (Wire { R"(["notify","c1","MouseDown",{"button":1,"x":30,"y":40,"time":0}])",
                        R"(["notify","c1","MouseUp",{"button":1,"x":30,"y":40,"time":0}])",
                        R"(["notify","c1","MouseDown",{"button":1,"x":30,"y":40,"time":0}])",
                        R"(["notify","c1","MouseDoubleClick",{"button":1,"x":30,"y":40,"time":0}])",
                        R"(["notify","c1","MouseUp",{"button":1,"x":30,"y":40,"time":0}])" }));

    // Without a display the points are window points; a listener made once serves every flag.
    wire.clear();
    harness.advance(1);
    session->root = nullptr;
    listen(control, R"({"MenuDetect": true})");
    EXPECT_EQ(control->view()->gestureRecognizers().size(), 4u);
    touches.tap({ 30, 60 });
    EXPECT_EQ(wire, (Wire { R"(["notify","c1","MouseDown",{"button":1,"x":30,"y":60,"time":0}])",
                        R"(["notify","c1","MouseUp",{"button":1,"x":30,"y":60,"time":0}])" }));
}

TEST_F(MouseListenerTest, LongPressReportsButtonThreeAndNoPlainMouseUp)
{
    // The touch feedback's overlay lies over the view meanwhile and must not be what is hit.
    control->setKey("data", Value::parse(R"({"showTouch": true})"));
    listen(control, R"({"MouseDown": true, "MouseUp": true, "MenuDetect": true})");

    auto finger = touches.down({ 30, 60 });
    EXPECT_EQ(wire, (Wire { R"(["notify","c1","MouseDown",{"button":1,"x":30,"y":40,"time":0}])" }));
    harness.advance(0.499);
    EXPECT_EQ(wire.size(), 1u);
    harness.advance(0.001);
    touches.up(finger);
    EXPECT_EQ(wire, (Wire { R"(["notify","c1","MouseDown",{"button":1,"x":30,"y":40,"time":0}])",
                        R"(["notify","c1","MouseDown",{"button":3,"x":30,"y":40,"time":0}])",
                        R"(["notify","c1","MenuDetect",{"x":30,"y":40}])",
                        R"(["notify","c1","MouseUp",{"button":3,"x":30,"y":40,"time":0}])" }));
}

TEST_F(MouseListenerTest, ReleaseBeyondTheEdgeCountsWithinTheMarginOnly)
{
    listen(control, R"({"MouseUp": true})");
    auto releaseAt = [&](Point to) {
        auto finger = touches.down({ 105, 60 });
        harness.advance(0.6);
        touches.move(finger, to);
        touches.up(finger);
    };
    releaseAt({ 120, 60 }); // 10 points right of the right edge: reported on the edge
    releaseAt({ 130, 60 }); // 20 points: nothing
    releaseAt({ 110, 34 }); // 16 points above the top edge, on the corner
    EXPECT_EQ(wire, (Wire { R"(["notify","c1","MouseUp",{"button":3,"x":110,"y":40,"time":0}])",
                        R"(["notify","c1","MouseUp",{"button":3,"x":110,"y":30,"time":0}])" }));
    EXPECT_EQ(MouseListener::deltaForTap({ -3, 60 }, { 100, 50 }), Point(3, -10));
}

TEST_F(MouseListenerTest, TouchOnAChildWidgetReportsNothingToItsComposite)
{
    auto child = composite("c2", R"({"bounds": [0, 0, 40, 50]})", control->view());
    listen(control, R"({"MouseDown": true, "MouseUp": true, "MenuDetect": true})");
    touches.tap({ 20, 60 });
    touches.longPress({ 20, 60 }, 0.6);
    EXPECT_TRUE(wire.empty());
    touches.tap({ 60, 60 }); // beside the child, on the composite itself
    EXPECT_EQ(wire.size(), 2u);
}

// MARK: Touch feedback

TEST_F(MouseListenerTest, OverlayFadesInUnderARestingFingerAndGoesAfterTheLift)
{
    control->setKey("data", Value::parse(R"({"showTouch": true})"));
    auto recognizer = control->showTouchGestureRecognizer();
    ASSERT_NE(recognizer, nullptr);
    EXPECT_EQ(overlays(), 0u);

    auto finger = touches.down({ 30, 60 });
    ASSERT_NE(overlay(), nullptr);
    auto shown = overlay();
    EXPECT_EQ(shown->frame(), platform::Rect(0, 0, 100, 50));
    EXPECT_EQ(shown->backgroundColor(), platform::Color::fromHex(0x167EFB));
    EXPECT_NE(shown->layer().mask(), nullptr);
    EXPECT_DOUBLE_EQ(shownAlpha(*shown), 0);
    harness.advance(0.025);
    EXPECT_NEAR(shownAlpha(*shown), 0.2, 1e-9);
    harness.advance(0.025);
    EXPECT_DOUBLE_EQ(shownAlpha(*shown), 0.4);

    // Resting longer than a tap lasts; a move within the limit keeps the overlay.
    harness.advance(1);
    touches.move(finger, { 40, 60 });
    EXPECT_DOUBLE_EQ(shown->alpha(), 0.4);
    touches.up(finger);
    harness.advance(0.199);
    EXPECT_EQ(overlays(), 1u);
    harness.advance(0.001);
    EXPECT_EQ(overlays(), 0u);
    EXPECT_EQ(recognizer->touchView(), nullptr);

    // A finger dragged more than 15 points away fades it before it lifts, however slowly.
    finger = touches.down({ 30, 60 });
    harness.advance(0.5);
    for (double x = 31; x <= 46; ++x)
        touches.move(finger, { x, 60 });
    EXPECT_DOUBLE_EQ(overlay()->alpha(), 0);
    harness.advance(0.2);
    EXPECT_EQ(overlays(), 0u);
    touches.up(finger);
}

TEST_F(MouseListenerTest, TouchDuringAFadeOutKeepsItsOwnOverlay)
{
    control->setKey("data", Value::parse(R"({"showTouch": true})"));
    touches.tap({ 30, 60 });
    harness.advance(0.1);
    auto finger = touches.down({ 30, 60 });
    auto second = overlay();
    harness.advance(0.15); // the first overlay's fade ends
    EXPECT_EQ(overlays(), 1u);
    EXPECT_EQ(overlay(), second);
    EXPECT_DOUBLE_EQ(shownAlpha(*second), 0.4);
    touches.up(finger);
    harness.advance(0.2);
    EXPECT_EQ(overlays(), 0u);
}

TEST_F(MouseListenerTest, DisabledWidgetShowsTheOverlayButRecognisesNoTap)
{
    control->setKey("data", Value::parse(R"({"showTouch": true})"));
    int taps = 0;
    control->showTouchGestureRecognizer()->addAction([&](platform::GestureRecognizer&) { ++taps; });
    touches.tap({ 30, 60 });
    EXPECT_EQ(taps, 1);

    control->setKey("enabled", Value(false));
    // As for widget classes whose views stay touchable to draw their own disabled look.
    control->view()->setUserInteractionEnabled(true);
    harness.advance(1);
    auto finger = touches.down({ 30, 60 });
    EXPECT_NE(overlay(), nullptr);
    touches.up(finger);
    EXPECT_EQ(taps, 1);

    // Switching the highlight off takes the recogniser away.
    control->setHighlightOnTouch(false);
    harness.advance(1);
    EXPECT_TRUE(control->view()->gestureRecognizers().empty());
    EXPECT_EQ(overlays(), 0u);
}

TEST_F(MouseListenerTest, OverlayTintsOnlyWhatTheControlDraws)
{
    // The control draws only a rounded card on its left; the rest of it is transparent.
    auto card = composite("card", R"({"bounds": [0, 0, 60, 50], "background": [230, 230, 230]})", control->view());
    card->view()->layer().setCornerRadius(12);
    card->view()->setClipsToBounds(true);
    composite("untouched", R"({"bounds": [130, 30, 60, 50], "background": [230, 230, 230]})", display->view());
    control->setKey("data", Value::parse(R"({"showTouch": true})"));
    auto finger = touches.down({ 90, 60 }); // on the control, beside the card
    harness.advance(0.05);

    auto image = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
    ASSERT_TRUE(image);
    auto tinted = image->pixelAt(2 * 40, 2 * 70);
    EXPECT_NEAR(tinted.red, 230 * 0.6 + 22 * 0.4, 2);
    EXPECT_NEAR(tinted.blue, 230 * 0.6 + 251 * 0.4, 2);
    auto beside = image->pixelAt(2 * 90, 2 * 70);
    EXPECT_EQ(beside.red, 255);
    auto corner = image->pixelAt(2 * 10 + 1, 2 * 50 + 1); // outside the card's rounded corner
    EXPECT_EQ(corner.red, 255);

    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(image->writePNG((directory / "touch-feedback.png").string()));
    touches.up(finger);
}

} // namespace
} // namespace morvix
