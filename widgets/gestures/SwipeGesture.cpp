#include "widgets/gestures/SwipeGesture.h"

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kGestureEvent {
    .listen = "gesture",
    .name = "gesture",
    .attributes = R"({"state": "recognized", "touches": [{"x": number, "y": number}]})",
    .note = "when a swipe in \"direction\" is made",
};

} // namespace

const WireTable& SwipeGesture::wire()
{
    static const WireTable table = WireTable::extend(Gesture::wire()).event(kGestureEvent);
    return table;
}

const EventDeclaration& SwipeGesture::gestureEvent() const
{
    return kGestureEvent;
}

SwipeGesture::SwipeGesture(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    setDirection("right");
}

std::optional<Value> SwipeGesture::fingers() const
{
    return Value(m_recognizer->numberOfTouchesRequired());
}

void SwipeGesture::setFingers(std::optional<Value> fingers)
{
    RemoteClass::setFingers(fingers);
    if (auto count = integerValue(fingers))
        m_recognizer->setNumberOfTouchesRequired(*count);
}

void SwipeGesture::setDirection(std::optional<std::string> direction)
{
    RemoteClass::setDirection(direction);
    if (direction == "right")
        m_recognizer->setDirection(platform::SwipeRight);
    else if (direction == "left")
        m_recognizer->setDirection(platform::SwipeLeft);
    else if (direction == "up")
        m_recognizer->setDirection(platform::SwipeUp);
    else if (direction == "down")
        m_recognizer->setDirection(platform::SwipeDown);
}

std::optional<Value> SwipeGesture::eventAttributes(platform::GestureRecognizer& recognizer)
{
    return recognizedAttributes(recognizer);
}

} // namespace morvix
