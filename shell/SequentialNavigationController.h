#pragma once
// A navigation controller that runs its stack changes one at a time.

#include "platform/ui/NavigationController.h"

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace morvix {

namespace platform {
enum class GestureState;
}

/// A navigation controller that never starts a stack change while another one runs. It is its
/// own delegate.
///
/// - Each stack operation decides at once when the controller is idle: it marks the controller
///   busy and hands the request to the platform's implementation through one of the forwards.
///   While busy, it queues a closure that decides again, against the stack as it then is, when
///   the running change has finished; such calls answer null or an empty list.
/// - Did-show clears `busy`, runs the next queued request and lets the root view take touches
///   again (pops switch them off while they run).
/// - A watchdog retries every 0.5 s on the main loop while a request waits; at the second
///   blocked attempt in a row it clears a `busy` that was left set, so the next retry runs it.
/// - A forward that starts no change (a pop of the root, a pop to a controller not on the
///   stack) releases the controller at once.
///
/// The root view is the session's root controller's view, found through the application's
/// delegate when it is a `ClientProvider`; without one, touches are left alone. Main thread only.
class SequentialNavigationController : public platform::NavigationController, public platform::NavigationControllerDelegate {
public:
    using Request = std::function<void()>;
    using ViewControllerList = std::vector<std::shared_ptr<platform::ViewController>>;
    /// How long the watchdog waits between attempts.
    static constexpr double kRetryInterval = 0.5;

    static std::shared_ptr<SequentialNavigationController> create(const std::shared_ptr<platform::ViewController>& root = nullptr);
    const char* className() const override { return "SequentialNavigationController"; }

    bool isBusy() const { return m_busy; }
    std::size_t queuedRequestCount() const { return m_queue.size(); }

    /// A controller already on the stack is popped back to; the top one is left as it is.
    void pushViewController(const std::shared_ptr<platform::ViewController>& controller, platform::Animated animated) override;
    std::shared_ptr<platform::ViewController> popViewController(platform::Animated animated) override;
    ViewControllerList popToViewController(const std::shared_ptr<platform::ViewController>& controller, platform::Animated animated) override;
    ViewControllerList popToRootViewController(platform::Animated animated) override;
    void setViewControllers(ViewControllerList controllers, platform::Animated animated) override;
    /// Sets the stack without `controller`.
    void removeViewController(const std::shared_ptr<platform::ViewController>& controller, platform::Animated animated);

    void willShowViewController(platform::NavigationController&, platform::ViewController& controller, bool animated) override;
    void didShowViewController(platform::NavigationController&, platform::ViewController& controller, bool animated) override;
    /// Follows an interactive pop gesture: busy from its start to its end. The headless
    /// controller has no such gesture, so nothing calls it but tests.
    void popGestureStateHandler(platform::GestureState state);

protected:
    SequentialNavigationController() = default;
    /// Sets the root, if any, and makes the controller its own delegate; `create` calls it.
    void setUp(const std::shared_ptr<platform::ViewController>& root);

    /// Queues `request` and runs what can run.
    void enqueue(Request request);
    /// Runs the next request when idle; otherwise counts a blocked attempt and retries later.
    void executeNext();

    // The platform's implementation; pops switch the root view's touches off first.
    virtual void forwardPush(const std::shared_ptr<platform::ViewController>& controller, platform::Animated animated);
    virtual std::shared_ptr<platform::ViewController> forwardPop(platform::Animated animated);
    virtual ViewControllerList forwardPopTo(const std::shared_ptr<platform::ViewController>& controller, platform::Animated animated);
    virtual ViewControllerList forwardPopToRoot(platform::Animated animated);
    virtual void forwardSetViewControllers(ViewControllerList controllers, platform::Animated animated);

    void blockUI();
    void unblockUI();

private:
    /// After a forward that started nothing: idle again, touches on, the next request runs.
    void release();
    bool differsFromTop(const ViewControllerList& controllers) const;

    std::deque<Request> m_queue;
    bool m_busy = false;
    unsigned m_loopCounter = 0;
};

} // namespace morvix
