// The application frame's root controller: bars from the actions, the page stack's appearance
// calls, and keyboard avoidance, with a fake session behind the frame's interface.

#include "shell/DisplayRootViewController.h"
#include "shell/FrameAction.h"
#include "shell/FramePage.h"
#include "shell/PageViewController.h"

#include "core/session/ApplicationFrameClient.h"
#include "core/session/ClientProvider.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using platform::Animated;
using platform::BarButtonItem;
using ItemList = std::vector<std::shared_ptr<BarButtonItem>>;

class FakeClient final : public ApplicationFrameClient {
public:
    std::shared_ptr<platform::ViewController> rootController() const override { return root.lock(); }
    std::shared_ptr<RemoteObject> rootObject() const override { return nullptr; }
    bool statusBarHidden() const override { return true; }
    bool supportsCustomDrawer() const override { return customDrawer; }
    bool hasDrawer() const override { return drawer; }
    bool topLevelMenuHasChoices() const override { return choices; }
    void enableDrawerGesture(bool enabled) override { gestureEnabled = enabled; }
    void toggleTopLevelMenu() override { ++toggles; }

    std::weak_ptr<platform::ViewController> root;
    bool customDrawer = false;
    bool drawer = false;
    bool choices = false;
    std::optional<bool> gestureEnabled;
    int toggles = 0;
};

class FakeApplication final : public platform::ApplicationDelegate, public ClientProvider {
public:
    std::shared_ptr<ApplicationFrameClient> client() const override { return session; }
    std::shared_ptr<FakeClient> session = std::make_shared<FakeClient>();
};

class FakeAction final : public FrameAction {
public:
    FakeAction(std::string title, ActionPlacementPriority priority, bool withItem = true)
        : item(withItem ? BarButtonItem::create(std::move(title)) : nullptr)
        , priority(priority)
    {
    }
    std::shared_ptr<BarButtonItem> barButtonItem() const override { return item; }
    bool isVisible() const override { return true; }
    ActionPlacementPriority placementPriority() const override { return priority; }
    std::shared_ptr<BarButtonItem> item;
    ActionPlacementPriority priority;
};

class FakePage final : public FramePage {
public:
    void controllerWillAppear(PageViewController&) override { calls.push_back("willAppear"); }
    void controllerDidAppear(PageViewController&) override { calls.push_back("didAppear"); }
    void controllerWillDisappear(PageViewController&) override { calls.push_back("willDisappear"); }
    void controllerDidDisappear(PageViewController&) override { calls.push_back("didDisappear"); }
    void controllerWasRemoved(PageViewController&) override { calls.push_back("wasRemoved"); }
    bool isTopLevel() const override { return false; }
    std::vector<std::string> style() const override { return styles; }
    std::vector<std::string> calls;
    std::vector<std::string> styles;
};

class DisplayRootViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Application::shared().setDelegate(application);
        root = DisplayRootViewController::create(client(), placeholder);
        client()->root = root;
        harness.window()->setRootViewController(root);
        harness.runUntilIdle();
    }
    std::shared_ptr<FakeClient> client() { return application->session; }
    void push(const std::shared_ptr<platform::ViewController>& controller)
    {
        root->pushViewController(controller, Animated::Yes);
        harness.advance(0.35);
        harness.runUntilIdle();
    }

    platform::UITestHarness harness;
    std::shared_ptr<FakeApplication> application = std::make_shared<FakeApplication>();
    std::shared_ptr<PageViewController> placeholder = PageViewController::create();
    std::shared_ptr<DisplayRootViewController> root;
};

TEST_F(DisplayRootViewControllerTest, BarsFollowTheActionsOnlyWhileTheFrameIsActive)
{
    EXPECT_TRUE(root->isNavigationBarHidden());
    EXPECT_TRUE(root->isToolbarHidden());
    EXPECT_EQ(root->modalPresentationStyle(), platform::ModalPresentationStyle::FullScreen);
    EXPECT_EQ(root->statusBarAppearanceUpdateCount(), 1);
    EXPECT_TRUE(root->prefersStatusBarHidden());

    auto low1 = std::make_shared<FakeAction>("L1", ActionPlacementPriority::Low);
    auto low2 = std::make_shared<FakeAction>("L2", ActionPlacementPriority::Low);
    auto normal1 = std::make_shared<FakeAction>("N1", ActionPlacementPriority::Normal);
    auto normal2 = std::make_shared<FakeAction>("N2", ActionPlacementPriority::Normal);
    auto high = std::make_shared<FakeAction>("H", ActionPlacementPriority::High);
    auto bare = std::make_shared<FakeAction>("none", ActionPlacementPriority::Low, false);
    root->setActions({ low1, low2, bare, high, normal1, normal2 });
    root->update();
    harness.runUntilIdle();
    EXPECT_TRUE(root->isNavigationBarHidden());
    EXPECT_TRUE(placeholder->toolbarItems().empty());
    EXPECT_TRUE(placeholder->navigationItem()->rightBarButtonItems().empty());

    root->setMorvixUIActive(true);
    root->update();
    harness.runUntilIdle();
    EXPECT_FALSE(root->isNavigationBarHidden());
    EXPECT_FALSE(root->isToolbarHidden());
    const auto& items = placeholder->toolbarItems();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ((ItemList { items[0], items[1] }), (ItemList { low1->item, low2->item }));
    EXPECT_TRUE(items[2]->isFlexibleSpace());
    EXPECT_EQ((ItemList { items[3], items[4] }), (ItemList { normal1->item, normal2->item }));
    EXPECT_EQ(placeholder->navigationItem()->rightBarButtonItems(), ItemList { high->item });

    // Only low ones: the space trails. None: no space. Only high ones: no toolbar.
    root->setActions({ low1, low2 });
    root->update();
    harness.runUntilIdle();
    ASSERT_EQ(placeholder->toolbarItems().size(), 3u);
    EXPECT_TRUE(placeholder->toolbarItems()[2]->isFlexibleSpace());
    root->setActions({ normal1 });
    root->update();
    harness.runUntilIdle();
    EXPECT_EQ(placeholder->toolbarItems(), ItemList { normal1->item });
    root->setActions({ high });
    root->update();
    harness.runUntilIdle();
    EXPECT_TRUE(root->isToolbarHidden());

    // A full-screen page hides the bar once shown; the next page brings it back.
    auto fullPage = std::make_shared<FakePage>();
    fullPage->styles = { "FULLSCREEN" };
    auto full = PageViewController::create(fullPage);
    push(full);
    EXPECT_TRUE(root->isFullscreen());
    EXPECT_TRUE(root->isNavigationBarHidden());
    auto plainPage = std::make_shared<FakePage>();
    auto plain = PageViewController::create(plainPage);
    push(plain);
    EXPECT_FALSE(root->isNavigationBarHidden());

    // reset: bars hidden at once, back to the placeholder, no actions.
    root->reset();
    harness.runUntilIdle();
    EXPECT_TRUE(root->isNavigationBarHidden());
    EXPECT_TRUE(root->items().empty());
    EXPECT_FALSE(root->morvixUIActive());
    EXPECT_EQ(root->topViewController(), placeholder);
}

TEST_F(DisplayRootViewControllerTest, TheMenuButtonShowsRightAboveThePlaceholderAndPagesHearOfTheirRemoval)
{
    root->setMorvixUIActive(true);
    client()->choices = true;
    auto firstPage = std::make_shared<FakePage>();
    auto first = PageViewController::create(firstPage);
    push(first);
    EXPECT_EQ(firstPage->calls, (std::vector<std::string> { "willAppear", "didAppear" }));
    EXPECT_TRUE(first->navigationItem()->hidesBackButton());
    auto menu = first->navigationItem()->leftBarButtonItem();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->style(), platform::BarButtonStyle::Bordered);
    EXPECT_EQ(menu->image(), root->imageRenderer().image());
    EXPECT_EQ(client()->gestureEnabled, true);

    // The menu button takes a finger's tap.
    root->view()->layoutIfNeeded();
    root->navigationBar()->layoutIfNeeded();
    harness.touches().tapView(*menu->view(), { 10, 10 });
    harness.runUntilIdle();
    EXPECT_EQ(client()->toggles, 1);

    // One page deeper: no menu button, the back button shows.
    auto secondPage = std::make_shared<FakePage>();
    auto second = PageViewController::create(secondPage);
    push(second);
    EXPECT_FALSE(second->navigationItem()->leftBarButtonItem());
    EXPECT_FALSE(second->navigationItem()->hidesBackButton());
    EXPECT_EQ(client()->gestureEnabled, false);

    // Back by the bar's back button, tapped: the page hears it was navigated back past.
    root->navigationBar()->layoutIfNeeded();
    auto back = root->navigationBar()->backButton();
    ASSERT_TRUE(back);
    harness.touches().tapView(*back->view(), { 10, 10 });
    harness.advance(0.35);
    harness.runUntilIdle();
    EXPECT_EQ(root->topViewController(), first);
    EXPECT_TRUE(second->wasRemoved());
    EXPECT_EQ(secondPage->calls,
        (std::vector<std::string> { "willAppear", "didAppear", "willDisappear", "didDisappear", "wasRemoved" }));
    EXPECT_FALSE(first->wasRemoved());
    EXPECT_TRUE(first->navigationItem()->leftBarButtonItem());

    // With a drawer supplied by a binding, the menu button follows the drawer object instead.
    client()->customDrawer = true;
    root->update();
    harness.runUntilIdle();
    EXPECT_FALSE(first->navigationItem()->leftBarButtonItem());
    client()->drawer = true;
    root->update();
    harness.runUntilIdle();
    EXPECT_TRUE(first->navigationItem()->leftBarButtonItem());
    EXPECT_TRUE(placeholder->navigationItem()->leftBarButtonItem());

    // A memory warning is passed on after the platform's own notification.
    std::vector<std::string> heard;
    auto center = platform::NotificationCenter::defaultCenter();
    auto platformToken = center->addObserver(platform::Application::kMemoryWarningNotification, nullptr,
        [&](const platform::Notification& note) { heard.push_back(note.name); });
    auto ownToken = center->addObserver(DisplayRootViewController::kMemoryWarningNotification, nullptr,
        [&](const platform::Notification& note) { heard.push_back(note.name); });
    platform::Application::shared().simulateMemoryWarning();
    EXPECT_EQ(heard, (std::vector<std::string> { platform::Application::kMemoryWarningNotification, DisplayRootViewController::kMemoryWarningNotification }));

    // A picture for a person: both bars, a title, back and menu buttons.
    first->setTitle("Inbox");
    client()->customDrawer = false;
    auto normal = std::make_shared<FakeAction>("Reply", ActionPlacementPriority::Normal);
    auto low = std::make_shared<FakeAction>("Archive", ActionPlacementPriority::Low);
    auto high = std::make_shared<FakeAction>("Edit", ActionPlacementPriority::High);
    root->setActions({ low, normal, high });
    auto thirdPage = std::make_shared<FakePage>();
    auto third = PageViewController::create(thirdPage);
    third->setTitle("Message");
    push(third);
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto folder = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(platform::Renderer::renderKeyWindowPNG((folder / "root-controller-back.png").string()));
    root->popViewController(Animated::No);
    harness.runUntilIdle();
    EXPECT_TRUE(platform::Renderer::renderKeyWindowPNG((folder / "root-controller-menu.png").string()));
}

TEST_F(DisplayRootViewControllerTest, TheFocusedFieldIsMovedAboveTheKeyboard)
{
    auto page = std::make_shared<FakePage>();
    auto controller = PageViewController::create(page);
    push(controller);
    auto scroll = controller->scrollView();
    ASSERT_DOUBLE_EQ(scroll->bounds().height(), 568);
    scroll->setContentSize({ 320, 1200 });
    // The keyboard leaves 568 - 216 = 352 points.
    struct Case {
        platform::Rect frame;
        double offset;
    };
    for (const auto& [frame, offset] : { Case { { 10, 100, 200, 30 }, 0 }, Case { { 10, 400, 200, 30 }, 78 },
             Case { { 10, 322, 200, 30 }, 0 }, Case { { 10, 323, 200, 30 }, 1 }, Case { { 10, 100, 200, 400 }, 100 } }) {
        SCOPED_TRACE(frame.y());
        auto field = platform::TextField::create(frame);
        scroll->addSubview(field);
        root->setActiveTextField(field);
        harness.touches().tapView(*field, { 5, 5 });
        harness.runUntilIdle();
        ASSERT_TRUE(field->isFirstResponder());
        EXPECT_DOUBLE_EQ(scroll->contentInset().bottom, 216);
        EXPECT_DOUBLE_EQ(scroll->contentOffset().y, offset);

        root->dismissFocus();
        harness.runUntilIdle();
        EXPECT_FALSE(field->isFirstResponder());
        EXPECT_FALSE(root->activeTextField());
        EXPECT_DOUBLE_EQ(scroll->contentInset().bottom, 0);
        EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
        field->removeFromSuperview();
    }

    // A field the root controller was not told of, or one outside the page: insets only.
    for (bool told : { false, true }) {
        auto field = platform::TextField::create({ 10, 500, 200, 30 });
        harness.window()->addSubview(field);
        if (told)
            root->setActiveTextField(field);
        harness.touches().tapView(*field, { 5, 5 });
        harness.runUntilIdle();
        EXPECT_DOUBLE_EQ(scroll->contentInset().bottom, 216);
        EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
        field->resignFirstResponder();
        harness.runUntilIdle();
        EXPECT_DOUBLE_EQ(scroll->contentInset().bottom, 0);
        field->removeFromSuperview();
    }
}

} // namespace
} // namespace morvix
