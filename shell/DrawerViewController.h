#pragma once
// The controller behind a drawer object.

#include "platform/ui/ViewController.h"
#include "shell/KeyboardRelay.h"

#include <memory>

namespace morvix {

class ApplicationFrameClient;

namespace platform {
class ScrollView;
}

/// Shows a drawer object's content in a scroll view made like a page's. While shown it hands
/// the keyboard's will-show and will-hide notifications, with its scroll view, to the session's
/// root controller, which moves the focused field above the keyboard; it observes them once per
/// appearance. The client is held weakly. Main thread only.
class DrawerViewController final : public platform::ViewController {
public:
    static std::shared_ptr<DrawerViewController> create(std::weak_ptr<ApplicationFrameClient> client);
    const char* className() const override { return "DrawerViewController"; }

    std::shared_ptr<ApplicationFrameClient> client() const { return m_client.lock(); }
    /// The view, as a scroll view.
    std::shared_ptr<platform::ScrollView> scrollView();

    void loadView() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool canBecomeFirstResponder() const override { return true; }
    bool shouldAutorotate() const override { return true; }
    bool prefersStatusBarHidden() const override;

private:
    DrawerViewController() = default;
    void keyboardWillChange(const platform::Notification& notification, KeyboardChange change);

    std::weak_ptr<ApplicationFrameClient> m_client;
    KeyboardRelay m_keyboard;
};

} // namespace morvix
