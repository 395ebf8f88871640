#include "platform/ui/Animator.h"
#include "platform/ui/Responder.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/TreeDump.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace morvix::platform;

namespace {

class ViewTest : public ::testing::Test {
protected:
    UITestHarness harness;
};

std::shared_ptr<View> named(const char* name, const Rect& frame)
{
    auto view = View::create(frame);
    view->setDebugName(name);
    return view;
}

void expectNear(Point actual, Point expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

// A view that takes the first-responder status, as a text input does.
class InputView final : public View {
public:
    static std::shared_ptr<InputView> create() { return std::shared_ptr<InputView>(new InputView); }
    bool canBecomeFirstResponder() const override { return true; }
    bool isKeyInput() const override { return true; }
};

// A widget view that sets itself up in its constructor, before any pointer owns it.
class SelfSettingLabel final : public Label {
public:
    static std::shared_ptr<SelfSettingLabel> create() { return std::shared_ptr<SelfSettingLabel>(new SelfSettingLabel); }

private:
    SelfSettingLabel() : Label(Rect())
    {
        setFrame(Rect(10, 10, 80, 20));
        setAlpha(0.5);
        setHidden(true);
        setHidden(false);
        setBackgroundColor(Color::white());
        setTransform(AffineTransform::scale(2, 2));
        setTransform(AffineTransform());
        setTranslatesAutoresizingMaskIntoConstraints(false);
        setContentHuggingPriority(300, LayoutAxis::Horizontal);
        setNeedsLayout();
        setNeedsUpdateConstraints();
        setText("made");
        setFont(Font::system(12));
        setNumberOfLines(2);
        windowInConstructor = window();
        converted = convertPointTo({ 1, 1 }, nullptr);
    }

public:
    std::shared_ptr<Window> windowInConstructor;
    Point converted;
};

} // namespace

TEST_F(ViewTest, SettersWorkInASubclassConstructor)
{
    std::shared_ptr<SelfSettingLabel> label;
    Animator::shared().animate(0.3, [&] { label = SelfSettingLabel::create(); });
    ASSERT_TRUE(label);
    EXPECT_EQ(label->windowInConstructor, nullptr) << "no tree yet";
    EXPECT_EQ(label->converted, Point(1, 1));
    EXPECT_EQ(label->frame(), Rect(10, 10, 80, 20));
    EXPECT_EQ(label->text(), "made");
    EXPECT_EQ(label->rootView(), label) << "owned now";
    harness.window()->addSubview(label);
    harness.advance(0.3);
    EXPECT_EQ(label->presentationAlpha(harness.clock().now()), 0.5);
    EXPECT_EQ(label->window(), harness.window());
}

TEST_F(ViewTest, FrameFollowsCentreBoundsAndTransform)
{
    auto view = View::create(Rect(10, 20, 100, 50));
    EXPECT_EQ(view->center(), Point(60, 45));
    EXPECT_EQ(view->bounds(), Rect(0, 0, 100, 50));
    view->setTransform(AffineTransform::scale(2, 1));
    EXPECT_EQ(view->frame(), Rect(-40, 20, 200, 50));
    view->setTransform(AffineTransform::rotation(std::numbers::pi / 2));
    Rect turned = view->frame();
    EXPECT_NEAR(turned.x(), 35, 1e-9);
    EXPECT_NEAR(turned.width(), 50, 1e-9);
    EXPECT_NEAR(turned.height(), 100, 1e-9);
    // A frame set on the turned view is the rectangle before the turn.
    view->setFrame(Rect(0, 0, 40, 20));
    EXPECT_EQ(view->bounds(), Rect(0, 0, 40, 20));
    EXPECT_EQ(view->center(), Point(20, 10));
    EXPECT_EQ(view->untransformedFrame(), Rect(0, 0, 40, 20));
    turned = view->frame();
    EXPECT_NEAR(turned.x(), 10, 1e-9);
    EXPECT_NEAR(turned.y(), -10, 1e-9);
    EXPECT_NEAR(turned.height(), 40, 1e-9);
    view->setAlpha(1.5);
    EXPECT_EQ(view->alpha(), 1);
    view->setAlpha(-1);
    EXPECT_EQ(view->alpha(), 0);
}

TEST_F(ViewTest, ConversionHonoursBoundsOriginsAndTransforms)
{
    auto outer = named("outer", Rect(50, 100, 200, 200));
    auto scroller = named("scroller", Rect(10, 10, 100, 100));
    auto inner = named("inner", Rect(30, 40, 20, 20));
    harness.window()->addSubview(outer);
    outer->addSubview(scroller);
    scroller->addSubview(inner);
    scroller->setBounds(Rect(0, 25, 100, 100)); // scrolled down by 25
    expectNear(inner->convertPointTo({ 0, 0 }, nullptr), { 90, 125 });
    expectNear(inner->convertPointFrom({ 90, 125 }, harness.window().get()), { 0, 0 });
    expectNear(inner->convertPointTo({ 5, 5 }, outer.get()), { 45, 30 });
    EXPECT_EQ(inner->convertRectTo(Rect(0, 0, 20, 20), outer.get()), Rect(40, 25, 20, 20));

    outer->setTransform(AffineTransform::scale(2, 2));
    // Scaled around outer's centre (150, 200): its origin moves to (-50, 0).
    expectNear(outer->convertPointTo({ 0, 0 }, nullptr), { -50, 0 });
    expectNear(outer->convertPointFrom(outer->convertPointTo({ 12, 34 }, nullptr), nullptr), { 12, 34 });
}

TEST_F(ViewTest, HitTestFindsTheFrontmostVisibleInteractiveView)
{
    auto back = named("back", Rect(0, 0, 200, 200));
    auto front = named("front", Rect(50, 50, 100, 100));
    auto child = named("child", Rect(10, 10, 20, 20));
    harness.window()->addSubview(back);
    harness.window()->addSubview(front);
    front->addSubview(child);
    auto window = harness.window();
    EXPECT_EQ(window->hitTest({ 65, 65 }), child);
    EXPECT_EQ(window->hitTest({ 100, 100 }), front);
    EXPECT_EQ(window->hitTest({ 10, 10 }), back);
    front->setAlpha(0.005);
    EXPECT_EQ(window->hitTest({ 65, 65 }), back) << "nearly transparent views take no touches";
    front->setAlpha(1);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest({ 65, 65 }), back);
    front->setUserInteractionEnabled(true);
    front->setHidden(true);
    EXPECT_EQ(window->hitTest({ 65, 65 }), back);
    front->setHidden(false);
    // A subview reaching outside its superview is not hit there.
    child->setFrame(Rect(90, 90, 50, 50));
    EXPECT_EQ(window->hitTest({ 170, 170 }), back);
    EXPECT_EQ(window->hitTest({ 400, 400 }), nullptr);
}

TEST_F(ViewTest, SubviewOrderOperations)
{
    auto parent = named("parent", Rect(0, 0, 100, 100));
    auto a = named("a", {}), b = named("b", {}), c = named("c", {});
    parent->addSubview(a);
    parent->addSubview(b);
    parent->insertSubviewBelow(c, a);
    auto order = [&] {
        std::string text;
        for (const auto& view : parent->subviews())
            text += view->debugName();
        return text;
    };
    EXPECT_EQ(order(), "cab");
    parent->insertSubviewAbove(c, a);
    EXPECT_EQ(order(), "acb");
    parent->bringSubviewToFront(a);
    EXPECT_EQ(order(), "cba");
    parent->sendSubviewToBack(b);
    EXPECT_EQ(order(), "bca");
    parent->addSubview(b);
    EXPECT_EQ(order(), "cab") << "adding again moves to the top";
    auto other = named("other", {});
    other->addSubview(c);
    EXPECT_EQ(order(), "ab") << "a view has one superview";
    EXPECT_EQ(c->superview(), other);
}

TEST_F(ViewTest, FirstResponderIsHeldPerWindowAndEndEditingResignsIt)
{
    auto container = named("container", Rect(0, 0, 100, 100));
    auto input = InputView::create();
    container->addSubview(input);
    EXPECT_FALSE(input->becomeFirstResponder()) << "not in a window";
    harness.window()->addSubview(container);
    EXPECT_TRUE(input->becomeFirstResponder());
    EXPECT_TRUE(input->isFirstResponder());
    EXPECT_FALSE(container->becomeFirstResponder()) << "a plain view cannot";
    EXPECT_TRUE(container->endEditing(false));
    EXPECT_FALSE(input->isFirstResponder());
    EXPECT_TRUE(input->becomeFirstResponder());
    container->removeFromSuperview();
    EXPECT_EQ(harness.window()->firstResponder(), nullptr) << "leaving the window resigns";
}

TEST_F(ViewTest, TreeDumpListsViewsRecognisersAndConstraintsStably)
{
    auto box = named("w2", Rect(10, 10, 100, 50));
    box->setBackgroundColor(Color::fromRGBA(1, 0, 0));
    box->setAlpha(0.5);
    box->layer().setCornerRadius(10);
    auto plain = View::create(Rect(0, 0, 5, 5));
    plain->setHidden(true);
    box->addSubview(plain);
    harness.window()->addSubview(box);
    std::string dump = dumpTree(*harness.window());
    EXPECT_EQ(dump,
        "Window frame=(0, 0, 320, 568)\n"
        "  View \"w2\" frame=(10, 10, 100, 50) alpha=0.5 bg=#FF0000FF radius=10\n"
        "    View frame=(0, 0, 5, 5) hidden\n");
    EXPECT_EQ(findView(*harness.window(), "w2"), box);
    EXPECT_EQ(harness.find("nothing"), nullptr);
}
