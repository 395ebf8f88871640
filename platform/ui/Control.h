#pragma once
// The base of views the user operates directly: buttons, switches, sliders.

#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <vector>

namespace morvix::platform {

/// Control events by the platform's bit numbers; actions are registered for a mask of them.
enum ControlEvent : unsigned {
    ControlEventTouchDown = 1u << 0,
    ControlEventTouchDownRepeat = 1u << 1,
    ControlEventTouchDragInside = 1u << 2,
    ControlEventTouchDragOutside = 1u << 3,
    ControlEventTouchDragEnter = 1u << 4,
    ControlEventTouchDragExit = 1u << 5,
    ControlEventTouchUpInside = 1u << 6,
    ControlEventTouchUpOutside = 1u << 7,
    ControlEventTouchCancel = 1u << 8,
    ControlEventValueChanged = 1u << 12,
    ControlEventEditingDidBegin = 1u << 16,
    ControlEventEditingChanged = 1u << 17,
    ControlEventEditingDidEnd = 1u << 18,
    ControlEventEditingDidEndOnExit = 1u << 19,
    ControlEventAllTouchEvents = 0x00000FFFu,
    ControlEventAllEditingEvents = 0x000F0000u,
    ControlEventAllEvents = 0xFFFFFFFFu,
};

/// Control states by the platform's numbers: bits that combine (a selected, highlighted control
/// is `Selected | Highlighted`); per-state values are looked up by them.
enum class ControlState : unsigned { Normal = 0, Highlighted = 1u << 0, Disabled = 1u << 1, Selected = 1u << 2 };

/// Where a control puts its content (a button's image and title) across its width, by the
/// platform's numbers; `Fill` stretches the content to the whole width.
enum class ContentHorizontalAlignment { Center = 0, Left = 1, Right = 2, Fill = 3 };
/// Where a control puts its content down its height, by the platform's numbers; `Fill`
/// stretches the content to the whole height.
enum class ContentVerticalAlignment { Center = 0, Top = 1, Bottom = 2, Fill = 3 };

constexpr ControlState operator|(ControlState first, ControlState second)
{
    return static_cast<ControlState>(static_cast<unsigned>(first) | static_cast<unsigned>(second));
}
/// True when `state` has every bit of `bits` (and `bits` is not Normal).
constexpr bool hasState(ControlState state, ControlState bits)
{
    return bits != ControlState::Normal && (static_cast<unsigned>(state) & static_cast<unsigned>(bits)) == static_cast<unsigned>(bits);
}

/// A view that tracks its own touches and sends actions for control events.
///
/// Tracking follows the first finger that goes down on the control:
///  1. Down: highlighted, `TouchDown` (and `TouchDownRepeat` for the second and later taps of a
///     multiple tap).
///  2. Move: `TouchDragInside` or `TouchDragOutside`, with `TouchDragEnter` / `TouchDragExit`
///     when the finger crosses the border; highlighted while inside. "Inside" is the bounds grown
///     by `kTrackingMargin` on every side, so a finger that slips a little off still counts.
///  3. Up: no longer highlighted; `TouchUpInside` or `TouchUpOutside` by the same test.
///  4. Cancelled (a recogniser took the touch): no longer highlighted; `TouchCancel`.
/// A disabled control tracks nothing and hands its touches on along the responder chain.
///
/// Actions are `std::function`s registered for an event mask, either on their own or with a
/// target held weakly: once the target is gone its actions are skipped and dropped. Actions run
/// in the order they were added; an action may add or remove actions (a snapshot is run).
/// Main thread only.
class Control : public View {
public:
    using Action = std::function<void(Control& sender, const Event* event)>;

    /// How far outside the bounds a finger still counts as inside (points).
    static constexpr double kTrackingMargin = 70;

    static std::shared_ptr<Control> create(const Rect& frame = {});
    const char* className() const override { return "Control"; }

    bool isEnabled() const { return m_enabled; }
    virtual void setEnabled(bool enabled);
    bool isHighlighted() const { return m_highlighted; }
    virtual void setHighlighted(bool highlighted);
    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected);
    /// Where subclasses place their content; both centred at first.
    ContentHorizontalAlignment contentHorizontalAlignment() const { return m_horizontalAlignment; }
    void setContentHorizontalAlignment(ContentHorizontalAlignment alignment);
    ContentVerticalAlignment contentVerticalAlignment() const { return m_verticalAlignment; }
    void setContentVerticalAlignment(ContentVerticalAlignment alignment);
    /// The state bits: disabled, highlighted and selected as they are set.
    ControlState state() const;
    bool isTracking() const { return m_trackingTouch != nullptr; }
    /// Whether the tracked finger is inside (with the margin); false when not tracking.
    bool isTouchInside() const { return m_touchInside; }

    /// Registers `action` for the events of `events`, held as long as the control.
    void addAction(Action action, unsigned events);
    /// Registers `action` for `events` on behalf of `target`, which is held weakly: once it is
    /// gone the action is no longer run.
    void addTarget(const std::shared_ptr<void>& target, Action action, unsigned events);
    /// Takes `events` off the actions of `target` (every action's for a null target); actions
    /// left with no events are dropped.
    void removeTarget(const void* target, unsigned events);
    /// The events that have at least one action.
    unsigned allControlEvents() const;
    /// Runs the actions registered for any event of `events`, each once.
    void sendActionsForControlEvents(unsigned events, const Event* event = nullptr);

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

protected:
    explicit Control(const Rect& frame) : View(frame) { }

    /// Tracking hooks for subclasses (sliders move their thumb, switches toggle); each runs after
    /// the control has updated its state and before it sends the events of the step.
    virtual void beganTracking(const Touch& touch) { (void)touch; }
    virtual void continuedTracking(const Touch& touch) { (void)touch; }
    virtual void endedTracking(const Touch& touch, bool inside) { (void)touch, (void)inside; }
    virtual void cancelledTracking() { }

private:
    struct Registration {
        bool hasTarget = false;
        std::weak_ptr<void> target;
        const void* targetKey = nullptr;
        Action action;
        unsigned events = 0;
    };
    bool isTracked(const TouchSet& touches) const;
    bool isInsideWithMargin(const Touch& touch) const;
    void stopTracking();

    bool m_enabled = true;
    bool m_highlighted = false;
    bool m_selected = false;
    bool m_touchInside = false;
    ContentHorizontalAlignment m_horizontalAlignment = ContentHorizontalAlignment::Center;
    ContentVerticalAlignment m_verticalAlignment = ContentVerticalAlignment::Center;
    std::shared_ptr<Touch> m_trackingTouch;
    std::vector<Registration> m_registrations;
};

} // namespace morvix::platform
