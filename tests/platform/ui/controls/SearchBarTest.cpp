// The search bar: its field typed into through the keyboard stand-in, its Cancel button and
// what each tells the delegate.

#include "platform/ui/controls/SearchBar.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/KeyboardTyping.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace morvix::platform {
namespace {

using Log = std::vector<std::string>;

class BarRecorder final : public SearchBarDelegate {
public:
    void searchBarTextDidChange(SearchBar&, const std::string& text) override { log.push_back("change " + text); }
    void searchBarSearchButtonClicked(SearchBar& bar) override { log.push_back("search " + bar.text()); }
    void searchBarCancelButtonClicked(SearchBar&) override { log.push_back("cancel"); }
    void searchBarTextDidEndEditing(SearchBar&) override { log.push_back("end"); }
    BarPosition positionForBar(SearchBar&) override { return BarPosition::TopAttached; }
    Log log;
};

class SearchBarTest : public ::testing::Test {
protected:
    void SetUp() override { NotificationCenter::resetDefaultForTesting(); }
    UITestHarness harness { { 320, 568 }, 1 };
};

TEST_F(SearchBarTest, TypingReturnCancelAndResigningReachTheDelegate)
{
    auto bar = SearchBar::create({ 0, 20, 320, 10 });
    harness.window()->addSubview(bar);
    auto recorder = std::make_shared<BarRecorder>();
    EXPECT_EQ(bar->barPosition(), BarPosition::Any);
    bar->setDelegate(recorder);
    EXPECT_EQ(bar->barPosition(), BarPosition::TopAttached);

    bar->sizeToFit();
    EXPECT_EQ(bar->frame().size, (Size { 320, SearchBar::kHeight }));
    bar->setPlaceholder("Find");
    EXPECT_EQ(bar->textField()->placeholder(), "Find");
    EXPECT_TRUE(bar->cancelButton()->isHidden());
    bar->setShowsCancelButton(true);
    EXPECT_FALSE(bar->cancelButton()->isHidden());
    EXPECT_LE(bar->textField()->frame().maxX(), bar->cancelButton()->frame().minX()) << "the field makes room for Cancel";

    bar->setText("code");
    EXPECT_EQ(bar->text(), "code");
    EXPECT_TRUE(bar->becomeFirstResponder());
    EXPECT_TRUE(bar->textField()->isFirstResponder()) << "the bar's focus is its field's";
    bar->setText("");
    EXPECT_TRUE(KeyboardTyping::type("ab"));
    EXPECT_TRUE(KeyboardTyping::pressReturn());
    harness.touches().tapView(*bar->cancelButton(), { 5, 5 });
    EXPECT_TRUE(bar->resignFirstResponder());
    EXPECT_FALSE(bar->textField()->isFirstResponder());
    EXPECT_EQ(recorder->log, (Log { "change a", "change ab", "search ab", "cancel", "end" }))
        << "text set from code tells nothing";

    recorder->log.clear();
    harness.touches().tapView(*bar->textField(), { 5, 5 });
    EXPECT_TRUE(bar->textField()->isFirstResponder()) << "a tap on the field focuses it";
    recorder.reset();
    EXPECT_TRUE(KeyboardTyping::type("c")) << "a bar whose delegate is gone still takes typing";
    EXPECT_EQ(bar->text(), "abc");
}

// The darkest red channel in a box of the image.
int darkest(const Image& image, int left, int top, int right, int bottom)
{
    int found = 255;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            found = std::min<int>(found, image.pixelAt(x, y).red);
    return found;
}

TEST_F(SearchBarTest, DrawsItsFieldPlaceholderAndCancel)
{
    auto window = harness.window();
    window->setBackgroundColor(Color::white());
    auto bar = SearchBar::create({ 0, 0, 320, 0 });
    bar->sizeToFit();
    bar->setPlaceholder("Search words");
    bar->setShowsCancelButton(true);
    window->addSubview(bar);
    bar->layoutIfNeeded();
    auto image = Renderer::render(*window);
    ASSERT_NE(image, nullptr);
    EXPECT_LT(image->pixelAt(2, 2).red, 230) << "the bar is grey";
    EXPECT_EQ(image->pixelAt(220, 22).red, 255) << "the field is white";
    const int placeholder = darkest(*image, 14, 10, 150, 34);
    EXPECT_LT(placeholder, 200) << "the placeholder is drawn";
    EXPECT_GT(placeholder, 60) << "in grey";
    EXPECT_LT(darkest(*image, 252, 10, 312, 34), 200) << "Cancel is drawn";

    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(Renderer::renderPNG(*window, (directory / "search-bar.png").string()));
}

} // namespace
} // namespace morvix::platform
