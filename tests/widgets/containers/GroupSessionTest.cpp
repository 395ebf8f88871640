// Groups in a real session: the title and area frames, colours, fonts and the children's place.

#include "widgets/containers/Group.h"

#include "platform/graphics/Image.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using platform::Rect;

class GroupSessionTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        ScriptSessionFixture::SetUp();
        start(R"(
            client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
            client.create('w2', 'zub.widgets.Group', {parent: 'w1', text: 'Options', bounds: [10, 10, 100, 80]});)");
        group = std::dynamic_pointer_cast<Group>(widget("w2"));
        ASSERT_NE(group, nullptr);
        sent();
    }
    std::size_t indexOf(const std::shared_ptr<platform::View>& view) const
    {
        const auto& subviews = group->view()->subviews();
        return std::size_t(std::find(subviews.begin(), subviews.end(), view) - subviews.begin());
    }

    std::shared_ptr<Group> group;
};

TEST_F(GroupSessionTest, TheTitleIsTheFontSizePlusTwoAndTheAreaFillsTheRest)
{
    EXPECT_EQ(group->label()->text(), "Options");
    EXPECT_EQ(group->label()->frame(), (Rect { 9, 0, 82, 14 }));
    EXPECT_EQ(group->area()->frame(), (Rect { 0, 14, 100, 66 }));

    run("client.set('w2', {font: [['Sans'], 20, 0, 0]});");
    EXPECT_EQ(group->area()->frame(), (Rect { 0, 22, 100, 58 }));
    EXPECT_EQ(group->label()->frame().height(), 22);

    // Too small for the title: sizes stop at 0.
    run("client.set('w2', {bounds: [10, 10, 10, 15]});");
    EXPECT_EQ(group->label()->frame().width(), 0);
    EXPECT_EQ(group->area()->frame().height(), 0);
}

TEST_F(GroupSessionTest, BackgroundColoursOnlyTheAreaAndChildrenLieBetweenAreaAndTitle)
{
    run(R"(client.set('w2', {background: [255, 0, 0, 255], foreground: [0, 0, 255, 255]});
        client.create('w3', 'zub.widgets.Label', {parent: 'w2', text: 'child', bounds: [0, 0, 60, 20]});)");
    EXPECT_EQ(group->background(), platform::Color::fromRGBA(1, 0, 0, 1));
    auto child = widget("w3")->view();
    EXPECT_EQ(indexOf(group->area()), 0u);
    EXPECT_EQ(indexOf(child), 1u);
    EXPECT_EQ(indexOf(group->label()), 2u);
    EXPECT_FALSE(group->consistsOfView(group->area().get()));
    EXPECT_TRUE(group->consistsOfView(child.get()));

    auto image = platform::Renderer::render(*group->view(), { .scale = 1 });
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelAt(95, 5).alpha, 0); // the title strip stays clear
    EXPECT_EQ(image->pixelAt(95, 70), (platform::Pixel { 255, 0, 0, 255 }));
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(image->writePNG((directory / "group.png").string()));

    // Without a background image the group view takes the area's colour, title strip included.
    run("client.set('w2', {backgroundImage: null});");
    EXPECT_EQ(platform::Renderer::render(*group->view(), { .scale = 1 })->pixelAt(95, 5), (platform::Pixel { 255, 0, 0, 255 }));
}

} // namespace
} // namespace morvix
