#pragma once
// A touch event: the touches of one moment.

#include "platform/ui/Responder.h"

#include <memory>

namespace morvix::platform {

/// The touches on screen at one moment, each with its phase. Made by the touch driver (or the
/// embedding application) and handed to `Window::sendEvent`. Main thread.
class Event final {
public:
    Event(TouchSet touches, double timestamp) : m_touches(std::move(touches)), m_timestamp(timestamp) { }

    const TouchSet& allTouches() const { return m_touches; }
    double timestamp() const { return m_timestamp; }
    /// The touches whose view is `view`.
    TouchSet touchesFor(const View& view) const;
    /// The touches delivered to `recognizer`.
    TouchSet touchesFor(const GestureRecognizer& recognizer) const;

private:
    TouchSet m_touches;
    double m_timestamp;
};

} // namespace morvix::platform
