#pragma once
// The remote swipe gesture.

#include "widgets/gestures/Gesture.h"
#include "widgets/gestures/MorvixSwipeGestureRecognizer.h"

namespace morvix {

/// A "swipe" gesture: "fingers" is the number of fingers the recogniser requires; "direction"
/// "right" (the default), "left", "up" or "down" sets its direction, any other text is stored
/// and leaves the recogniser as it was; "touches" and "duration" are only stored. Sends
/// {"state": "recognized", "touches"} when the swipe is recognised. Main thread only.
class SwipeGesture final : public RemoteClass<SwipeGesture, Gesture> {
public:
    /// Its "gesture".
    static const WireTable& wire();
    SwipeGesture(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    std::shared_ptr<platform::GestureRecognizer> recognizer() const override { return m_recognizer; }

    std::optional<platform::Value> fingers() const override;
    void setFingers(std::optional<platform::Value> fingers) override;
    void setDirection(std::optional<std::string> direction) override;

protected:
    std::optional<platform::Value> eventAttributes(platform::GestureRecognizer& recognizer) override;
    const EventDeclaration& gestureEvent() const override;

private:
    const std::shared_ptr<MorvixSwipeGestureRecognizer> m_recognizer = MorvixSwipeGestureRecognizer::create();
};

} // namespace morvix
