#include "widgets/gestures/PanGesture.h"

#include "platform/ui/View.h"

#include <cmath>

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kGestureEvent {
    .listen = "gesture",
    .name = "gesture",
    .attributes = R"({"state": string, "translation": {"x": number, "y": number}, "velocity": {"x": number, "y": number}, "touches": [{"x": number, "y": number}]})",
    .note = "\"state\" \"start\" when a drag begins, \"change\" as it moves, \"end\" or \"cancel\" when it ends; \"translation\" from where it began, \"velocity\" in points per second",
};

} // namespace

const WireTable& PanGesture::wire()
{
    static const WireTable table = WireTable::extend(Gesture::wire()).event(kGestureEvent);
    return table;
}

const EventDeclaration& PanGesture::gestureEvent() const
{
    return kGestureEvent;
}

namespace {

bool movedHorizontal(platform::Point velocity)
{
    return std::fabs(velocity.x) > std::fabs(velocity.y);
}

bool movedVertical(platform::Point velocity)
{
    return std::fabs(velocity.y) > std::fabs(velocity.x);
}

} // namespace

PanGesture::PanGesture(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    setDirection("any");
}

std::optional<Value> PanGesture::fingers() const
{
    return Value(m_recognizer->minimumNumberOfTouches());
}

void PanGesture::setFingers(std::optional<Value> fingers)
{
    RemoteClass::setFingers(fingers);
    if (auto count = integerValue(fingers))
        m_recognizer->setMinimumNumberOfTouches(*count);
}

platform::Point PanGesture::translation() const
{
    return m_recognizer->translationIn(m_recognizer->view().get());
}

platform::Point PanGesture::velocity() const
{
    return m_recognizer->velocityIn(m_recognizer->view().get());
}

bool PanGesture::blocksOtherPanGestures() const
{
    return direction() != "any";
}

bool PanGesture::gestureRecognizerShouldBegin(platform::GestureRecognizer&)
{
    const auto& direction = this->direction();
    if (!direction)
        return false;
    auto moved = velocity();
    if (*direction == "any")
        return true;
    if (*direction == "horizontal")
        return movedHorizontal(moved);
    if (*direction == "vertical")
        return movedVertical(moved);
    if (*direction == "left")
        return moved.x < 0 && movedHorizontal(moved);
    if (*direction == "right")
        return moved.x > 0 && movedHorizontal(moved);
    if (*direction == "up")
        return moved.y < 0 && movedVertical(moved);
    if (*direction == "down")
        return moved.y > 0 && movedVertical(moved);
    return false;
}

bool PanGesture::shouldBeRequiredToFailBy(platform::GestureRecognizer&, platform::GestureRecognizer& other)
{
    return blocksOtherPanGestures() && dynamic_cast<platform::PanGestureRecognizer*>(&other);
}

std::optional<Value> PanGesture::eventAttributes(platform::GestureRecognizer& recognizer)
{
    auto attributes = stateAttributes(recognizer, { nullptr, "start", "change", "end", "cancel", nullptr });
    if (!attributes)
        return std::nullopt;
    (*attributes)["translation"] = pointValue(translation());
    (*attributes)["velocity"] = pointValue(velocity());
    return attributes;
}

} // namespace morvix
