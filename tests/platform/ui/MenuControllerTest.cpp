// The shared edit menu: what it offers, how it hides, and the text inputs' caret it points at.

#include "platform/ui/MenuController.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/controls/TextView.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvix::platform {
namespace {

// A field that can perform the actions named "mine:..." and records what it performs, and
// whether the menu was still showing then.
class ActingField final : public TextField {
public:
    static std::shared_ptr<ActingField> create() { return std::shared_ptr<ActingField>(new ActingField()); }
    bool canPerformAction(const std::string& action, const void* sender) override
    {
        return action.starts_with("mine:") || TextField::canPerformAction(action, sender);
    }
    bool performAction(const std::string& action) override
    {
        performed.push_back(action + (MenuController::shared().isMenuVisible() ? " (menu showing)" : ""));
        return true;
    }
    std::vector<std::string> performed;

private:
    ActingField() : TextField({ 20, 200, 200, 30 }) { }
};

class MenuControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NotificationCenter::resetDefaultForTesting();
        MenuController::shared().resetForTesting();
        harness.window()->addSubview(field);
        field->setText("hello world");
        ASSERT_TRUE(field->becomeFirstResponder());
        menu.setMenuItems({ { "One", "mine:one", Value(1) }, { "Other", "theirs:x", nullptr }, { "Two", "mine:two", Value(2) } });
        m_token = NotificationCenter::defaultCenter()->addObserver(MenuController::kDidHideMenuNotification, nullptr,
            [this](const Notification&) {
                hides.push_back(menu.isMenuVisible());
                // Hiding again from the notification finds the menu hidden: no second post.
                menu.setMenuVisible(false);
            });
    }
    void TearDown() override { menu.resetForTesting(); }

    UITestHarness harness;
    MenuController& menu = MenuController::shared();
    std::shared_ptr<ActingField> field = ActingField::create();
    std::vector<bool> hides;

private:
    ObserverToken m_token;
};

TEST_F(MenuControllerTest, ShowsWhatTheFirstResponderCanPerformAboveTheTarget)
{
    Rect caret = field->caretRect(5);
    menu.setTargetRect(caret, field);
    menu.setMenuVisible(true, Animated::Yes);
    ASSERT_TRUE(menu.isMenuVisible());
    ASSERT_EQ(menu.entries().size(), 2u);
    EXPECT_EQ(menu.entries()[0].title, "One");
    EXPECT_EQ(menu.entries()[1].title, "Two");
    Rect target = field->convertRectTo(caret, harness.window().get());
    Rect bar = menu.barFrame();
    EXPECT_LE(bar.maxY(), target.y()) << "the bar sits above the caret";
    EXPECT_NEAR(bar.midX(), target.midX(), 1);

    auto image = Renderer::render(*harness.window(), { .scale = 1 });
    ASSERT_NE(image, nullptr);
    auto pixel = image->pixelAt(static_cast<int>(bar.x() + 4), static_cast<int>(bar.midY()));
    EXPECT_LT(pixel.red, 80) << "a dark bar";
    EXPECT_GT(pixel.alpha, 200);

    // Without entries the menu stays hidden.
    menu.setMenuVisible(false);
    menu.setMenuItems({ { "Other", "theirs:x", nullptr } });
    menu.setMenuVisible(true);
    EXPECT_FALSE(menu.isMenuVisible());
    EXPECT_EQ(hides, (std::vector<bool> { false })) << "one did-hide, posted after the flag was cleared";
}

TEST_F(MenuControllerTest, ChoosingHidesFirstAndATouchHidesBeforeItIsDelivered)
{
    menu.setTargetRect(field->caretRect(0), field);
    menu.setMenuVisible(true);
    EXPECT_FALSE(menu.chooseItem("Other")) << "not an entry";
    EXPECT_TRUE(menu.chooseItem("Two"));
    EXPECT_EQ(field->performed, (std::vector<std::string> { "mine:two" }));
    EXPECT_EQ(hides, (std::vector<bool> { false }));
    EXPECT_FALSE(menu.chooseItem("One")) << "hidden";

    menu.setMenuVisible(true);
    ASSERT_TRUE(menu.isMenuVisible());
    harness.touches().tap({ 300, 20 });
    EXPECT_FALSE(menu.isMenuVisible());
    EXPECT_EQ(hides.size(), 2u);
}

TEST_F(MenuControllerTest, CaretRectsLieInTheInputsBoundsAndFollowTheText)
{
    Rect start = field->caretRect(0);
    Rect middle = field->caretRect(5);
    Rect end = field->caretRect(1000);
    EXPECT_LT(start.x(), middle.x());
    EXPECT_LT(middle.x(), end.x());
    EXPECT_GT(start.height(), 0);
    EXPECT_TRUE(field->bounds().contains(end.origin));

    auto view = TextView::create({ 0, 0, 60, 200 });
    view->setText("one two three four five six");
    Rect first = view->caretRect(0);
    Rect last = view->caretRect(27);
    EXPECT_GT(last.y(), first.y()) << "wrapped onto a later line";
    // Inside a surrogate pair the caret stands where the pair starts.
    view->setText("a\xF0\x9F\x98\x80");
    EXPECT_EQ(view->caretRect(2), view->caretRect(1));
}

} // namespace
} // namespace morvix::platform
