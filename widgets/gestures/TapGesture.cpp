#include "widgets/gestures/TapGesture.h"

#include "widgets/foundation/CursorLocationGestureRecognizer.h"

#include <typeinfo>

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kGestureEvent {
    .listen = "gesture",
    .name = "gesture",
    .attributes = R"({"state": "recognized", "touches": [{"x": number, "y": number}]})",
    .note = "when the taps the gesture asks for (\"touches\" taps of \"fingers\" fingers) are made; \"touches\" are where the fingers were, in the target",
};

} // namespace

const WireTable& TapGesture::wire()
{
    static const WireTable table = WireTable::extend(Gesture::wire()).event(kGestureEvent);
    return table;
}

const EventDeclaration& TapGesture::gestureEvent() const
{
    return kGestureEvent;
}

std::optional<Value> TapGesture::fingers() const
{
    return Value(m_recognizer->numberOfTouchesRequired());
}

void TapGesture::setFingers(std::optional<Value> fingers)
{
    RemoteClass::setFingers(fingers);
    if (auto count = integerValue(fingers))
        m_recognizer->setNumberOfTouchesRequired(*count);
}

std::optional<Value> TapGesture::touches() const
{
    return Value(m_recognizer->numberOfTapsRequired());
}

void TapGesture::setTouches(std::optional<Value> touches)
{
    RemoteClass::setTouches(touches);
    if (auto count = integerValue(touches))
        m_recognizer->setNumberOfTapsRequired(*count);
}

bool TapGesture::shouldRecognizeSimultaneously(platform::GestureRecognizer&, platform::GestureRecognizer& other)
{
    return !isRemote<platform::TapGestureRecognizer>(other);
}

bool TapGesture::shouldRequireFailureOf(platform::GestureRecognizer&, platform::GestureRecognizer& other)
{
    return typeid(other) == typeid(CursorLocationGestureRecognizer);
}

std::optional<Value> TapGesture::eventAttributes(platform::GestureRecognizer& recognizer)
{
    return recognizedAttributes(recognizer);
}

} // namespace morvix
