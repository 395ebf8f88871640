#pragma once
// The controller of one page of the application frame.

#include "core/base/WireDeclarations.h"
#include "platform/ui/ViewController.h"
#include "shell/KeyboardRelay.h"

#include <memory>

namespace morvix {

class DisplayRootViewController;
class FramePage;

namespace platform {
class ScrollView;
}

/// Shows one page of the application frame in a scroll view and tells the page of its
/// appearance. The placeholder at the bottom of the root controller's stack has no page. While
/// shown it hands the keyboard's will-show and will-hide notifications to the root controller,
/// which moves the focused field above the keyboard. `wasRemoved` records that the user navigated
/// back past the page. Main thread only.
class PageViewController : public platform::ViewController {
public:
    /// The style word of a page that the page's controller reads; the page declares it.
    static constexpr StyleDeclaration kFullscreenStyle {
        .word = "FULLSCREEN",
        .effect = "the frame's navigation bar is hidden while the page is shown",
    };

    /// The placeholder: no page.
    static std::shared_ptr<PageViewController> create();
    /// A page's controller; the page is held weakly.
    static std::shared_ptr<PageViewController> create(std::weak_ptr<FramePage> page);
    /// A new scroll view such as a page shows its content in (the drawer shows its content in
    /// one too): the screen's size, resizing with its superview, without bouncing, clipping its
    /// content, passing touches to the content at once, in the application's background colour.
    static std::shared_ptr<platform::ScrollView> makeScrollView();
    const char* className() const override { return "PageViewController"; }

    std::shared_ptr<FramePage> page() const { return m_page.lock(); }
    bool wasRemoved() const { return m_wasRemoved; }
    /// The frame clears it when it switches back to a top-level page.
    void setWasRemoved(bool removed) { m_wasRemoved = removed; }
    /// Detaches the page.
    void destroy() { m_page.reset(); }
    /// The view, as a scroll view.
    std::shared_ptr<platform::ScrollView> scrollView();
    /// The navigation controller when it is the root controller.
    std::shared_ptr<DisplayRootViewController> displayRootViewController() const;
    /// Not top level, and no longer in its navigation controller's stack (or without one).
    bool wasNavigatedBackByUser() const;

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void didMoveToParentViewController(const std::shared_ptr<platform::ViewController>& parent) override;
    bool canBecomeFirstResponder() const override { return true; }
    bool prefersStatusBarHidden() const override;

protected:
    PageViewController() = default;

private:
    void observeKeyboard();
    void keyboardWillChange(const platform::Notification& notification, KeyboardChange change);

    std::weak_ptr<FramePage> m_page;
    bool m_wasRemoved = false;
    KeyboardRelay m_keyboard;
};

} // namespace morvix
