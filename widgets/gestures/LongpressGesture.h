#pragma once
// The remote long-press gesture.

#include "widgets/gestures/Gesture.h"
#include "widgets/gestures/MorvixLongpressGestureRecognizer.h"

namespace morvix {

/// A "longpress" gesture: "fingers" is the number of fingers and "touches" the number of taps
/// before the press that the recogniser requires; "duration" is the minimum press in
/// milliseconds (read back in whole milliseconds); "direction" is only stored. Sends {"state":
/// "start", "touches"} when the press begins and {"state": "end", "touches"} when it ends. It
/// waits for every remote tap and other remote long press on the same touches to fail. Main
/// thread only.
class LongpressGesture final : public RemoteClass<LongpressGesture, Gesture> {
public:
    /// Its "gesture".
    static const WireTable& wire();
    using RemoteClass::RemoteClass;

    std::shared_ptr<platform::GestureRecognizer> recognizer() const override { return m_recognizer; }

    std::optional<platform::Value> fingers() const override;
    void setFingers(std::optional<platform::Value> fingers) override;
    std::optional<platform::Value> touches() const override;
    void setTouches(std::optional<platform::Value> touches) override;
    /// The minimum press duration in milliseconds, rounded to a whole number.
    std::optional<platform::Value> duration() const override;
    void setDuration(std::optional<platform::Value> duration) override;

    // platform::GestureRecognizerDelegate
    /// Yes for the recogniser of a remote tap or long press; no otherwise.
    bool shouldRequireFailureOf(platform::GestureRecognizer& recognizer, platform::GestureRecognizer& other) override;

protected:
    std::optional<platform::Value> eventAttributes(platform::GestureRecognizer& recognizer) override;
    const EventDeclaration& gestureEvent() const override;

private:
    const std::shared_ptr<MorvixLongpressGestureRecognizer> m_recognizer = MorvixLongpressGestureRecognizer::create();
};

} // namespace morvix
