#pragma once
// The base of gesture recognisers: touch tracking, the state machine and arbitration.

#include "platform/graphics/Point.h"
#include "platform/ui/Responder.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace morvix::platform {

/// Recogniser states by the platform's numbers; `Ended` is also "recognised".
enum class GestureState { Possible = 0, Began = 1, Changed = 2, Ended = 3, Cancelled = 4, Failed = 5 };
inline constexpr GestureState kGestureRecognized = GestureState::Ended;
const char* stateName(GestureState state);

/// What a recogniser asks of its delegate. Every answer has the platform's default, so a delegate
/// overrides only what it cares about.
class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    /// Asked when the recogniser is about to leave the possible state; no fails it.
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }
    /// Asked at touch-down; no keeps the touch from the recogniser.
    virtual bool shouldReceiveTouch(GestureRecognizer&, const Touch&) { return true; }
    virtual bool shouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer& other) { (void)other; return false; }
    virtual bool shouldRequireFailureOf(GestureRecognizer&, GestureRecognizer& other) { (void)other; return false; }
    virtual bool shouldBeRequiredToFailBy(GestureRecognizer&, GestureRecognizer& other) { (void)other; return false; }
};

/// Watches the touches that land on its view (or a descendant) and decides whether they make a
/// gesture. Subclasses override the `touches…` handlers, call the base versions (which track the
/// touches), and move the state with `setState`.
///
/// Rules:
///  1. Valid transitions: possible -> began | ended | cancelled | failed; began | changed ->
///     changed | ended | cancelled. Others are ignored.
///  2. The actions run on began, changed, ended (recognised) and cancelled, except on possible ->
///     cancelled, which ends the recogniser like a failure: no action, and recognisers waiting
///     for its failure go on.
///  3. Leaving the possible state asks the delegate's `gestureRecognizerShouldBegin`, then that of
///     every view the touches landed on (`View::gestureRecognizerShouldBegin`); a no fails it.
///     A recogniser that requires the failure of another one that is still possible waits: it
///     takes the wanted state when the other fails, and fails when the other recognises.
///  4. A recogniser cannot begin while another one of the same touches has begun, unless the two
///     may recognise simultaneously (either delegate says so) or the other cannot prevent it.
///     When it begins or recognises, every other possible recogniser of the touches fails,
///     with the same exceptions.
///  5. Once the last touch has lifted, recognisers in a final state are `reset()` to possible.
///  6. Disabling (or detaching) a recogniser cancels it when it has begun and fails it otherwise.
///
/// Owned by its view (the view holds it strongly; it holds the view weakly). Main thread only.
class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
public:
    using Action = std::function<void(GestureRecognizer&)>;

    static std::shared_ptr<GestureRecognizer> create(Action action = {});
    virtual ~GestureRecognizer();
    GestureRecognizer(const GestureRecognizer&) = delete;
    GestureRecognizer& operator=(const GestureRecognizer&) = delete;

    virtual const char* className() const { return "GestureRecognizer"; }

    GestureState state() const { return m_state; }
    /// Moves the state by the rules above. Subclasses and tests call it.
    void setState(GestureState state);
    std::shared_ptr<View> view() const { return m_view.lock(); }

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    /// Subclasses may answer a fixed value.
    virtual bool cancelsTouchesInView() const { return m_cancelsTouchesInView; }
    void setCancelsTouchesInView(bool cancels) { m_cancelsTouchesInView = cancels; }
    /// Recorded only: touches are never delayed (a simplification of the headless layer).
    bool delaysTouchesBegan() const { return m_delaysTouchesBegan; }
    void setDelaysTouchesBegan(bool delays) { m_delaysTouchesBegan = delays; }
    bool delaysTouchesEnded() const { return m_delaysTouchesEnded; }
    void setDelaysTouchesEnded(bool delays) { m_delaysTouchesEnded = delays; }

    std::shared_ptr<GestureRecognizerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<GestureRecognizerDelegate> delegate) { m_delegate = std::move(delegate); }

    /// Adds an action that runs for as long as the recogniser lives.
    void addAction(Action action);
    /// Adds an action that runs only while `owner` is alive; `removeTarget` drops it.
    void addTarget(std::weak_ptr<void> owner, Action action);
    void removeTarget(const void* owner);

    /// This recogniser waits for `other` to fail before it recognises.
    void requireToFail(const std::shared_ptr<GestureRecognizer>& other);

    std::size_t numberOfTouches() const { return m_touches.size(); }
    /// The centroid of the tracked touches in `view` (window coordinates for null); the last
    /// known location when no touch is tracked.
    Point locationIn(const View* view) const;
    Point locationOfTouch(std::size_t index, const View* view) const;

    // Touch handling; the base versions track the touches.
    virtual void touchesBegan(const TouchSet& touches, const Event& event);
    virtual void touchesMoved(const TouchSet& touches, const Event& event);
    virtual void touchesEnded(const TouchSet& touches, const Event& event);
    virtual void touchesCancelled(const TouchSet& touches, const Event& event);
    /// Back to possible with no touches; subclasses clear their own state and call the base.
    virtual void reset();

    virtual bool canPrevent(const GestureRecognizer& other) const { (void)other; return true; }
    virtual bool canBePreventedBy(const GestureRecognizer& other) const { (void)other; return true; }
    virtual bool shouldRequireFailureOf(const GestureRecognizer& other) const { (void)other; return false; }
    virtual bool shouldBeRequiredToFailBy(const GestureRecognizer& other) const { (void)other; return false; }

    /// Test drive: sets the state without the rules and runs the actions (for state-machine
    /// arithmetic of containers that use recognisers).
    void driveState(GestureState state);

    bool isFinal() const { return m_state == GestureState::Ended || m_state == GestureState::Cancelled || m_state == GestureState::Failed; }
    bool isActive() const { return m_state == GestureState::Began || m_state == GestureState::Changed; }
    const TouchSet& trackedTouches() const { return m_touches; }

protected:
    explicit GestureRecognizer(Action action = {});

private:
    friend class View;
    friend class Window;
    struct Target {
        bool owned = false;
        std::weak_ptr<void> owner;
        Action action;
    };
    void attach(const std::shared_ptr<View>& view);
    void applyState(GestureState state);
    bool touchedViewsAllowBeginning();
    void runActions();
    bool mustWaitFor(GestureRecognizer& other);
    bool simultaneous(GestureRecognizer& other);
    std::vector<std::shared_ptr<GestureRecognizer>> peers() const;
    void resolvePending();
    void abandon();
    void forgetTouches(const TouchSet& touches);

    GestureState m_state = GestureState::Possible;
    std::optional<GestureState> m_pending;
    std::weak_ptr<View> m_view;
    bool m_enabled = true;
    bool m_cancelsTouchesInView = true;
    bool m_delaysTouchesBegan = false;
    bool m_delaysTouchesEnded = false;
    std::weak_ptr<GestureRecognizerDelegate> m_delegate;
    std::vector<Target> m_targets;
    std::vector<std::weak_ptr<GestureRecognizer>> m_requiredFailures;
    TouchSet m_touches;
    Point m_lastWindowLocation;
};

} // namespace morvix::platform
