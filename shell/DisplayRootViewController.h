#pragma once
// The root controller of the application frame: the page stack with its bars.

#include "platform/graphics/Rect.h"
#include "shell/SequentialNavigationController.h"
#include "shell/TopLevelMenuImageRenderer.h"

#include <memory>
#include <vector>

namespace morvix {

class ApplicationFrameClient;
class FrameAction;

namespace platform {
class BarButtonItem;
class ScrollView;
struct Notification;
}

/// The session's root controller when the application frame is on: the stack of page
/// controllers, a placeholder page at the bottom. While the frame is active it shows the pages'
/// navigation bar (title, back button, top-level menu button, actions of high placement
/// priority) and a toolbar of the other actions; a page styled "FULLSCREEN" hides the bar while
/// it shows. It moves the focused text field above the keyboard and turns memory warnings and
/// rotations into notifications. Every redraw that follows a stack change goes through the
/// queue, so bars never change while a change runs. The client is held weakly. Main thread only.
class DisplayRootViewController : public SequentialNavigationController {
public:
    static constexpr const char* kMemoryWarningNotification = "com.zerivoquastel.morvix.MemoryWarning";
    static constexpr const char* kOrientationNotification = "UIDeviceOrientationDidChangeNotification";
    using ActionList = std::vector<std::shared_ptr<FrameAction>>;

    static std::shared_ptr<DisplayRootViewController> create(std::weak_ptr<ApplicationFrameClient> client,
        const std::shared_ptr<platform::ViewController>& root);
    const char* className() const override { return "DisplayRootViewController"; }

    std::shared_ptr<ApplicationFrameClient> client() const { return m_client.lock(); }
    bool morvixUIActive() const { return m_morvixUIActive; }
    /// Stores the flag; the next `update` follows it.
    void setMorvixUIActive(bool active) { m_morvixUIActive = active; }
    bool isFullscreen() const { return m_fullscreen; }
    void setFullscreen(bool fullscreen) { m_fullscreen = fullscreen; }
    const ActionList& items() const { return m_items; }
    /// Replaces the actions unless they are the same ones; the caller follows with `update`.
    void setActions(ActionList actions);
    const std::shared_ptr<platform::View>& activeTextField() const { return m_activeTextField; }
    void setActiveTextField(std::shared_ptr<platform::View> field) { m_activeTextField = std::move(field); }
    TopLevelMenuImageRenderer& imageRenderer() { return m_imageRenderer; }

    /// Redraws the bars of every stacked controller from the actions and the stack.
    void update();
    /// Back to the start: no actions, frame inactive, bars hidden, only the placeholder.
    void reset();
    void toggleTopLevelMenu();

    /// The controller below the top; null with fewer than two.
    std::shared_ptr<platform::ViewController> backViewController() const;
    /// No back controller, or it is the bottom one.
    bool isBackViewControllerSameAsRoot() const;
    bool isViewControllerOnTop(const platform::ViewController& controller) const;
    bool hasCustomDrawer() const;

    // Keyboard avoidance in the scroll view that holds a page's (or the drawer's) content.
    void keyboardWillBeShown(const platform::Notification& notification, platform::ScrollView& scrollView);
    void keyboardWillBeHidden(const platform::Notification& notification, platform::ScrollView& scrollView);
    /// The active text field resigns and is forgotten, the display's focus is cleared, and the
    /// view ends editing.
    void dismissFocus();

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    bool canBecomeFirstResponder() const override { return true; }
    bool prefersStatusBarHidden() const override;
    void didReceiveMemoryWarning() override;
    void didRotateFromInterfaceOrientation(int orientation) override;
    void willShowViewController(platform::NavigationController& navigation, platform::ViewController& controller, bool animated) override;
    void didShowViewController(platform::NavigationController& navigation, platform::ViewController& controller, bool animated) override;

protected:
    DisplayRootViewController() = default;

private:
    void updateNavigationBar();
    void updateToolbar(platform::ViewController& controller);
    void updateBackButton(platform::ViewController& controller);
    void updateDrawerAction(platform::ViewController& controller);
    void updateToolbarVisibility();
    void notifyDisplayChanged();
    void showTopLevelMenuButton(platform::ViewController& controller);
    void hideTopLevelMenuButton(platform::ViewController& controller);
    /// The toolbar's items: low-priority actions, a flexible space, then the others.
    std::vector<std::shared_ptr<platform::BarButtonItem>> toItemsWithSeparator(const ActionList& actions) const;

    void resetScrollView(platform::ScrollView& scrollView);
    /// Sets the bottom inset to the keyboard's height; answers the area the keyboard leaves.
    platform::Rect setupVisibleScrollArea(const platform::Notification& notification, platform::ScrollView& scrollView);
    void reveal(platform::ScrollView& scrollView, const platform::Rect& area, double duration);

    std::weak_ptr<ApplicationFrameClient> m_client;
    bool m_morvixUIActive = false;
    bool m_fullscreen = false;
    ActionList m_items;
    std::shared_ptr<platform::View> m_activeTextField;
    TopLevelMenuImageRenderer m_imageRenderer;
};

} // namespace morvix
