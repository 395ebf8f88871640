#pragma once
// One finger on the screen.

#include "platform/graphics/Point.h"
#include "platform/ui/Forward.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace morvix::platform {

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

/// A finger from touch-down to lift-off: its window location now and at the previous event, the
/// time (clock seconds), the tap count, and the view hit-tested at touch-down, which stays the
/// touch's view for its whole life. The window updates it; everyone else reads it. Main thread.
class Touch final {
public:
    static std::shared_ptr<Touch> create(std::uint64_t identifier, const std::shared_ptr<Window>& window, Point location, double timestamp);
    Touch(const Touch&) = delete;
    Touch& operator=(const Touch&) = delete;

    std::uint64_t identifier() const { return m_identifier; }
    TouchPhase phase() const { return m_phase; }
    double timestamp() const { return m_timestamp; }
    int tapCount() const { return m_tapCount; }
    std::shared_ptr<View> view() const { return m_view.lock(); }
    std::shared_ptr<Window> window() const { return m_window.lock(); }
    Point windowLocation() const { return m_location; }
    Point previousWindowLocation() const { return m_previousLocation; }
    /// The location in `view`'s bounds coordinates; window coordinates for null.
    Point locationIn(const View* view) const;
    Point previousLocationIn(const View* view) const;
    /// The recognisers that receive this touch (fixed at touch-down).
    std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers() const;

    // Updated by the window and the touch driver.
    void setPhase(TouchPhase phase) { m_phase = phase; }
    void moveTo(Point location, double timestamp);
    void setTapCount(int count) { m_tapCount = count; }
    void setView(const std::shared_ptr<View>& view) { m_view = view; }
    void setGestureRecognizers(std::vector<std::weak_ptr<GestureRecognizer>> recognizers) { m_recognizers = std::move(recognizers); }
    /// Set once the view has been sent `touchesCancelled` for this touch.
    bool isCancelledForView() const { return m_cancelledForView; }
    void setCancelledForView() { m_cancelledForView = true; }

private:
    Touch() = default;
    std::uint64_t m_identifier = 0;
    TouchPhase m_phase = TouchPhase::Began;
    double m_timestamp = 0;
    int m_tapCount = 1;
    std::weak_ptr<View> m_view;
    std::weak_ptr<Window> m_window;
    Point m_location;
    Point m_previousLocation;
    std::vector<std::weak_ptr<GestureRecognizer>> m_recognizers;
    bool m_cancelledForView = false;
};

} // namespace morvix::platform
