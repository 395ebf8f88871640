// What a person sees and what the peer receives, in a real session against a loopback server on
// a screen of scale 2: a swipe that fills its parent, a tab item's picture on the page it shows,
// a canvas that takes its drawing context's size, a tree's refresh handler that "data" takes
// back, and a camera picture of the resolution chosen, in pixels.

#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/screens/ImagePickerController.h"
#include "services/Camera.h"
#include "services/Printer.h"
#include "shell/Swipe.h"
#include "tests/widgets/containers/ImageSessionFixture.h"
#include "widgets/containers/Canvas.h"
#include "widgets/containers/TabItem.h"
#include "widgets/lists/Tree.h"
#include "widgets/lists/TreeController.h"
#include "widgets/lists/TreeItem.h"

namespace morvix {
namespace {

using platform::Pixel;
using platform::Rect;
using platform::Value;

constexpr Pixel kWhite { 255, 255, 255, 255 };
constexpr Pixel kBlue { 0, 0, 255, 255 };
// small.png, as the fixture's server gives it.
constexpr Pixel kSmallRed { 230, 26, 26, 255 };

class PagesAndPicturesSessionTest : public testing::ImageSessionFixture {
protected:
    // The window at scale 1 over a white backdrop, so that a point is a pixel.
    Pixel seen(double x, double y)
    {
        harness.runUntilIdle();
        auto image = platform::Renderer::render(*harness.window(), { .scale = 1, .backdrop = platform::Color::white() });
        return image ? image->pixelAt(int(x), int(y)) : Pixel {};
    }
    static bool near(Pixel pixel, Pixel wanted)
    {
        auto close = [](int a, int b) { return std::abs(a - b) <= 3; };
        return close(pixel.red, wanted.red) && close(pixel.green, wanted.green) && close(pixel.blue, wanted.blue)
            && close(pixel.alpha, wanted.alpha);
    }
};

TEST_F(PagesAndPicturesSessionTest, ASwipeWithoutLayoutDataFillsItsParentAndACanvasTakesItsContextsSize)
{
    start(R"(["create","w2","zub.widgets.Composite",{"parent":"w1","bounds":[0,0,200,300],"background":[0,0,255,255]}],
        ["create","w10","morvix.Swipe",{"parent":"w2"}],
        ["create","w3","zub.widgets.Composite",{"parent":"w1","bounds":[0,320,320,200],"background":[0,0,255,255]}],
        ["create","w5","zub.widgets.Canvas",{"parent":"w3","layoutData":{"left":10,"top":10}}])");
    auto swipe = widget<Swipe>("w10");
    ASSERT_NE(swipe, nullptr);
    // The swipe's empty first page is white over the blue parent, from corner to corner.
    EXPECT_EQ(swipe->view()->frame(), (Rect { 0, 0, 200, 300 }));
    EXPECT_EQ(seen(5, 5), kWhite);
    EXPECT_EQ(seen(195, 295), kWhite);
    // It follows its parent's size.
    apply(R"(["set","w2",{"bounds":[0,0,240,310]}])");
    EXPECT_EQ(swipe->view()->frame(), (Rect { 0, 0, 240, 310 }));
    EXPECT_EQ(seen(235, 305), kWhite);

    // A drawing context made after the layout sizes its canvas on the next pass.
    auto canvas = widget<Canvas>("w5");
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->view()->frame().size, (platform::Size { 0, 0 }));
    apply(R"(["create","g1","zub.widgets.GC",{"parent":"w5"}])");
    apply(R"(["call","g1","init",{"width":100,"height":80}])");
    apply(R"(["call","g1","draw",{"operations":[["fillStyle",[255,0,0]],["rect",0,0,100,80],["fill"]]}])");
    EXPECT_EQ(canvas->view()->frame(), (Rect { 10, 10, 100, 80 }));
    EXPECT_EQ(seen(10 + 95, 320 + 10 + 75), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(seen(10 + 105, 320 + 10 + 40), kBlue) << "nothing past the picture";

    // A second "init" renews the size again; without a context the canvas has none.
    apply(R"(["call","g1","init",{"width":40,"height":30}])");
    EXPECT_EQ(canvas->view()->frame(), (Rect { 10, 10, 40, 30 }));
    apply(R"(["destroy","g1"])");
    EXPECT_EQ(canvas->view()->frame().size, (platform::Size { 0, 0 }));
}

TEST_F(PagesAndPicturesSessionTest, ATabItemsBackgroundImagePaintsThePageItShows)
{
    start(R"(["create","w2","zub.widgets.TabFolder",{"parent":"w1","bounds":[0,0,320,400],"background":[0,0,255,255]}],
        ["create","l3","zub.widgets.Label",{"parent":"w2","text":"First"}],
        ["create","l4","zub.widgets.Label",{"parent":"w2","text":"Second"}],
        ["create","w3","zub.widgets.TabItem",{"parent":"w2","index":0,"text":"One","backgroundImage":["small.png",50,50],"control":"l3"}],
        ["create","w4","zub.widgets.TabItem",{"parent":"w2","index":1,"text":"Two"}])");
    ASSERT_TRUE(imagesSettled());
    // The image arrives after "control" has put the label on the page: it lies under the text.
    EXPECT_TRUE(near(seen(300, 300), kSmallRed)) << "the label's page shows the picture";

    // The empty page of an item without a control shows it as well.
    apply(R"(["set","w4",{"backgroundImage":["small.png",50,50]}])");
    apply(R"(["set","w2",{"selection":"w4"}])");
    ASSERT_TRUE(imagesSettled());
    EXPECT_TRUE(near(seen(300, 300), kSmallRed));

    // The picture follows the item to its next page and leaves the one it painted; null takes
    // it away.
    apply(R"(["set","w2",{"selection":"w3"}])");
    apply(R"(["set","w3",{"control":"l4"}])");
    ASSERT_TRUE(imagesSettled());
    EXPECT_TRUE(near(seen(300, 300), kSmallRed));
    EXPECT_EQ(widget("l3")->view()->backgroundPatternImage(), nullptr);
    apply(R"(["set","w3",{"backgroundImage":null}])");
    EXPECT_EQ(widget("l4")->view()->backgroundPatternImage(), nullptr);
    EXPECT_FALSE(near(seen(300, 300), kSmallRed));
}

TEST_F(PagesAndPicturesSessionTest, TreeDataWithoutARefreshHandlerLeavesItemsThatJoinLaterWithout)
{
    start(R"(["create","h1","morvix.RefreshHandler",{"message":"Loading"}],
        ["listen","h1",{"Refresh":true}],
        ["create","t1","zub.widgets.Grid",{"parent":"w1","bounds":[0,0,320,400],"data":{"refreshHandler":"h1"}}],
        ["create","i1","zub.widgets.GridItem",{"parent":"t1","index":0,"texts":["Early"],"itemCount":1}])");
    auto tree = widget<Tree>("t1");
    ASSERT_NE(tree, nullptr);
    auto early = std::dynamic_pointer_cast<TreeItem>(client->objectRegistry()->objectById("i1"));
    ASSERT_NE(early, nullptr);
    EXPECT_NE(early->treeController()->refreshControl(), nullptr);

    // "data" without the key: levels made from now on have no refresh control; those there keep
    // theirs.
    apply(R"(["set","t1",{"data":{"altSelection":"all"}}])");
    EXPECT_EQ(tree->refreshHandler(), "");
    apply(R"(["create","i2","zub.widgets.GridItem",{"parent":"t1","index":1,"texts":["Late"],"itemCount":1}])");
    auto late = std::dynamic_pointer_cast<TreeItem>(client->objectRegistry()->objectById("i2"));
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(late->treeController()->refreshControl(), nullptr);
    EXPECT_NE(early->treeController()->refreshControl(), nullptr);
}

TEST_F(PagesAndPicturesSessionTest, TheCameraSendsThePictureAtTheChosenResolutionInPixels)
{
    start(R"(["create","cam","morvix.Camera",{}],
        ["call","cam","open",{"sourceType":"photo_library","resolution":[100,100]}])");
    auto camera = std::dynamic_pointer_cast<Camera>(client->objectRegistry()->objectById("cam"));
    ASSERT_NE(camera, nullptr);
    ASSERT_NE(camera->picker(), nullptr);
    platform::ImageContext taken({ 400, 300 }, platform::Opaque::Yes, 1);
    taken.context().setFillColor(platform::Color::fromRGBA(0, 0.5f, 0));
    taken.context().fillRect({ 0, 0, 400, 300 });

    std::size_t before = posts().size();
    camera->picker()->pick(taken.image());
    ASSERT_TRUE(waitUntil([&] { return operationsFor("cam", before).size() == 1; }));
    Value selection = operationsFor("cam", before)[0];
    ASSERT_EQ(selection.size(), 4u);
    EXPECT_EQ(selection[2], "ImageSelection");
    auto jpeg = Printer::decodeBase64(selection[3]["image"].get<std::string>());
    ASSERT_TRUE(jpeg);
    auto picture = platform::Image::decode(std::vector<std::uint8_t>(jpeg->begin(), jpeg->end()));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixelWidth(), 100) << "a screen of scale 2 does not double the pixels";
    EXPECT_EQ(picture->pixelHeight(), 75);
}

} // namespace
} // namespace morvix
