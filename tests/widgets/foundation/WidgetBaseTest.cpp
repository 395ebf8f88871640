// The widget base and the control, driven directly on a small session.

#include "widgets/foundation/Composite.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteException.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "widgets/foundation/ClientLayout.h"
#include "widgets/foundation/ContextMenu.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

namespace morvix {
namespace {

using platform::Value;

class WidgetSession final : public ClientContext {
public:
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override { return registry->objectById(id); }
    void removeObjectById(const std::string& id) override { registry->removeObjectById(id); }
    void log(const LogEntry&) override { }
    double timeInSession() const override { return seconds; }

    std::shared_ptr<ObjectRegistry> registry = ObjectRegistry::create();
    double seconds = 0;
};

// A menu that records how it was opened.
class FakeMenu final : public RemoteClass<FakeMenu>, public ContextMenu {
public:
    using RemoteClass::RemoteClass;
    bool enabled() const override { return isEnabled; }
    void displayAt(const Value& location) override { steps.push_back("at " + location.dump()); }
    void showMenu() override { steps.push_back("show"); }
    bool isEnabled = true;
    std::vector<std::string> steps;
};

class WidgetBaseTest : public ::testing::Test {
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
    }

    std::shared_ptr<Composite> composite(const std::string& id, const Value& properties = Value::object())
    {
        auto object = std::static_pointer_cast<Composite>(Composite::create(id, nullptr, session));
        object->setWithProperties(&properties);
        session->registry->addObject(object);
        return object;
    }
    std::shared_ptr<platform::Touch> touchAt(platform::Point location)
    {
        return platform::Touch::create(++m_touches, harness.window(), location, 0);
    }

    platform::UITestHarness harness;
    std::shared_ptr<WidgetSession> session = std::make_shared<WidgetSession>();
    std::vector<std::string> wire;

private:
    platform::ObserverToken m_token;
    std::uint64_t m_touches = 0;
};

// Expected numbers from Python's math module, following the same 32-bit steps: rotate by the
// float angle, translate by (tx / sx, ty / sy) divided in floats, scale.
TEST_F(WidgetBaseTest, TransformMatrixAndReadBackMatchPythonMath)
{
    auto widget = composite("w1");
    auto view = widget->view();
    widget->setKey("transform", Value::parse(R"({"rotation": 1.5708, "translationX": 10, "translationY": -4, "scaleX": 3, "scaleY": 0.5})"));
    auto t = view->transform();
    EXPECT_NEAR(t.a, -1.085997022955218e-05, 1e-12);
    EXPECT_NEAR(t.b, 0.4999999999967239, 1e-12);
    EXPECT_NEAR(t.c, -2.9999999999803433, 1e-12);
    EXPECT_NEAR(t.d, -1.8099950382586968e-06, 1e-12);
    EXPECT_NEAR(t.tx, 9.999999761581421, 1e-12);
    EXPECT_DOUBLE_EQ(t.ty, -4.0);
    auto back = *widget->getWithMethod("transform");
    EXPECT_FLOAT_EQ(back["scaleX"].get<float>(), 3.0f);
    EXPECT_FLOAT_EQ(back["scaleY"].get<float>(), 0.5f);
    EXPECT_FLOAT_EQ(back["translationX"].get<float>(), 10.0f);
    EXPECT_FLOAT_EQ(back["rotation"].get<float>(), 1.5707999467849731f);

    widget->setKey("transform", Value::parse(R"({"rotation": -2.5, "translationX": 3.3})"));
    back = *widget->getWithMethod("transform");
    EXPECT_NEAR(view->transform().a, -0.8011436155469337, 1e-12);
    EXPECT_NEAR(view->transform().b, -0.5984721441039565, 1e-12);
    EXPECT_NEAR(view->transform().tx, 3.299999952316284, 1e-12);
    EXPECT_FLOAT_EQ(back["rotation"].get<float>(), -2.5f);
    EXPECT_FLOAT_EQ(back["scaleX"].get<float>(), 0.99999994f);

    // A zero scale: the translation stays exact and nothing reads back as NaN or infinity.
    widget->setKey("transform", Value::parse(R"({"rotation": 0.25, "scaleX": 0, "translationX": 7, "translationY": 3})"));
    t = view->transform();
    EXPECT_EQ(t.a, 0);
    EXPECT_EQ(t.c, 0);
    EXPECT_NEAR(t.b, std::sin(0.25), 1e-7);
    EXPECT_NEAR(t.d, std::cos(0.25), 1e-7);
    EXPECT_EQ(t.tx, 7);
    EXPECT_EQ(t.ty, 3);
    back = *widget->getWithMethod("transform");
    EXPECT_EQ(back.dump(), R"({"scaleX":0.0,"scaleY":1.0,"translationX":7.0,"translationY":3.0,"rotation":0.25})");
    widget->setKey("transform", Value::parse(R"({"rotation": 0.25, "scaleY": 0, "translationY": 3})"));
    EXPECT_FLOAT_EQ(widget->getWithMethod("transform")->at("rotation").get<float>(), 0.25f);
    widget->setKey("transform", Value::parse(R"({"rotation": 1, "scaleX": 0, "scaleY": 0, "translationX": 1})"));
    EXPECT_EQ(widget->getWithMethod("transform")->dump(),
        R"({"scaleX":0.0,"scaleY":0.0,"translationX":1.0,"translationY":0.0,"rotation":0.0})");

    // A key that is not a number fails the operation and leaves the view as it was.
    auto before = view->transform();
    try {
        widget->setKey("transform", Value::parse(R"({"rotation": "quarter"})"));
        ADD_FAILURE() << "a text rotation was taken";
    } catch (const RemoteException& exception) {
        EXPECT_TRUE(exception.isIncorrectParameter());
    }
    EXPECT_EQ(view->transform(), before);
}

TEST_F(WidgetBaseTest, LayoutDataIsAbsoluteOnlyForTheFourNumbers)
{
    auto parent = composite("p", Value::parse(R"({"bounds": [0, 0, 320, 400]})"));
    harness.window()->addSubview(parent->view());
    auto child = composite("c", Value::parse(R"({"parent": "p", "layoutData": {"left": 1, "top": 2, "width": 30, "height": true}})"));
    EXPECT_TRUE(child->view()->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(child->view()->frame(), platform::Rect(1, 2, 30, 1));
    child->setKey("layoutData", Value::parse(R"({"left": 1, "top": 2, "width": 30, "height": 40, "right": 0})"));
    EXPECT_FALSE(child->view()->translatesAutoresizingMaskIntoConstraints());
    child->setKey("bounds", Value::parse("[10, 20, 30, 40]"));
    EXPECT_EQ(child->layoutData()->dump(), R"({"left":10.0,"top":20.0,"width":30.0,"height":40.0})");
    harness.runUntilIdle();
    EXPECT_EQ(child->getWithMethod("bounds"), Value::parse("[10, 20, 30, 40]"));

    // "animated" in "data" animates the layout, compared as the protocol compares (1 is true).
    EXPECT_FALSE(child->clientLayout()->isAnimated());
    child->setKey("data", Value::parse(R"({"animated": 1})"));
    EXPECT_TRUE(child->clientLayout()->isAnimated());

    // Destroying ends editing, disposes of the layout and takes the view out.
    child->destroy();
    EXPECT_EQ(child->view()->superview(), nullptr);
    EXPECT_TRUE(parent->view()->subviews().empty());
}

TEST_F(WidgetBaseTest, TouchesAreJudgedTogetherAndTimeSaturates)
{
    auto widget = composite("w1", Value::parse(R"({"bounds": [10, 20, 100, 50]})"));
    harness.window()->addSubview(widget->view());
    Value listen = Value::parse(R"({"touchend": true, "touchcancel": true})");
    widget->listenWithProperties(&listen);
    session->seconds = 1.5;

    // Two fingers lifted together make one event; with one outside, it is a cancellation.
    EXPECT_TRUE(widget->touchEnded({ touchAt({ 10, 20 }), touchAt({ 109.9, 69.9 }) }));
    EXPECT_TRUE(widget->touchEnded({ touchAt({ 15, 25 }), touchAt({ 110, 25 }) }));
    EXPECT_TRUE(widget->touchEnded({}));
    EXPECT_EQ(wire, (std::vector<std::string> {
        R"(["notify","w1","touchend",{"touches":[{"x":0,"y":0,"pageX":10,"pageY":20},{"x":99,"y":49,"pageX":109,"pageY":69}],"time":1500}])",
        R"(["notify","w1","touchcancel",{"touches":[{"x":5,"y":5,"pageX":15,"pageY":25},{"x":100,"y":5,"pageX":110,"pageY":25}],"time":1500}])",
        R"(["notify","w1","touchend",{"touches":[],"time":1500}])" }));
    wire.clear();

    // Rounded down after narrowing to float: -0.5 gives -1.
    session->seconds = 30.0 * 24 * 3600; // 30 days: beyond the 32-bit milliseconds
    widget->touchEnded({ touchAt({ 9.5, 20 }) });
    EXPECT_EQ(wire, (std::vector<std::string> {
        R"(["notify","w1","touchcancel",{"touches":[{"x":-1,"y":0,"pageX":9,"pageY":20}],"time":2147483647}])" }));
    EXPECT_EQ(widget->sessionTime(), 2147483647);
    session->seconds = -30.0 * 24 * 3600;
    EXPECT_EQ(widget->sessionTime(), -2147483647 - 1);
}

TEST_F(WidgetBaseTest, LongMouseDownOpensOnlyAMenuThenReports)
{
    auto widget = composite("w1");
    auto menu = std::static_pointer_cast<FakeMenu>(FakeMenu::create("m1", nullptr, session));
    session->registry->addObject(menu);
    composite("notAMenu");
    Value listen = Value::parse(R"({"MouseDown": true, "MenuDetect": true})");
    widget->listenWithProperties(&listen);

    widget->setKey("menu", Value("m1"));
    widget->longMouseDownDetected({ 12.9, -3.7 });
    EXPECT_EQ(menu->steps, (std::vector<std::string> { R"(at {"x":12.899999618530273,"y":-3.700000047683716})", "show" }));
    EXPECT_EQ(wire, (std::vector<std::string> { R"(["notify","w1","MouseDown",{"button":3,"x":12,"y":-4,"time":0}])",
        R"(["notify","w1","MenuDetect",{"x":12,"y":-3}])" }));

    // A disabled menu, and an object that is no menu, open nothing; the events still go out.
    menu->isEnabled = false;
    widget->longMouseDownDetected({ 1, 1 });
    widget->setKey("menu", Value("notAMenu"));
    widget->longMouseDownDetected({ 1, 1 });
    EXPECT_EQ(menu->steps.size(), 2u);
    EXPECT_EQ(wire.size(), 6u);
}

TEST_F(WidgetBaseTest, ShowTouchSwitchesOnlyOnTrueOrFalse)
{
    auto widget = composite("w1");
    widget->setKey("data", Value::parse(R"({"showTouch": true})"));
    EXPECT_TRUE(widget->highlightOnTouch());
    widget->setKey("data", Value::object());
    widget->setKey("data", Value::parse(R"({"showTouch": "no"})"));
    EXPECT_TRUE(widget->highlightOnTouch());
    widget->setKey("data", Value::parse(R"({"showTouch": false})"));
    EXPECT_FALSE(widget->highlightOnTouch());
    EXPECT_EQ(widget->getWithMethod("highlightOnTouch"), Value(false));
}

TEST_F(WidgetBaseTest, BackgroundImagesFailUntilLoadedAndPatternsFollowTheScreenScale)
{
    auto widget = composite("w1", Value::parse(R"({"background": [255, 0, 0]})"));
    auto view = widget->view();
    // Without a server the load fails on the main queue and clears the colour; null brings
    // "background" back on a composite.
    widget->setKey("backgroundImage", Value::parse(R"(["images/tile.png", 8, 8])"));
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return !view->backgroundColor(); }, std::chrono::seconds(10)));
    widget->setKey("backgroundImage", Value());
    EXPECT_EQ(view->backgroundColor(), platform::Color::fromRGBA(1, 0, 0));

    // A tile red in its top row, blue below, is enlarged to the screen's scale and stays upright.
    platform::BitmapContext bitmap(4, 2);
    bitmap.context().setFillColor(platform::Color::fromRGBA(1, 0, 0));
    bitmap.context().fillRect({ 0, 0, 4, 1 });
    bitmap.context().setFillColor(platform::Color::fromRGBA(0, 0, 1));
    bitmap.context().fillRect({ 0, 1, 4, 1 });
    auto tile = bitmap.image(1);
    auto scaled = BasicWidget::prepareImageForPattern(tile);
    EXPECT_EQ(scaled->scale(), 2);
    EXPECT_EQ(scaled->pixelWidth(), 8);
    EXPECT_EQ(scaled->pixelHeight(), 4);
    EXPECT_EQ(scaled->pixelAt(3, 0), (platform::Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(scaled->pixelAt(3, 3), (platform::Pixel { 0, 0, 255, 255 }));
    auto sharp = platform::Image::createTransparent(4, 2, 2);
    EXPECT_EQ(BasicWidget::prepareImageForPattern(sharp), sharp);
    platform::Screen::main().setScale(1);
    EXPECT_EQ(BasicWidget::prepareImageForPattern(tile), tile);
}

} // namespace
} // namespace morvix
