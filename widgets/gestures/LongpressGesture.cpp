#include "widgets/gestures/LongpressGesture.h"

#include "platform/ui/gestures/TapGestureRecognizer.h"

#include <cmath>

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kGestureEvent {
    .listen = "gesture",
    .name = "gesture",
    .attributes = R"({"state": string, "touches": [{"x": number, "y": number}]})",
    .note = "\"state\" \"start\" when a press held for \"duration\" milliseconds is recognised, \"end\" when it lifts",
};

} // namespace

const WireTable& LongpressGesture::wire()
{
    static const WireTable table = WireTable::extend(Gesture::wire()).event(kGestureEvent);
    return table;
}

const EventDeclaration& LongpressGesture::gestureEvent() const
{
    return kGestureEvent;
}

std::optional<Value> LongpressGesture::fingers() const
{
    return Value(m_recognizer->numberOfTouchesRequired());
}

void LongpressGesture::setFingers(std::optional<Value> fingers)
{
    RemoteClass::setFingers(fingers);
    if (auto count = integerValue(fingers))
        m_recognizer->setNumberOfTouchesRequired(*count);
}

std::optional<Value> LongpressGesture::touches() const
{
    return Value(m_recognizer->numberOfTapsRequired());
}

void LongpressGesture::setTouches(std::optional<Value> touches)
{
    RemoteClass::setTouches(touches);
    if (auto count = integerValue(touches))
        m_recognizer->setNumberOfTapsRequired(*count);
}

std::optional<Value> LongpressGesture::duration() const
{
    // Seconds times 1000 is not always whole (1.001 s gives 1000.9999999999999).
    return Value(static_cast<std::int64_t>(std::llround(m_recognizer->minimumPressDuration() * 1000)));
}

void LongpressGesture::setDuration(std::optional<Value> duration)
{
    RemoteClass::setDuration(duration);
    if (auto milliseconds = integerValue(duration))
        m_recognizer->setMinimumPressDuration(*milliseconds / 1000.0);
}

bool LongpressGesture::shouldRequireFailureOf(platform::GestureRecognizer&, platform::GestureRecognizer& other)
{
    return isRemote<platform::TapGestureRecognizer>(other) || isRemote<platform::LongPressGestureRecognizer>(other);
}

std::optional<Value> LongpressGesture::eventAttributes(platform::GestureRecognizer& recognizer)
{
    return stateAttributes(recognizer, { nullptr, "start", nullptr, "end", nullptr, nullptr });
}

} // namespace morvix
