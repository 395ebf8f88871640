// The two page switchers: the segmented control and the tab bar, tapped as a person would.

#include "platform/ui/TabBar.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/SegmentedControl.h"
#include "platform/ui/gestures/TouchDriver.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include "platform/graphics/Image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

class Taps final : public TabBarDelegate {
public:
    void tabBarDidSelectItem(TabBar&, const std::shared_ptr<TabBarItem>& item) override { titles.push_back(item->title()); }
    std::vector<std::string> titles;
};

std::filesystem::path lookDirectory()
{
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    return directory;
}

TEST(SwitcherTest, SegmentedControlSendsValueChangedOnlyForATapThatChangesTheSelection)
{
    UITestHarness harness;
    auto control = SegmentedControl::create({ 10, 10, 300, 50 });
    EXPECT_EQ(control->frame().height(), SegmentedControl::kHeight);
    harness.window()->addSubview(control);
    control->insertSegmentWithTitle("B", 0);
    control->insertSegmentWithTitle("A", 0);
    control->insertSegmentWithTitle("C", 9);
    EXPECT_EQ(control->titleForSegmentAtIndex(2), "C");
    EXPECT_EQ(control->selectedSegmentIndex(), SegmentedControl::kNoSegment);
    int changes = 0;
    control->addAction([&](Control&, const Event*) { ++changes; }, ControlEventValueChanged);
    control->setSelectedSegmentIndex(0);
    EXPECT_EQ(changes, 0);
    harness.touches().tapView(*control, { 250, 15 });
    EXPECT_EQ(control->selectedSegmentIndex(), 2);
    harness.touches().tapView(*control, { 250, 15 });
    EXPECT_EQ(changes, 1);
    control->insertSegmentWithTitle("Z", 0);
    EXPECT_EQ(control->selectedSegmentIndex(), 3); // the selection moves with its segment
    control->setSelectedSegmentIndex(4);
    EXPECT_EQ(control->selectedSegmentIndex(), SegmentedControl::kNoSegment);
    control->removeAllSegments();
    EXPECT_EQ(control->numberOfSegments(), 0);
}

TEST(SwitcherTest, SegmentWidthsByContentFollowTheTitlesAndTheirTaps)
{
    UITestHarness harness;
    auto control = SegmentedControl::create({ 0, 0, 320, 29 });
    harness.window()->addSubview(control);
    int index = 0;
    for (const char* title : { "All", "Log", "Warning" })
        control->insertSegmentWithTitle(title, index++);
    // Equal widths stay the default.
    auto equal = control->segmentFrames();
    ASSERT_EQ(equal.size(), 3u);
    EXPECT_DOUBLE_EQ(equal[0].width(), equal[2].width());

    control->setApportionsSegmentWidthsByContent(true);
    auto frames = control->segmentFrames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_GT(frames[2].width(), frames[0].width()) << "the longest title gets the widest segment";
    EXPECT_NEAR(frames[2].maxX(), 320, 1e-9) << "the segments fill the row";
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_DOUBLE_EQ(frames[i].x(), frames[i - 1].maxX());
    // A tap just inside the third segment's left edge selects it, where equal widths would not.
    double x = frames[2].x() + 1;
    ASSERT_LT(x, equal[2].x());
    harness.touches().tapView(*control, { x, 15 });
    EXPECT_EQ(control->selectedSegmentIndex(), 2);

    // Too narrow for the titles: every segment shrinks in proportion and the row still fits.
    control->setFrame({ 0, 0, 60, 29 });
    auto narrow = control->segmentFrames();
    EXPECT_NEAR(narrow[2].maxX(), 60, 1e-9);
    EXPECT_GT(narrow[2].width(), narrow[0].width());
}

TEST(SwitcherTest, TabBarTellsItsDelegateOfTapsOnEnabledItems)
{
    UITestHarness harness;
    auto bar = TabBar::create({ 0, 519, 320, 10 });
    EXPECT_EQ(bar->frame().height(), TabBar::kHeight);
    harness.window()->addSubview(bar);
    auto first = ViewController::create();
    first->setTitle("Files");
    auto files = first->tabBarItem();
    EXPECT_EQ(first->tabBarItem(), files);
    EXPECT_EQ(files->title(), "Files");
    auto mail = TabBarItem::create("Mail");
    auto off = TabBarItem::create("Off");
    off->setEnabled(false);
    bar->setItems({ files, mail, off });
    auto taps = std::make_shared<Taps>();
    bar->setDelegate(taps);
    bar->setSelectedItem(files);
    EXPECT_TRUE(taps->titles.empty());
    harness.touches().tapView(*bar, { 160, 25 });
    harness.touches().tapView(*bar, { 300, 25 });
    harness.touches().tapView(*bar, { 160, 25 });
    EXPECT_EQ(bar->selectedItem(), mail);
    EXPECT_EQ(taps->titles, (std::vector<std::string> { "Mail", "Mail" }));
    bar->setSelectedItem(TabBarItem::create("Stranger"));
    EXPECT_EQ(bar->selectedItem(), nullptr);

    bar->setSelectedItem(mail);
    mail->setBadgeValue("3");
    bar->setSelectedImageTintColor(Color::fromRGBA(1, 0, 0));
    auto control = SegmentedControl::create({ 10, 40, 300, 0 });
    harness.window()->addSubview(control);
    control->insertSegmentWithTitle("One", 0);
    control->insertSegmentWithTitle("Two", 1);
    control->setSelectedSegmentIndex(1);
    auto image = Renderer::render(*harness.window(), { .scale = 1, .backdrop = Color::white() });
    ASSERT_TRUE(image);
    Pixel selected = image->pixelAt(295, 45);
    EXPECT_LT(selected.red, 40); // the selected segment is filled with the tint
    bool badge = false;
    for (int x = 160; x < 200; ++x)
        badge |= image->pixelAt(x, 530).red > 200 && image->pixelAt(x, 530).green < 100;
    EXPECT_TRUE(badge);
    EXPECT_TRUE(image->writePNG((lookDirectory() / "switchers.png").string()));
}

} // namespace
