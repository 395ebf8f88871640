#pragma once
// The window recogniser that reports where every touch begins, ends or is cancelled.

#include "platform/ui/gestures/TapGestureRecognizer.h"

#include <functional>
#include <memory>

namespace morvix {

/// Sits on the session's window and hands each touch event to its action when touches begin,
/// end or are cancelled; moves only go to the tap base. It never recognises: an ended touch
/// goes to the base as cancelled, so the recogniser fails, and recognisers that require its
/// failure (the remote tap) go ahead. It never cancels the touches of the views beneath.
///
/// The action receives the event, not the recogniser, and runs only while its target lives.
/// Owned by the window (and its `Display`). Main thread only.
class CursorLocationGestureRecognizer final : public platform::TapGestureRecognizer {
public:
    using EventAction = std::function<void(const platform::Event&)>;

    static std::shared_ptr<CursorLocationGestureRecognizer> create(std::weak_ptr<void> target, EventAction action);
    const char* className() const override { return "CursorLocationGestureRecognizer"; }

    /// The action, then the base.
    void touchesBegan(const platform::TouchSet& touches, const platform::Event& event) override;
    /// The base only.
    void touchesMoved(const platform::TouchSet& touches, const platform::Event& event) override;
    /// The action, then the base's handling of cancelled touches.
    void touchesEnded(const platform::TouchSet& touches, const platform::Event& event) override;
    /// The action, then the base.
    void touchesCancelled(const platform::TouchSet& touches, const platform::Event& event) override;

private:
    CursorLocationGestureRecognizer(std::weak_ptr<void> target, EventAction action);
    void executeAction(const platform::Event& event);

    std::weak_ptr<void> m_target;
    EventAction m_action;
};

} // namespace morvix
