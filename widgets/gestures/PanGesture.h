#pragma once
// The remote pan gesture.

#include "widgets/gestures/Gesture.h"
#include "widgets/gestures/MorvixPanGestureRecognizer.h"

namespace morvix {

/// A "pan" gesture: "fingers" is the minimum number of fingers (the maximum is left alone);
/// "direction" decides when the pan may begin, on the velocity (vx, vy) at that moment:
///  - "any" (the default): always;
///  - "horizontal": |vx| > |vy|; "vertical": |vy| > |vx|;
///  - "left": vx < 0 and |vx| > |vy|; "right": vx > 0 and |vx| > |vy|;
///  - "up": vy < 0 and |vy| > |vx|; "down": vy > 0 and |vy| > |vx|;
///  - any other text (or none): never.
/// A pan with a direction other than "any" must fail before any other pan recogniser, a
/// scroll view's included, may begin. "touches" and "duration" are only stored.
///
/// Sends {"state", "translation": {"x", "y"}, "velocity": {"x", "y"}, "touches"} on began
/// ("start"), changed ("change"), ended ("end") and cancelled ("cancel"), in the target view's
/// coordinates; the translation is measured from where the pan began. Main thread only.
class PanGesture final : public RemoteClass<PanGesture, Gesture> {
public:
    /// Its "gesture".
    static const WireTable& wire();
    PanGesture(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    std::shared_ptr<platform::GestureRecognizer> recognizer() const override { return m_recognizer; }

    std::optional<platform::Value> fingers() const override;
    void setFingers(std::optional<platform::Value> fingers) override;

    /// The recogniser's translation and velocity in its view.
    platform::Point translation() const;
    platform::Point velocity() const;
    /// Whether the direction is anything but "any".
    bool blocksOtherPanGestures() const;

    // platform::GestureRecognizerDelegate
    /// The direction's rule, on the recogniser's velocity now.
    bool gestureRecognizerShouldBegin(platform::GestureRecognizer& recognizer) override;
    /// Yes for any other pan recogniser while `blocksOtherPanGestures`.
    bool shouldBeRequiredToFailBy(platform::GestureRecognizer& recognizer, platform::GestureRecognizer& other) override;

protected:
    std::optional<platform::Value> eventAttributes(platform::GestureRecognizer& recognizer) override;
    const EventDeclaration& gestureEvent() const override;

private:
    const std::shared_ptr<MorvixPanGestureRecognizer> m_recognizer = MorvixPanGestureRecognizer::create();
};

} // namespace morvix
