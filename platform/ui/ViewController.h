#pragma once
// A controller of one view: lazy loading, appearance, containment and modal presentation.

#include "platform/graphics/Size.h"
#include "platform/ui/Responder.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

class RestorationCoder;
class TabBarItem;

enum class AppearanceState { Disappeared, Appearing, Appeared, Disappearing };
enum class ModalPresentationStyle { FullScreen = 0, PageSheet = 1, FormSheet = 2, CurrentContext = 3, Custom = 4, OverFullScreen = 5 };
enum class ModalTransitionStyle { CoverVertical = 0, FlipHorizontal = 1, CrossDissolve = 2, PartialCurl = 3 };

/// Manages one view and its place among other controllers.
///
/// - The view loads lazily: the first `view()` runs `loadView` (a plain view over the screen by
///   default) and then `viewDidLoad`. Constructors never load it.
/// - Appearance: `beginAppearanceTransition(appearing)` and `endAppearanceTransition()` move
///   between disappeared, appearing, appeared and disappearing, calling `viewWillAppear`,
///   `viewDidAppear`, `viewWillDisappear` and `viewDidDisappear`; calls that do not fit the
///   current state are ignored. They are passed on to the children unless
///   `shouldAutomaticallyForwardAppearanceMethods` answers no.
/// - Containment: `addChildViewController` sends `willMoveToParentViewController(this)`;
///   `removeFromParentViewController` sends `didMoveToParentViewController(nullptr)`; the
///   other two calls are the caller's, as on the platform.
/// - Presentation: `presentViewController` shows another controller's view over the whole
///   window, after a transition of `kTransitionDuration` when animated; presenting while a
///   controller is already presented is refused and logged. A dismissal that starts while the
///   presentation is still animating takes over its appearance calls: the presenter appears
///   again and the presented controller disappears when the dismissal ends; the presentation's
///   completion still runs at its own end.
///
/// Owned by `shared_ptr`; parents and presenters are held weakly by children and presented
/// controllers. Main thread only.
class ViewController : public Responder {
public:
    using Completion = std::function<void()>;
    static constexpr double kTransitionDuration = 0.35;

    static std::shared_ptr<ViewController> create();
    ~ViewController() override;

    virtual const char* className() const { return "ViewController"; }

    // ---- View ----
    /// The view, loaded on first use.
    std::shared_ptr<View> view();
    bool isViewLoaded() const { return m_view != nullptr; }
    void setView(std::shared_ptr<View> view);
    virtual void loadView();
    virtual void viewDidLoad() { }
    virtual void viewWillAppear(bool animated) { (void)animated; }
    virtual void viewDidAppear(bool animated) { (void)animated; }
    virtual void viewWillDisappear(bool animated) { (void)animated; }
    virtual void viewDidDisappear(bool animated) { (void)animated; }
    virtual void viewWillLayoutSubviews() { }
    virtual void viewDidLayoutSubviews() { }

    // ---- Appearance ----
    AppearanceState appearanceState() const { return m_appearance; }
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();
    virtual bool shouldAutomaticallyForwardAppearanceMethods() const { return true; }

    // ---- Properties ----
    const std::string& title() const { return m_title; }
    virtual void setTitle(std::string title);
    /// The item a navigation bar shows for this controller; made on first use.
    std::shared_ptr<NavigationItem> navigationItem();
    /// The item a tab bar shows for this controller; made on first use with the title.
    std::shared_ptr<TabBarItem> tabBarItem();
    const std::vector<std::shared_ptr<BarButtonItem>>& toolbarItems() const { return m_toolbarItems; }
    void setToolbarItems(std::vector<std::shared_ptr<BarButtonItem>> items, Animated animated = Animated::No);
    bool hidesBottomBarWhenPushed() const { return m_hidesBottomBar; }
    void setHidesBottomBarWhenPushed(bool hides) { m_hidesBottomBar = hides; }
    ModalPresentationStyle modalPresentationStyle() const { return m_presentationStyle; }
    void setModalPresentationStyle(ModalPresentationStyle style) { m_presentationStyle = style; }
    ModalTransitionStyle modalTransitionStyle() const { return m_transitionStyle; }
    void setModalTransitionStyle(ModalTransitionStyle style) { m_transitionStyle = style; }
    bool definesPresentationContext() const { return m_definesContext; }
    void setDefinesPresentationContext(bool defines) { m_definesContext = defines; }
    /// Recorded only; the headless layer always lays out between the bars.
    unsigned edgesForExtendedLayout() const { return m_extendedEdges; }
    void setEdgesForExtendedLayout(unsigned edges) { m_extendedEdges = edges; }
    bool automaticallyAdjustsScrollViewInsets() const { return m_adjustsInsets; }
    void setAutomaticallyAdjustsScrollViewInsets(bool adjusts) { m_adjustsInsets = adjusts; }
    /// The size the controller's view would like in a container that asks (a popover); 0 by 0
    /// means no preference.
    Size preferredContentSize() const { return m_preferredContentSize; }
    void setPreferredContentSize(Size size) { m_preferredContentSize = size; }

    // ---- Containment ----
    std::shared_ptr<ViewController> parentViewController() const { return m_parent.lock(); }
    const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return m_children; }
    /// Adds `child` (leaving its old parent first); sends it `willMoveToParentViewController(this)`.
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    /// Leaves the parent and sends `didMoveToParentViewController(nullptr)`; no-op without one.
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(const std::shared_ptr<ViewController>& parent) { (void)parent; }
    virtual void didMoveToParentViewController(const std::shared_ptr<ViewController>& parent) { (void)parent; }
    /// The nearest ancestor that is a navigation controller.
    std::shared_ptr<NavigationController> navigationController() const;

    // ---- Presentation ----
    /// Presents `controller` from the outermost parent of this one. Refused (logged, the
    /// completion not run) when that controller already presents one.
    void presentViewController(const std::shared_ptr<ViewController>& controller, Animated animated, Completion completion = {});
    /// Dismisses the controller this one (or, when it presents nothing, its presenter) presents.
    void dismissViewController(Animated animated, Completion completion = {});
    std::shared_ptr<ViewController> presentedViewController() const { return m_presented; }
    std::shared_ptr<ViewController> presentingViewController() const { return m_presenting.lock(); }
    bool isBeingPresented() const { return m_beingPresented; }
    bool isBeingDismissed() const { return m_beingDismissed; }

    // ---- System events ----
    virtual void didReceiveMemoryWarning() { }
    virtual bool shouldAutorotate() const { return true; }
    virtual void willRotateToInterfaceOrientation(int orientation, double duration) { (void)orientation; (void)duration; }
    virtual void willAnimateRotationToInterfaceOrientation(int orientation, double duration) { (void)orientation; (void)duration; }
    virtual void didRotateFromInterfaceOrientation(int orientation) { (void)orientation; }
    /// No keeps the rotation calls from the children: the controller passes them on itself.
    virtual bool shouldAutomaticallyForwardRotationMethods() const { return true; }
    /// Rotation as the system delivers it: the controller's own call, then the same delivery to
    /// each child (only when it forwards automatically) and to the controller it presents.
    void deliverWillRotate(int orientation, double duration);
    void deliverWillAnimateRotation(int orientation, double duration);
    void deliverDidRotate(int orientation);
    /// The controllers whose status-bar style and hidden state stand for this one's; null
    /// means this one decides.
    virtual std::shared_ptr<ViewController> childViewControllerForStatusBarStyle() const { return nullptr; }
    virtual std::shared_ptr<ViewController> childViewControllerForStatusBarHidden() const { return nullptr; }

    // ---- State restoration ----
    /// Saves what restoring the controller needs; the default saves nothing.
    virtual void encodeRestorableState(RestorationCoder& coder) { (void)coder; }
    /// Restores what `encodeRestorableState` saved; the default reads nothing.
    virtual void decodeRestorableState(RestorationCoder& coder) { (void)coder; }
    virtual bool prefersStatusBarHidden() const { return false; }
    /// Recorded only: counts the calls.
    void setNeedsStatusBarAppearanceUpdate() { ++m_statusBarUpdates; }
    int statusBarAppearanceUpdateCount() const { return m_statusBarUpdates; }

    std::shared_ptr<Responder> nextResponder() const override;

protected:
    ViewController() = default;
    std::shared_ptr<ViewController> self() { return std::static_pointer_cast<ViewController>(shared_from_this()); }
    std::shared_ptr<Window> responderWindow() const override;
    /// The controllers appearance calls are passed on to; all children by default.
    virtual std::vector<std::shared_ptr<ViewController>> appearanceChildren() const { return m_children; }

private:
    void finishPresentation(std::shared_ptr<ViewController> presenter, std::shared_ptr<ViewController> presented, bool animated,
        bool presenting, Completion completion);

    std::shared_ptr<View> m_view;
    AppearanceState m_appearance = AppearanceState::Disappeared;
    bool m_appearanceAnimated = false;
    std::string m_title;
    std::shared_ptr<NavigationItem> m_navigationItem;
    std::shared_ptr<TabBarItem> m_tabBarItem;
    std::vector<std::shared_ptr<BarButtonItem>> m_toolbarItems;
    bool m_hidesBottomBar = false;
    ModalPresentationStyle m_presentationStyle = ModalPresentationStyle::FullScreen;
    ModalTransitionStyle m_transitionStyle = ModalTransitionStyle::CoverVertical;
    bool m_definesContext = false;
    unsigned m_extendedEdges = 15;
    bool m_adjustsInsets = true;
    Size m_preferredContentSize;
    std::weak_ptr<ViewController> m_parent;
    std::vector<std::shared_ptr<ViewController>> m_children;
    std::shared_ptr<ViewController> m_presented;
    std::weak_ptr<ViewController> m_presenting;
    bool m_beingPresented = false;
    bool m_beingDismissed = false;
    std::uint64_t m_presentationTransitions = 0; // counts presentations and dismissals of this controller
    int m_statusBarUpdates = 0;
};

} // namespace morvix::platform
