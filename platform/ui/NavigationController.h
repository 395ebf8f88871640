#pragma once
// A stack of view controllers with a navigation bar and a toolbar.

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/Rect.h"
#include "platform/ui/ViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace morvix::platform {

/// Hears of the navigation controller's transitions.
class NavigationControllerDelegate {
public:
    virtual ~NavigationControllerDelegate() = default;
    virtual void willShowViewController(NavigationController&, ViewController& controller, bool animated) { (void)controller; (void)animated; }
    virtual void didShowViewController(NavigationController&, ViewController& controller, bool animated) { (void)controller; (void)animated; }
};

/// A stack of controllers whose top one is shown between a navigation bar (44 points at the top)
/// and a toolbar (44 points at the bottom), each of which may be hidden.
///
/// Every stack change runs this contract, in order:
///  1. `viewControllers()` changes at once.
///  2. Removed controllers get `willMoveToParentViewController(nullptr)`; added ones are added as
///     children (which sends `willMoveToParentViewController(this)`).
///  3. The delegate's `willShowViewController` runs.
///  4. While this controller has appeared, the old top gets `viewWillDisappear` and the new top
///     `viewWillAppear`.
///  5. The transition finishes: at once when not animated, after `kTransitionDuration` on the
///     clock when animated.
///  6. The old top gets `viewDidDisappear`, the new top `viewDidAppear` (as in 4).
///  7. Removed controllers leave (`didMoveToParentViewController(nullptr)`); added ones get
///     `didMoveToParentViewController(this)`.
///  8. The delegate's `didShowViewController` runs, then the change's completion, then
///     `onTransitionComplete`.
/// A change that keeps the top controller only does 1, 2 and 7, with no delegate or appearance
/// calls. Popping a stack of one does nothing. A change requested while a transition runs first
/// finishes that transition at once (steps 6 to 8), then starts.
///
/// Each stack operation is a public virtual (subclasses override them) backed by a protected
/// non-virtual base that does the work. The back button goes through `popViewController`. There
/// is no interactive pop gesture. Main thread only.
class NavigationController : public ViewController {
public:
    static std::shared_ptr<NavigationController> create(const std::shared_ptr<ViewController>& root = nullptr);
    const char* className() const override { return "NavigationController"; }

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return m_stack; }
    std::shared_ptr<ViewController> topViewController() const { return m_stack.empty() ? nullptr : m_stack.back(); }
    /// The top controller, or the controller it presents.
    std::shared_ptr<ViewController> visibleViewController() const;

    /// Pushing a controller already on the stack is refused and logged.
    virtual void pushViewController(const std::shared_ptr<ViewController>& controller, Animated animated);
    /// The popped controller; null when the stack holds one controller or none.
    virtual std::shared_ptr<ViewController> popViewController(Animated animated);
    /// The popped controllers; empty when `controller` is not on the stack or already on top.
    virtual std::vector<std::shared_ptr<ViewController>> popToViewController(const std::shared_ptr<ViewController>& controller, Animated animated);
    virtual std::vector<std::shared_ptr<ViewController>> popToRootViewController(Animated animated);
    virtual void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, Animated animated);

    std::shared_ptr<NavigationControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<NavigationControllerDelegate> delegate) { m_delegate = std::move(delegate); }
    bool isTransitioning() const { return m_transition.has_value(); }
    /// Runs after every transition, after the delegate's did-show and the change's completion.
    std::function<void()> onTransitionComplete;
    /// Always null: the headless layer has no edge-swipe pop.
    std::shared_ptr<GestureRecognizer> interactivePopGestureRecognizer() const { return nullptr; }

    std::shared_ptr<NavigationBar> navigationBar();
    std::shared_ptr<Toolbar> toolbar();
    bool isNavigationBarHidden() const { return m_navigationBarHidden; }
    void setNavigationBarHidden(bool hidden, Animated animated = Animated::No);
    bool isToolbarHidden() const { return m_toolbarHidden; }
    void setToolbarHidden(bool hidden, Animated animated = Animated::No);
    /// Where the top controller's view goes: between the visible bars.
    Rect contentFrame();
    /// Called when a stacked controller's toolbar items change.
    void toolbarItemsChanged(const ViewController& controller);

    void loadView() override;
    /// Lays out the bars and the top controller's view.
    void layoutContent();

protected:
    NavigationController() = default;
    void basePush(const std::shared_ptr<ViewController>& controller, Animated animated, Completion completion = {});
    std::shared_ptr<ViewController> basePop(Animated animated, Completion completion = {});
    std::vector<std::shared_ptr<ViewController>> basePopTo(const std::shared_ptr<ViewController>& controller, Animated animated, Completion completion = {});
    std::vector<std::shared_ptr<ViewController>> basePopToRoot(Animated animated, Completion completion = {});
    void baseSetViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, Animated animated, Completion completion = {});
    std::vector<std::shared_ptr<ViewController>> appearanceChildren() const override;

private:
    struct Transition {
        std::shared_ptr<ViewController> oldTop;
        std::shared_ptr<ViewController> newTop;
        std::vector<std::shared_ptr<ViewController>> removed;
        std::vector<std::shared_ptr<ViewController>> added;
        bool appearance = false;
        bool animated = false;
        Completion completion;
        MainLoop::TimerId timer = 0;
    };
    void transition(std::vector<std::shared_ptr<ViewController>> stack, bool animated, Completion completion);
    void finishTransition();
    void updateBars();

    std::vector<std::shared_ptr<ViewController>> m_stack;
    std::weak_ptr<NavigationControllerDelegate> m_delegate;
    std::optional<Transition> m_transition;
    std::shared_ptr<NavigationBar> m_navigationBar;
    std::shared_ptr<Toolbar> m_toolbar;
    bool m_navigationBarHidden = false;
    bool m_toolbarHidden = true;
};

} // namespace morvix::platform
