// The button kinds made by a script application in a real session, tapped by the touch driver.

#include "widgets/controls/Button.h"

#include "core/objects/TypeConverter.h"
#include "platform/foundation/MainLoop.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/controls/CheckBox.h"
#include "widgets/controls/FlatButton.h"
#include "widgets/controls/PushButton.h"
#include "widgets/controls/RadioButton.h"
#include "widgets/controls/ToggleButton.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/text/Colors.h"
#include "widgets/text/FontHelper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using namespace std::chrono_literals;
using platform::Color;
using platform::ControlState;
using platform::Value;

class ButtonSessionTest : public testing::ScriptSessionFixture {
protected:
    std::shared_ptr<Button> button(const std::string& id) { return std::dynamic_pointer_cast<Button>(object(id)); }
    // A tap in the middle of the widget's view.
    void tap(const std::string& id)
    {
        auto view = widget(id)->view();
        harness.touches().tapView(*view, view->bounds().center());
    }
};

TEST_F(ButtonSessionTest, KindsComeFromTheStyleAndPushButtonsReportByTheirListeners)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('b1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 10, 120, 40], text: 'Push'});
        client.create('f1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 60, 120, 40], style: ['FLAT', 'TOGGLE']});
        client.create('c1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 110, 120, 40], style: ['RADIO', 'CHECK']});
        client.create('r1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 160, 120, 40], style: ['TOGGLE', 'RADIO']});
        client.create('t1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 210, 120, 40], style: ['TOGGLE']});)");
    EXPECT_TRUE(std::dynamic_pointer_cast<PushButton>(object("b1")));
    EXPECT_TRUE(std::dynamic_pointer_cast<FlatButton>(object("f1"))) << "FLAT is tested before TOGGLE";
    EXPECT_EQ(button("f1")->button()->buttonType(), platform::ButtonType::System);
    EXPECT_TRUE(std::dynamic_pointer_cast<CheckBox>(object("c1"))) << "CHECK is tested before RADIO";
    EXPECT_TRUE(std::dynamic_pointer_cast<RadioButton>(object("r1")));
    EXPECT_TRUE(std::dynamic_pointer_cast<ToggleButton>(object("t1")));
    messages();

    // No listener: the change waits for the scheduled flush.
    tap("b1");
    EXPECT_EQ(messages(), std::vector { message("schedule", { R"(["set","b1",{"selection":true}])" }) });
    EXPECT_FALSE(button("b1")->selection()) << "a push button has no toggle state";

    run("client.listen('b1', 'DefaultSelection', true);");
    messages();
    tap("b1");
    EXPECT_EQ(messages(), std::vector { message("send", { R"(["set","b1",{"selection":true}])",
                                                         R"(["notify","b1","DefaultSelection",{}])" }) });

    run("client.listen('b1', 'Selection', true);");
    messages();
    tap("b1");
    EXPECT_EQ(messages(), std::vector { message("send", { R"(["set","b1",{"selection":true}])",
                                                         R"(["notify","b1","Selection",{}])" }) });

    // A check box toggles and tells its state.
    run("client.listen('c1', 'Selection', true);");
    messages();
    tap("c1");
    tap("c1");
    EXPECT_EQ(messages(), (std::vector { message("send", { R"(["set","c1",{"selection":true}])",
                                                           R"(["notify","c1","Selection",{"selection":true}])" }),
                              message("send", { R"(["set","c1",{"selection":false}])",
                                                  R"(["notify","c1","Selection",{"selection":false}])" }) }));

    // Disabled: alpha 0.5 at once, and taps go nowhere.
    run("client.set('b1', {enabled: false});");
    EXPECT_EQ(widget("b1")->view()->alpha(), 0.5);
    EXPECT_EQ(button("b1")->getWithMethod("enabled"), Value(false));
    tap("b1");
    EXPECT_TRUE(messages().empty());
    run("client.set('b1', {enabled: true});");
    EXPECT_EQ(widget("b1")->view()->alpha(), 1.0);
}

TEST_F(ButtonSessionTest, TitleAlignmentAndStyleWords)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('b1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 10, 200, 40], text: 'Sa&ve\nall && more'});
        client.create('b2', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 60, 200, 80], style: ['WRAP', 'BORDER'],
            text: 'Two\nlines', alignment: 'right'});
        client.create('c1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 150, 200, 40], style: ['CHECK']});)");
    auto b1 = button("b1")->button();
    EXPECT_EQ(b1->titleForState(ControlState::Normal), "Saveall & more") << "line breaks are taken out";
    EXPECT_EQ(button("b1")->getWithMethod("text"), Value("Sa&ve\nall && more"));
    EXPECT_EQ(b1->titleLabel()->numberOfLines(), 1);
    EXPECT_EQ(b1->layer().borderWidth(), 0);
    EXPECT_EQ(b1->contentHorizontalAlignment(), platform::ContentHorizontalAlignment::Center);

    auto b2 = button("b2")->button();
    EXPECT_EQ(b2->titleForState(ControlState::Normal), "Two\nlines");
    EXPECT_EQ(b2->titleLabel()->numberOfLines(), 0);
    EXPECT_EQ(b2->layer().borderWidth(), 1);
    EXPECT_EQ(b2->contentHorizontalAlignment(), platform::ContentHorizontalAlignment::Right);
    EXPECT_EQ(b2->titleLabel()->textAlignment(), platform::TextAlignment::Right);
    run("client.set('b2', {alignment: 'middle'});");
    EXPECT_EQ(button("b2")->getWithMethod("alignment"), Value("middle"));
    EXPECT_EQ(b2->contentHorizontalAlignment(), platform::ContentHorizontalAlignment::Right) << "an unknown word changes nothing";
    run("client.set('b2', {alignment: 'left'});");
    EXPECT_EQ(b2->contentHorizontalAlignment(), platform::ContentHorizontalAlignment::Left);
    run("client.set('b2', {alignment: null});");
    EXPECT_EQ(button("b2")->getWithMethod("alignment"), Value("center")) << "the kind's default";

    // A check box wraps until a style without "WRAP" comes.
    auto c1 = button("c1")->button();
    EXPECT_EQ(c1->contentHorizontalAlignment(), platform::ContentHorizontalAlignment::Left);
    EXPECT_EQ(c1->titleLabel()->numberOfLines(), 1) << "the create's style came after the look";
    EXPECT_EQ(button("c1")->getWithMethod("font"), TypeConverter::fromUIFont(FontHelper::checkButtonFont()));
}

TEST_F(ButtonSessionTest, RadioButtonsUnselectTheirSiblingsEachInAMessageOfItsOwn)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('g1', 'zub.widgets.Composite', {parent: 'w1', bounds: [0, 0, 320, 200]});
        client.create('g2', 'zub.widgets.Composite', {parent: 'w1', bounds: [0, 200, 320, 100]});
        client.create('r1', 'zub.widgets.Button', {parent: 'g1', bounds: [10, 10, 150, 40], style: ['RADIO'], selection: true});
        client.create('c1', 'zub.widgets.Button', {parent: 'g1', bounds: [10, 60, 150, 40], style: ['CHECK'], selection: true});
        client.create('r2', 'zub.widgets.Button', {parent: 'g1', bounds: [10, 110, 150, 40], style: ['RADIO']});
        client.create('r3', 'zub.widgets.Button', {parent: 'g1', bounds: [170, 10, 150, 40], style: ['RADIO']});
        client.create('r4', 'zub.widgets.Button', {parent: 'g2', bounds: [10, 10, 150, 40], style: ['RADIO'], selection: true});
        client.listen('r2', 'Selection', true);)");
    messages();

    tap("r2");
    EXPECT_EQ(messages(), (std::vector { message("send", { R"(["notify","r1","Selection",{"selection":false}])" }),
                              message("send", { R"(["set","r2",{"selection":true}])",
                                                  R"(["notify","r2","Selection",{"selection":true}])" }) }));
    EXPECT_FALSE(button("r1")->selection());
    EXPECT_TRUE(button("c1")->selection()) << "a check box is no sibling";
    EXPECT_TRUE(button("r4")->selection()) << "another parent's radio is no sibling";

    tap("r2");
    EXPECT_TRUE(messages().empty()) << "a selected radio button tapped again does nothing";
    EXPECT_TRUE(button("r2")->selection());

    // A selection set by the peer unselects the siblings too, each reporting at once.
    run("client.set('r3', {selection: true});");
    EXPECT_EQ(messages(), std::vector { message("send", { R"(["notify","r2","Selection",{"selection":false}])" }) });
    EXPECT_TRUE(button("r3")->selection());
    EXPECT_TRUE(button("r4")->selection());
}

TEST_F(ButtonSessionTest, ToggleColoursFollowTheSelectionAndPictureOfEveryKind)
{
    platform::ImageContext canvas({ 16, 16 }, platform::Opaque::No, 1);
    canvas.context().setFillColor(Color::fromRGBA(0.9f, 0.2f, 0.1f));
    canvas.context().addEllipse({ 0, 0, 16, 16 });
    canvas.context().fillPath();
    auto png = canvas.image()->pngData();
    folder.write("dot.png", std::string(png.begin(), png.end()));

    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568], background: [255, 255, 255]});
        client.create('p1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 10, 140, 40], text: 'Push', style: ['BORDER']});
        client.create('p2', 'zub.widgets.Button', {parent: 'w1', bounds: [170, 10, 140, 40], text: 'Image',
            image: ['dot.png', 16, 16]});
        client.create('f1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 60, 140, 40], text: 'Flat', style: ['FLAT']});
        client.create('d1', 'zub.widgets.Button', {parent: 'w1', bounds: [170, 60, 140, 40], text: 'Disabled', enabled: false});
        client.create('c1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 110, 140, 40], text: 'Check', style: ['CHECK'],
            selection: true});
        client.create('c2', 'zub.widgets.Button', {parent: 'w1', bounds: [170, 110, 140, 40], text: 'Check', style: ['CHECK']});
        client.create('r1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 160, 140, 40], text: 'Radio', style: ['RADIO'],
            selection: true});
        client.create('r2', 'zub.widgets.Button', {parent: 'w1', bounds: [170, 160, 140, 40], text: 'Radio', style: ['RADIO']});
        client.create('t1', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 210, 140, 40], text: 'Toggle', style: ['TOGGLE']});
        client.create('t2', 'zub.widgets.Button', {parent: 'w1', bounds: [170, 210, 140, 40], text: 'Toggle', style: ['TOGGLE'],
            background: [255, 204, 0], selection: true});
        client.create('w', 'zub.widgets.Button', {parent: 'w1', bounds: [10, 260, 300, 70], style: ['WRAP', 'BORDER'],
            text: 'A &wrapped title\nin two lines'});)");
    auto t1 = button("t1")->button();
    Color active = FontHelper::activeColor();
    harness.advance(0.2);
    EXPECT_EQ(t1->titleColorForState(ControlState::Normal), active);
    EXPECT_EQ(t1->layer().borderColor(), active);

    tap("t1");
    harness.advance(0.2);
    EXPECT_TRUE(button("t1")->selection());
    EXPECT_EQ(t1->titleColorForState(ControlState::Normal), Color::white()) << "selected on a clear background";
    EXPECT_EQ(t1->titleColorForState(ControlState::Highlighted), Colors::highlightColorFor(Color::white()));
    EXPECT_EQ(t1->layer().borderColor(), active);
    EXPECT_EQ(button("t2")->button()->titleColorForState(ControlState::Normal), button("t2")->backgroundColor())
        << "selected on a background of its own";

    // The image comes from the application's folder, tinted with the foreground while pressed.
    auto p2 = button("p2")->button();
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return p2->imageForState(ControlState::Normal) != nullptr; }, 10s));
    auto pressed = p2->imageForState(ControlState::Highlighted);
    ASSERT_TRUE(pressed);
    auto middle = pressed->pixelAt(pressed->pixelWidth() / 2, pressed->pixelHeight() / 2);
    EXPECT_EQ(middle.blue, 251) << "the foreground's blue";
    EXPECT_EQ(pressed->pixelAt(0, 0).alpha, 0);
    harness.advance(0.5);

    auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = Color::white() });
    ASSERT_TRUE(picture);
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(picture->writePNG((directory / "buttons.png").string()));
}

} // namespace
} // namespace morvix
