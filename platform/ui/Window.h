#pragma once
// The root of a view tree on the screen: key status, first responder and touch delivery.

#include "platform/ui/View.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace morvix::platform {

/// A view at the root of a tree, shown on the screen. It holds its root view controller, the
/// first responder, and delivers touch events:
///  1. At touch-down the touch is hit-tested to a view, which stays its view. The enabled
///     recognisers of that view and of each ancestor up to the window (the window's own
///     included), whose delegates accept the touch, are fixed as the touch's recognisers.
///  2. Each phase goes to those recognisers first (`touches…`), then to the view and on along its
///     responder chain. Once one of the touch's recognisers has begun or recognised and cancels
///     touches in view, the view gets `touchesCancelled` for the touch, once, and nothing more.
///     Touches are never delayed.
///  3. When the last touch has lifted, recognisers in a final state are reset.
/// Owned by the application's window list (and whoever made it). Main thread only.
class Window : public View {
public:
    /// A window over the main screen's bounds when `frame` is empty.
    static std::shared_ptr<Window> create(const Rect& frame = {});
    ~Window() override;
    const char* className() const override { return "Window"; }

    std::shared_ptr<ViewController> rootViewController() const { return m_rootViewController; }
    /// Installs `controller`'s view to fill the window (replacing the previous root's view);
    /// on a visible window the controllers get their appearance calls.
    void setRootViewController(const std::shared_ptr<ViewController>& controller);

    /// Window levels: windows of a higher level show above those of a lower one.
    static constexpr double kLevelNormal = 0;
    static constexpr double kLevelAlert = 2000;
    double level() const { return m_level; }
    void setLevel(double level) { m_level = level; }
    /// Shown (by `makeKeyAndVisible` or `makeVisible`) and not hidden.
    bool isVisible() const { return m_visible && !isHidden(); }
    /// Grows each time a window is first shown: among windows of one level, the latest shown is
    /// on top. 0 for a window never shown.
    std::uint64_t showOrder() const { return m_showOrder; }
    /// Shows the window without making it key.
    void makeVisible();

    /// Makes this the application's key window and shows it.
    void makeKeyAndVisible();
    void makeKey();
    bool isKeyWindow() const;

    std::shared_ptr<Responder> firstResponder() const { return m_firstResponder.lock(); }
    /// Records the first responder; `Responder::becomeFirstResponder` is the normal way in.
    void setFirstResponder(const std::shared_ptr<Responder>& responder);

    /// Delivers one touch event (see the class comment).
    void sendEvent(const Event& event);
    bool isDeliveringEvent() const { return m_delivering; }
    /// The recognisers taking part in the current touch sequence.
    const std::vector<std::shared_ptr<GestureRecognizer>>& activeRecognizers() const { return m_activeRecognizers; }
    /// Takes a recogniser out of the current sequence.
    void forgetRecognizer(const GestureRecognizer& recognizer);
    /// Sends `touchesCancelled` to the views of the touches `recognizer` tracks, once per touch;
    /// called when a recogniser that cancels touches in view begins or recognises.
    void cancelViewTouches(const GestureRecognizer& recognizer);
    /// The touches currently down.
    const TouchSet& touchesDown() const { return m_touchesDown; }

    std::shared_ptr<Responder> nextResponder() const override { return nullptr; }

protected:
    explicit Window(const Rect& frame);

private:
    void collectRecognizers(Touch& touch);
    void hideEditMenuOnTouch(const Event& event);
    void deliverToRecognizers(const Event& event);
    void deliverToViews(const Event& event);
    void finishSequenceIfIdle();

    std::shared_ptr<ViewController> m_rootViewController;
    std::weak_ptr<Responder> m_firstResponder;
    std::vector<std::shared_ptr<GestureRecognizer>> m_activeRecognizers;
    TouchSet m_touchesDown;
    bool m_delivering = false;
    bool m_visible = false;
    double m_level = kLevelNormal;
    std::uint64_t m_showOrder = 0;
};

} // namespace morvix::platform
