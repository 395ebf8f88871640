// Tool bars in a real session against a loopback server: where items go around the title, what a
// tap reports, colours and images of the buttons, the plain pictures of "FLAT" bars, and the
// separator's picture.

#include "widgets/containers/ToolBar.h"

#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "tests/widgets/containers/ImageSessionFixture.h"
#include "widgets/containers/SeparatorImageRenderer.h"
#include "widgets/containers/ToolItem.h"
#include "widgets/delegating/DelegatingNavigationBar.h"

#include <cmath>

namespace morvix {
namespace {

using platform::Color;
using platform::Pixel;
using platform::Value;

constexpr const char* kBar = R"(["create","w11","zub.widgets.ToolBar",{"parent":"w1","bounds":[0,20,320,44]}],
    ["create","w12","zub.widgets.ToolItem",{"parent":"w11","index":0,"text":"&Open"}],
    ["create","w13","zub.widgets.ToolItem",{"parent":"w11","index":1,"text":"Title &x","data":{"title":true}}],
    ["create","w14","zub.widgets.ToolItem",{"parent":"w11","index":2,"text":"Save"}],
    ["create","w15","zub.widgets.ToolItem",{"parent":"w11","index":2,"text":"Quit"}])";

class ToolBarSessionTest : public testing::ImageSessionFixture {
protected:
    void SetUp() override
    {
        ImageSessionFixture::SetUp();
        start(kBar);
        bar = widget<ToolBar>("w11");
        ASSERT_NE(bar, nullptr);
    }
    std::shared_ptr<platform::BarButtonItem> button(const std::string& id) { return widget<ToolItem>(id)->item(); }
    // The titles of the buttons on one side, in the bar's order.
    static std::vector<std::string> titles(const std::vector<std::shared_ptr<platform::BarButtonItem>>& items)
    {
        std::vector<std::string> result;
        for (const auto& item : items)
            result.push_back(item->title());
        return result;
    }
    std::vector<std::string> left() const { return titles(bar->item()->leftBarButtonItems()); }
    std::vector<std::string> right() const { return titles(bar->item()->rightBarButtonItems()); }
    using Titles = std::vector<std::string>;

    std::shared_ptr<ToolBar> bar;
};

TEST_F(ToolBarSessionTest, ItemsGoLeftAndRightOfTheTitleInIndexOrder)
{
    EXPECT_EQ(left(), Titles({ "Open" }));
    EXPECT_EQ(right(), Titles({ "Save", "Quit" })) << "equal indices keep the children's order";
    EXPECT_EQ(bar->item()->title(), "Title &x") << "the title keeps its text as written";
    EXPECT_EQ(button("w12")->possibleTitles(), std::set<std::string>({ "Open" }));

    // Without a title item every item goes left.
    apply(R"(["set","w13",{"data":{}}])");
    EXPECT_EQ(left(), Titles({ "Open", "Title x", "Save", "Quit" }));
    EXPECT_EQ(bar->item()->title(), "");

    // Two title items: the later text, the split at the first.
    apply(R"(["set","w12",{"data":{"title":true}}])");
    apply(R"(["set","w14",{"data":{"title":true}}])");
    EXPECT_EQ(left(), Titles());
    EXPECT_EQ(right(), Titles({ "Title x", "Quit" }));
    EXPECT_EQ(bar->item()->title(), "Save");

    // Hidden and reordered at once; a destroyed item leaves.
    apply(R"(["set","w13",{"visible":false}])");
    EXPECT_EQ(right(), Titles({ "Quit" }));
    apply(R"(["set","w15",{"index":-1}])");
    EXPECT_EQ(left(), Titles({ "Quit" }));
    apply(R"(["destroy","w15"])");
    EXPECT_EQ(left(), Titles());
}

TEST_F(ToolBarSessionTest, ATapSendsSelectionOnlyWhileListened)
{
    EXPECT_EQ(apply(R"(["get","w12","enabled"])"), Value(false)) << "unset, enabled reads false";
    EXPECT_TRUE(button("w12")->isEnabled());
    auto sentSince = [&](std::size_t first) {
        Value all = Value::array();
        auto bodies = posts();
        for (std::size_t i = first; i < bodies.size(); ++i) {
            for (const auto& operation : bodies[i]["operations"]) {
                if (operation[1] != "w1") // the display reports where each touch went
                    all.push_back(operation);
            }
        }
        return all.dump();
    };
    std::size_t sent = posts().size();
    harness.touches().tapView(*button("w14")->view(), { 5, 5 });
    harness.advance(0.3);
    harness.runUntilIdle();

    apply(R"(["listen","w12",{"Selection":true}])");
    harness.touches().tapView(*button("w12")->view(), { 5, 5 });
    ASSERT_TRUE(waitUntil([&] { return sentSince(sent) != "[]"; }));
    EXPECT_EQ(sentSince(sent), R"([["notify","w12","Selection",{}]])");

    // A separator is a picture, not a button.
    apply(R"(["create","w16","zub.widgets.ToolItem",{"parent":"w11","index":-1,"style":["SEPARATOR"]}])");
    auto separator = button("w16");
    EXPECT_TRUE(separator->customView());
    EXPECT_FALSE(separator->hasAction());
    EXPECT_EQ(bar->item()->leftBarButtonItems().front(), separator);
}

TEST_F(ToolBarSessionTest, ColoursImagesAndFlatPictures)
{
    apply(R"(["set","w11",{"foreground":[255,0,0],"background":[0,0,255]}])");
    apply(R"(["set","w12",{"enabled":false}])");
    auto open = button("w12");
    EXPECT_EQ(open->titleColor(platform::ControlState::Normal), Color::fromRGBA(1, 0, 0));
    EXPECT_EQ(open->titleColor(platform::ControlState::Disabled), Color::fromRGBA(1, 0, 0, 0.5f));
    EXPECT_EQ(open->tintColor(), Color::fromRGBA(0, 0, 1)) << "without FLAT a button takes the bar's background as tint";
    EXPECT_EQ(bar->toolbar()->barTintColor(), Color::fromRGBA(0, 0, 1));
    EXPECT_EQ(apply(R"(["get","w11","background"])"), Value::parse("[0,0,255,255]"));
    apply(R"(["set","w11",{"foreground":null}])");
    EXPECT_FALSE(open->titleColor(platform::ControlState::Disabled));

    // An image that cannot be loaded leaves the text; one that loads takes the title's place.
    apply(R"(["set","w14",{"image":["missing.png",20,20]}])");
    ASSERT_TRUE(imagesSettled());
    EXPECT_EQ(server.requests().back().path, "/app/missing.png");
    EXPECT_EQ(button("w14")->title(), "Save");
    EXPECT_FALSE(button("w14")->image());
    apply(R"(["set","w14",{"image":["small.png",20,20]}])");
    ASSERT_TRUE(imagesSettled());
    EXPECT_TRUE(button("w14")->image());
    EXPECT_EQ(button("w14")->title(), "");
    apply(R"(["set","w14",{"image":null}])");
    EXPECT_EQ(button("w14")->title(), "Save");

    // FLAT: a plain picture of the background behind the bar, and behind titled buttons one
    // bordered in the foreground that keeps its 1-point ring when stretched.
    apply(R"(["set","w11",{"style":["FLAT"],"foreground":[255,0,0]}])");
    auto barPicture = bar->toolbar()->backgroundImage();
    ASSERT_TRUE(barPicture);
    EXPECT_EQ(barPicture->pixelAt(0, 0), (Pixel { 0, 0, 255, 255 }));
    EXPECT_FALSE(barPicture->capInsets());
    auto picture = button("w15")->backgroundImage(platform::ControlState::Normal);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelWidth(), 3);
    EXPECT_EQ(picture->scale(), 1);
    for (auto [x, y] : { std::pair { 0, 0 }, { 1, 0 }, { 2, 2 }, { 0, 1 } })
        EXPECT_EQ(picture->pixelAt(x, y), (Pixel { 255, 0, 0, 255 })) << x << ", " << y;
    EXPECT_EQ(picture->pixelAt(1, 1), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(picture->capInsets(), (platform::EdgeInsets { 1, 1, 1, 1 }));
    apply(R"(["set","w14",{"image":["small.png",20,20]}])");
    ASSERT_TRUE(imagesSettled());
    apply(R"(["set","w11",{"background":[0,0,255]}])");
    EXPECT_EQ(button("w14")->backgroundImage(platform::ControlState::Normal)->pixelAt(0, 0), (Pixel { 0, 0, 255, 255 }))
        << "an image button has no border";

    // The renderer stretches the pictures over the bar and the buttons.
    harness.runUntilIdle();
    auto image = platform::Renderer::render(*bar->view(), { .scale = 1 });
    ASSERT_TRUE(image);
    auto frame = button("w15")->view()->frame();
    EXPECT_EQ(image->pixelAt(int(frame.x()), int(frame.midY())), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(image->pixelAt(int(frame.x()) + 2, 2), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(image->pixelAt(160, 1), (Pixel { 0, 0, 255, 255 }));
    this->picture("tool-bar-flat.png");
}

// The separator at scale 2: the left column is the colour from top to bottom; the right column
// is white whose alpha rises from 0.5 at both ends to 1 in the middle, linearly in y.
TEST(SeparatorImageRendererTest, ColumnsByPixel)
{
    platform::UITestHarness harness({ 320, 568 }, 2);
    SeparatorImageRenderer renderer;
    auto image = renderer.image();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 4);
    EXPECT_EQ(image->pixelHeight(), 72);
    EXPECT_EQ(renderer.image(), image) << "kept once drawn";
    for (int y = 0; y < 72; ++y) {
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(image->pixelAt(x, y), (Pixel { 22, 126, 251, 255 })) << x << ", " << y;
        double middle = (y + 0.5) / 2;
        double fromEnd = middle < 18 ? middle : 36 - middle;
        double alpha = 255 * (0.5 + 0.5 * fromEnd / 18);
        for (int x = 2; x < 4; ++x) {
            auto pixel = image->pixelAt(x, y);
            EXPECT_NEAR(pixel.alpha, alpha, 2) << x << ", " << y;
            EXPECT_GE(pixel.red, 253);
        }
    }
    renderer.setColor(Color::fromRGBA(1, 0, 0));
    auto red = renderer.image();
    ASSERT_NE(red, image);
    EXPECT_EQ(red->pixelAt(0, 0), (Pixel { 255, 0, 0, 255 }));
}

} // namespace
} // namespace morvix
