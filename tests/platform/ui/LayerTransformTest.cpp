// Layer transforms with perspective, layer position animations as shown, rotation delivery and
// the restoration coder.

#include "platform/graphics/Image.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Layer.h"
#include "platform/ui/RestorationCoder.h"
#include "platform/ui/TimeInterval.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <numbers>

using namespace morvix::platform;

namespace {

class Counting final : public ViewController {
public:
    static std::shared_ptr<Counting> create() { return std::shared_ptr<Counting>(new Counting); }
    void willRotateToInterfaceOrientation(int, double) override { ++will; }
    void willAnimateRotationToInterfaceOrientation(int, double) override { ++animating; }
    void didRotateFromInterfaceOrientation(int) override { ++did; }
    bool shouldAutomaticallyForwardRotationMethods() const override { return forwards; }
    int will = 0;
    int animating = 0;
    int did = 0;
    bool forwards = true;

private:
    Counting() = default;
};

int opaqueColumns(const Image& image, int row)
{
    int count = 0;
    for (int x = 0; x < static_cast<int>(image.size().width); ++x)
        count += image.pixelAt(x, row).alpha > 0;
    return count;
}

} // namespace

TEST(LayerTransformTest, ViewTransformIsTheFlatPartOfTheLayers)
{
    UITestHarness harness;
    auto view = View::create(Rect(0, 0, 100, 50));
    view->setTransform(AffineTransform::scale(2, 1));
    EXPECT_EQ(view->layer().transform(), Transform3D::makeScale(2, 1, 1));
    Transform3D turned;
    turned.m34 = -0.002;
    turned = turned.rotated(0.5, 0, 1, 0);
    view->layer().setTransform(turned);
    EXPECT_EQ(view->transform3D(), turned);
    EXPECT_EQ(view->transform(), turned.affine());

    // Animated: flat transforms as affine values, 3-D ones as 3-D values.
    Animator::shared().animate(1, [&] { view->layer().setTransform(Transform3D::identity()); });
    auto records = Animator::shared().activeAnimations();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<Transform3D>(records[0].from));
    auto halfway = view->presentationTransform3D(harness.clock().now() + durationFromSeconds(0.5));
    EXPECT_LT(halfway.m13, 0);
    EXPECT_GT(halfway.m13, turned.m13);
    harness.advance(1);
    Animator::shared().animate(1, [&] { view->setTransform(AffineTransform::translation(5, 0)); });
    EXPECT_TRUE(std::holds_alternative<AffineTransform>(Animator::shared().activeAnimations()[0].to));
}

TEST(LayerTransformTest, RendererProjectsPerspectiveAndShowsPositionAnimations)
{
    UITestHarness harness;
    auto host = View::create(Rect(0, 0, 200, 100));
    auto card = View::create(Rect(50, 0, 100, 100));
    card->setBackgroundColor(Color::black());
    host->addSubview(card);
    auto flat = Renderer::render(*host);
    ASSERT_TRUE(flat);
    EXPECT_EQ(opaqueColumns(*flat, 2), 100);

    // Turned 60 degrees about the vertical axis in perspective: narrower, and taller on the
    // near edge than on the far one.
    Transform3D door;
    door.m34 = -1.0 / 500;
    card->layer().setTransform(door.rotated(std::numbers::pi / 3, 0, 1, 0));
    auto turned = Renderer::render(*host);
    ASSERT_TRUE(turned);
    int width = opaqueColumns(*turned, 50);
    EXPECT_GT(width, 40);
    EXPECT_LT(width, 70);
    int nearColumn = -1, farColumn = -1;
    for (int x = 0; x < 200; ++x) {
        if (turned->pixelAt(x, 50).alpha > 128) {
            if (nearColumn < 0)
                nearColumn = x;
            farColumn = x;
        }
    }
    auto columnHeight = [&](int x) {
        int count = 0;
        for (int y = 0; y < 100; ++y)
            count += turned->pixelAt(x, y).alpha > 128;
        return count;
    };
    EXPECT_NE(columnHeight(nearColumn + 1), columnHeight(farColumn - 1));

    // A keyframe animation of "position.x" moves what is shown, not the model.
    card->layer().setTransform(Transform3D::identity());
    LayerAnimation slide;
    slide.keyPath = "position.x";
    slide.values = { 100.0, 150.0, 100.0 };
    slide.duration = 1;
    auto start = harness.clock().now();
    card->layer().addAnimation(slide, "slide");
    EXPECT_EQ(card->presentationCenter(start + durationFromSeconds(0.5)).x, 150);
    EXPECT_EQ(card->presentationCenter(start + durationFromSeconds(0.25)).x, 125);
    EXPECT_EQ(card->center().x, 100);
    auto shown = Renderer::render(*host, { .time = start + durationFromSeconds(0.5) });
    EXPECT_EQ(shown->pixelAt(60, 50).alpha, 0);
    EXPECT_EQ(shown->pixelAt(180, 50).alpha, 255);
    harness.advance(1);
    EXPECT_EQ(card->presentationCenter(harness.clock().now()).x, 100);
}

TEST(LayerTransformTest, RotationReachesEachControllerOnceThroughItsRoot)
{
    UITestHarness harness;
    auto root = Counting::create();
    auto child = Counting::create();
    auto grandchild = Counting::create();
    root->addChildViewController(child);
    child->addChildViewController(grandchild);
    harness.window()->setRootViewController(root);
    harness.rotate();
    for (const auto* controller : { root.get(), child.get(), grandchild.get() }) {
        EXPECT_EQ(controller->will, 1);
        EXPECT_EQ(controller->animating, 1);
        EXPECT_EQ(controller->did, 1);
    }
    // A controller that forwards by itself keeps the calls from its children.
    child->forwards = false;
    harness.rotate();
    EXPECT_EQ(child->will, 2);
    EXPECT_EQ(grandchild->will, 1);
}

TEST(RestorationCoderTest, ControllersByReferenceAndIntegersByKey)
{
    UITestHarness harness;
    RestorationCoder coder;
    auto controller = ViewController::create();
    coder.encodeController(controller, "controller");
    coder.encodeInteger(2, "side");
    coder.encodeInteger(3, "side");
    EXPECT_EQ(coder.decodeController("controller"), controller);
    EXPECT_EQ(coder.decodeInteger("side"), 3);
    EXPECT_EQ(coder.decodeInteger("controller"), 0);
    EXPECT_EQ(coder.decodeController("missing"), nullptr);
    EXPECT_FALSE(coder.contains("missing"));
    EXPECT_EQ(coder.keys(), std::vector<std::string>({ "controller", "side" }));
}
