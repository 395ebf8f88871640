#pragma once
// The tinted overlay shown over a widget while a finger rests on it.

#include "platform/graphics/Point.h"
#include "platform/ui/gestures/TapGestureRecognizer.h"

#include <memory>

namespace morvix {

class BasicWidget;

/// Touch feedback: while a finger rests on the recogniser's view, an overlay in the feedback
/// colour (`FontHelper::touchFeedbackColor`) fades in over exactly the pixels the view draws,
/// and it fades out when the finger lifts, moves more than `kMoveLimit` points (window
/// coordinates) from where it went down, or the touch is cancelled.
///
/// Rules:
///  1. A touch shows a new overlay after fading out the previous one: at most one overlay of
///     this recogniser is on its way in or on show.
///  2. The overlay is a subview of the recogniser's view covering its frame size at (0, 0),
///     masked by a picture of the view taken before the overlay was added, and never takes
///     touches itself. It fades to `kShownAlpha` over `kFadeInDuration` and back to 0 over
///     `kFadeOutDuration`, each from the value on show at that moment.
///  3. A faded-out overlay is taken off its view when its fade ends; `touchView` is forgotten
///     only when it is that overlay, so a touch during a fade-out keeps its own overlay.
///  4. The recogniser is its own delegate: it recognises together with every other recogniser,
///     never cancels the view's touches, and recognises no tap for a disabled widget or on a
///     view that is a `platform::Control` (which highlights itself). The feedback shows either
///     way.
///  5. It keeps receiving its touches until they lift even when the tap can no longer succeed
///     (a finger held or moved beyond the tap's limits), so that the move limit applies.
///
/// Owned by the view it is added to (and by its `Control`). Main thread only.
class ShowTouchGestureRecognizer final : public platform::TapGestureRecognizer, public platform::GestureRecognizerDelegate {
public:
    static constexpr double kShownAlpha = 0.4;
    static constexpr double kFadeInDuration = 0.05;
    static constexpr double kFadeOutDuration = 0.2;
    static constexpr double kMoveLimit = 15;

    /// A recogniser for `widget` (held weakly; null for none).
    static std::shared_ptr<ShowTouchGestureRecognizer> create(const std::shared_ptr<BasicWidget>& widget = nullptr);
    const char* className() const override { return "ShowTouchGestureRecognizer"; }

    std::shared_ptr<BasicWidget> widget() const { return m_widget.lock(); }
    void setWidget(const std::shared_ptr<BasicWidget>& widget) { m_widget = widget; }
    /// The overlay fading in, on show or fading out; null when none.
    const std::shared_ptr<platform::View>& touchView() const { return m_touchView; }
    /// Where the current touch went down, in window coordinates; (0, 0) before the first.
    platform::Point startPoint() const { return m_startPoint; }

    void touchesBegan(const platform::TouchSet& touches, const platform::Event& event) override;
    void touchesMoved(const platform::TouchSet& touches, const platform::Event& event) override;
    void touchesEnded(const platform::TouchSet& touches, const platform::Event& event) override;
    void touchesCancelled(const platform::TouchSet& touches, const platform::Event& event) override;
    void reset() override;

    /// Fades out the current overlay, then adds and fades in a new one; nothing without a view.
    void showTouch();
    /// Fades out the current overlay; nothing when there is none or it is already fading out.
    void hideTouch();

    // GestureRecognizerDelegate
    bool gestureRecognizerShouldBegin(platform::GestureRecognizer& recognizer) override;
    bool shouldRecognizeSimultaneously(platform::GestureRecognizer&, platform::GestureRecognizer&) override { return true; }

protected:
    void tapFailed() override;

private:
    ShowTouchGestureRecognizer();
    /// Masks `overlay` with a picture of the recogniser's view, so that it tints only what the
    /// view draws.
    void maskView(platform::View& overlay);
    void removeView(const std::shared_ptr<platform::View>& overlay);

    std::weak_ptr<BasicWidget> m_widget;
    std::shared_ptr<platform::View> m_touchView;
    platform::Point m_startPoint;
};

} // namespace morvix
