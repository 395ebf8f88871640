// Image views and the zoom view of a label in a real session, with images from a loopback
// server, touched through the touch driver.

#include "widgets/containers/ImageView.h"

#include "platform/ui/ScrollView.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/gestures/TouchDriver.h"
#include "tests/widgets/containers/ImageSessionFixture.h"
#include "widgets/containers/UIZoomImageView.h"
#include "widgets/controls/Label.h"
#include "widgets/delegating/DelegatingImageView.h"
#include "widgets/delegating/DelegatingView.h"

namespace morvix {
namespace {

using platform::ContentMode;
using platform::Value;

class ImageViewSessionTest : public testing::ImageSessionFixture {
protected:
    std::shared_ptr<DelegatingImageView> shown(const char* id) { return widget<ImageView>(id)->imageView(); }
};

TEST_F(ImageViewSessionTest, ScaleModesAutoChoiceTintTouchesAndFailedLoads)
{
    start(R"(["create","i1","morvix.ImageView",{"parent":"w1","bounds":[0,0,100,100],"image":["small.png",50,50]}],
        ["create","i2","morvix.ImageView",{"parent":"w1","bounds":[110,0,50,50],"image":["small.png",50,50]}],
        ["create","i3","morvix.ImageView",{"parent":"w1","bounds":[170,0,100,100],"scaleMode":"Fit","image":["big.png",600,600]}])");
    auto i1 = shown("i1");
    ASSERT_TRUE(i1->image());
    EXPECT_EQ(i1->image()->size(), (platform::Size { 50, 50 }));
    EXPECT_EQ(i1->contentMode(), ContentMode::Center) << "a small image is centred unscaled";
    EXPECT_EQ(shown("i2")->contentMode(), ContentMode::Center) << "an image the size of the view counts as inside";
    EXPECT_EQ(shown("i3")->contentMode(), ContentMode::ScaleAspectFit) << "a large image is fitted";
    EXPECT_EQ(apply(R"(["get","i3","scaleMode"])"), Value("auto")) << "mode names are case-sensitive";

    // Every size change chooses again, before the resize is reported.
    apply(R"(["set","i1",{"bounds":[0,0,40,40]}])");
    EXPECT_EQ(i1->contentMode(), ContentMode::ScaleAspectFit);
    apply(R"(["set","i1",{"bounds":[0,0,100,100]}])");
    EXPECT_EQ(i1->contentMode(), ContentMode::Center);

    const std::pair<const char*, ContentMode> modes[] = { { "fit", ContentMode::ScaleAspectFit },
        { "fill", ContentMode::ScaleAspectFill }, { "stretch", ContentMode::ScaleToFill }, { "none", ContentMode::Center } };
    for (auto [name, mode] : modes) {
        apply((std::string(R"(["set","i3",{"scaleMode":")") + name + "\"}]").c_str());
        EXPECT_EQ(shown("i3")->contentMode(), mode) << name;
        EXPECT_EQ(apply(R"(["get","i3","scaleMode"])"), Value(name));
    }
    apply(R"(["set","i3",{"bounds":[170,0,40,40]}])");
    EXPECT_EQ(shown("i3")->contentMode(), ContentMode::Center) << "only \"auto\" chooses by size";

    // "foreground" is the tint and nothing else.
    apply(R"(["set","i1",{"foreground":[255,0,0]}])");
    EXPECT_EQ(i1->tintColor(), platform::Color::fromRGBA(1, 0, 0));
    EXPECT_FALSE(widget("i1")->foreground());
    EXPECT_EQ(apply(R"(["get","i1","foreground"])"), Value::parse("[255,0,0,255]"));

    // A failed load keeps the image shown; null clears it at once.
    auto before = i1->image();
    apply(R"(["set","i1",{"image":["missing.png",50,50]}])");
    ASSERT_TRUE(imagesSettled());
    EXPECT_EQ(i1->image(), before);
    EXPECT_EQ(server.requests().back().path, "/app/missing.png");
    apply(R"(["set","i2",{"image":null}])");
    EXPECT_FALSE(shown("i2")->image());

    // Touches: taken until the first listen, then exactly while a raw touch event is listened.
    EXPECT_TRUE(i1->isUserInteractionEnabled());
    apply(R"(["listen","i1",{"touchend":false}])");
    EXPECT_FALSE(i1->isUserInteractionEnabled());
    apply(R"(["listen","i1",{"touchstart":true}])");
    EXPECT_TRUE(i1->isUserInteractionEnabled());
    std::size_t sent = posts().size();
    auto touched = [&] {
        auto bodies = posts();
        for (std::size_t index = sent; index < bodies.size(); ++index) {
            for (const auto& operation : bodies[index]["operations"]) {
                if (operation[0] == "notify")
                    return operation[1].get<std::string>() + " " + operation[2].get<std::string>();
            }
        }
        return std::string();
    };
    harness.touches().tap({ 50, 50 });
    EXPECT_TRUE(waitUntil([&] { return !touched().empty(); }));
    EXPECT_EQ(touched(), "i1 touchstart");
    apply(R"(["listen","i1",{"touchstart":false}])");
    EXPECT_FALSE(i1->isUserInteractionEnabled());
    picture("image-views.png");
}

TEST_F(ImageViewSessionTest, ZoomLabelStartsFittedAndADoubleTapZoomsInAroundTheTap)
{
    start(R"(["create","z1","zub.widgets.Label",{"parent":"w1","bounds":[0,100,300,200],"data":{"zoom":true},
            "image":["big.png",600,600]}],
        ["create","z2","zub.widgets.Label",{"parent":"w1","bounds":[0,320,100,100],"image":["small.png",50,50]}])");
    auto z1 = widget<Label>("z1");
    auto zoom = z1->zoomView();
    ASSERT_TRUE(zoom);
    EXPECT_FALSE(z1->textView());
    EXPECT_FALSE(z1->imageView());
    auto scroll = zoom->view();
    EXPECT_EQ(scroll->frame(), (platform::Rect { 0, 0, 300, 200 }));
    ASSERT_TRUE(zoom->imageView()->image());
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 1.0 / 3);
    EXPECT_DOUBLE_EQ(scroll->minimumZoomScale(), 1.0 / 3);
    EXPECT_EQ(zoom->imageView()->frame(), (platform::Rect { 0, 0, 200, 200 }));

    // Image point (300, 300) lies at (100, 100) in the label, at (100, 200) in the window.
    harness.touches().doubleTap({ 100, 200 });
    harness.runUntilIdle();
    EXPECT_NEAR(scroll->zoomScale(), 0.5, 1e-6);
    EXPECT_NEAR(scroll->contentOffset().x, 0, 1e-4);
    EXPECT_NEAR(scroll->contentOffset().y, 50, 1e-4);

    // "zoom" again keeps the zoom view; a text is only stored; null clears the zoom view.
    apply(R"(["set","z1",{"data":{"zoom":true},"text":"ignored"}])");
    EXPECT_EQ(z1->zoomView(), zoom);
    EXPECT_EQ(zoom->view()->superview(), z1->container());
    EXPECT_TRUE(zoom->imageView()->image());
    EXPECT_EQ(z1->container()->subviews().size(), 1u);
    apply(R"(["set","z1",{"image":null}])");
    EXPECT_FALSE(zoom->imageView()->image());

    // A zoom that comes after the image shows the stored image.
    apply(R"(["set","z2",{"data":{"zoom":true}}])");
    ASSERT_TRUE(imagesSettled());
    auto late = widget<Label>("z2")->zoomView();
    ASSERT_TRUE(late);
    ASSERT_TRUE(late->imageView()->image());
    EXPECT_DOUBLE_EQ(late->view()->zoomScale(), 1.0) << "50 x 50 in 100 x 100 asks for 2, past the maximum";
    picture("zoom-label.png");
}

TEST(UIZoomImageViewTest, NoZoomIsComputedWithoutAFrameOrAnImage)
{
    platform::UITestHarness harness;
    auto zoom = UIZoomImageView::create(std::nullopt, {});
    EXPECT_EQ(zoom->view()->zoomScale(), 1.0);
    zoom->setImage(UIZoomImageView::createPlaceholder({ 40, 20 }));
    EXPECT_EQ(zoom->view()->zoomScale(), 1.0) << "no frame yet";
    EXPECT_EQ(zoom->view()->minimumZoomScale(), 1.0);
    zoom->setSize({ 0, 0 });
    EXPECT_EQ(zoom->view()->zoomScale(), 1.0);
    zoom->view()->setMaximumZoomScale(10);
    zoom->setSize({ 20, 20 });
    EXPECT_DOUBLE_EQ(zoom->view()->zoomScale(), 0.5);
    auto placeholder = UIZoomImageView::createPlaceholder({ 40, 20 });
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(placeholder->scale(), 1.0);
    EXPECT_EQ(placeholder->pixelAt(3, 3).alpha, 0);
    zoom->destroy();
    EXPECT_FALSE(zoom->view());
    zoom->setSize({ 30, 30 });
}

} // namespace
} // namespace morvix
