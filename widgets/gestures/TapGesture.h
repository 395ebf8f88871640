#pragma once
// The remote tap gesture.

#include "widgets/gestures/Gesture.h"
#include "widgets/gestures/MorvixTapGestureRecognizer.h"

namespace morvix {

/// A "tap" gesture: "fingers" is the number of fingers and "touches" the number of taps the
/// recogniser requires; "duration" and "direction" are only stored. Sends {"state":
/// "recognized", "touches"} when the taps are recognised. It never recognises together with
/// another remote tap (so two on one view fire once for one tap), and waits for the window's
/// cursor-location recogniser (exactly that class) to fail. Main thread only.
class TapGesture final : public RemoteClass<TapGesture, Gesture> {
public:
    /// Its "gesture".
    static const WireTable& wire();
    using RemoteClass::RemoteClass;

    std::shared_ptr<platform::GestureRecognizer> recognizer() const override { return m_recognizer; }

    std::optional<platform::Value> fingers() const override;
    void setFingers(std::optional<platform::Value> fingers) override;
    std::optional<platform::Value> touches() const override;
    void setTouches(std::optional<platform::Value> touches) override;

    // platform::GestureRecognizerDelegate
    /// No for another remote tap; yes otherwise.
    bool shouldRecognizeSimultaneously(platform::GestureRecognizer& recognizer,
        platform::GestureRecognizer& other) override;
    /// Yes for an instance of exactly `CursorLocationGestureRecognizer`, not a subclass.
    bool shouldRequireFailureOf(platform::GestureRecognizer& recognizer, platform::GestureRecognizer& other) override;

protected:
    std::optional<platform::Value> eventAttributes(platform::GestureRecognizer& recognizer) override;
    const EventDeclaration& gestureEvent() const override;

private:
    const std::shared_ptr<MorvixTapGestureRecognizer> m_recognizer = MorvixTapGestureRecognizer::create();
};

} // namespace morvix
