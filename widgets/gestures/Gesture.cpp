#include "widgets/gestures/Gesture.h"

#include "core/outgoing/Notification.h"
#include "platform/ui/View.h"
#include "platform/ui/gestures/SwipeGestureRecognizer.h"
#include "platform/ui/gestures/TapGestureRecognizer.h"
#include "widgets/foundation/Widget.h"
#include "widgets/gestures/LongpressGesture.h"
#include "widgets/gestures/PanGesture.h"
#include "widgets/gestures/SwipeGesture.h"
#include "widgets/gestures/TapGesture.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvix {

using platform::Value;

namespace {

constexpr CreationVariant kTapVariant { .property = "type", .value = "tap", .kind = "a tap gesture" };
constexpr CreationVariant kSwipeVariant { .property = "type", .value = "swipe", .kind = "a swipe gesture" };
constexpr CreationVariant kPanVariant { .property = "type", .value = "pan", .kind = "a pan gesture" };
constexpr CreationVariant kLongpressVariant { .property = "type", .value = "longpress", .kind = "a long-press gesture" };

} // namespace

Gesture::~Gesture() = default;

const WireTable& Gesture::wire()
{
    static const WireTable table
        = WireTable::extend(BasicObject::wire()).variant(kTapVariant).variant(kSwipeVariant).variant(kPanVariant).variant(kLongpressVariant);
    return table;
}

std::shared_ptr<BasicObject> Gesture::create(const std::string& id, const Value* properties,
    std::shared_ptr<ClientContext> client)
{
    if (!properties || !properties->is_object())
        return nullptr;
    auto type = properties->find("type");
    if (type == properties->end() || !type->is_string())
        return nullptr;
    const auto& name = type->get_ref<const std::string&>();
    if (name == kTapVariant.value)
        return TapGesture::create(id, properties, std::move(client));
    if (name == kSwipeVariant.value)
        return SwipeGesture::create(id, properties, std::move(client));
    if (name == kPanVariant.value)
        return PanGesture::create(id, properties, std::move(client));
    if (name == kLongpressVariant.value)
        return LongpressGesture::create(id, properties, std::move(client));
    return nullptr;
}

const PropertyTable& Gesture::properties()
{
    static const PropertyTable table = PropertyTable::extend<Gesture>(BasicObject::properties())
                                           .string("type", &Gesture::setType, &Gesture::type)
                                           .remote("target", &Gesture::setTarget)
                                           .number("duration", &Gesture::setDuration, &Gesture::duration)
                                           .string("direction", &Gesture::setDirection, &Gesture::direction)
                                           .number("fingers", &Gesture::setFingers, &Gesture::fingers)
                                           .number("touches", &Gesture::setTouches, &Gesture::touches)
                                           .flag("gestureListener", &Gesture::m_gestureListener);
    return table;
}

const PropertyNames& Gesture::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "type", "target", "duration", "direction", "fingers", "touches" });
    return names;
}

void Gesture::didConstruct()
{
    RemoteClass::didConstruct();
    auto recognizer = this->recognizer();
    recognizer->setDelegate(std::shared_ptr<platform::GestureRecognizerDelegate>(shared_from_this(),
        static_cast<platform::GestureRecognizerDelegate*>(this)));
    // The recogniser runs a target's action only while it can lock the owner, so `this` is
    // alive whenever the action runs.
    recognizer->addTarget(weak_from_this(), [this](platform::GestureRecognizer& sender) {
        gestureRecognized(sender);
    });
}

void Gesture::setParent(std::shared_ptr<RemoteObject> parent)
{
    RemoteClass::setParent(parent);
    auto recognizer = this->recognizer();
    auto* widget = dynamic_cast<Widget*>(parent.get());
    if (auto view = widget ? widget->view() : nullptr) {
        view->addGestureRecognizer(recognizer);
        return;
    }
    if (auto view = recognizer->view())
        view->removeGestureRecognizer(recognizer);
}

void Gesture::destroy()
{
    auto recognizer = this->recognizer();
    if (auto view = recognizer->view())
        view->removeGestureRecognizer(recognizer);
    RemoteClass::destroy();
}

bool Gesture::shouldRecognizeSimultaneously(platform::GestureRecognizer&, platform::GestureRecognizer&)
{
    return true;
}

void Gesture::gestureRecognized(platform::GestureRecognizer& recognizer)
{
    if (!m_gestureListener)
        return;
    if (auto attributes = eventAttributes(recognizer))
        sendGestureEvent(std::move(*attributes), recognizer);
}

void Gesture::sendGestureEvent(Value attributes, platform::GestureRecognizer& recognizer)
{
    // Erased first so that "touches" comes last even when the attributes named it.
    attributes.erase("touches");
    attributes["touches"] = touchesForRecognizer(recognizer);
    if (auto notification = notificationForObject())
        notification->fire(gestureEvent(), std::move(attributes));
}

Value Gesture::touchesForRecognizer(const platform::GestureRecognizer& recognizer)
{
    auto view = recognizer.view();
    Value touches = Value::array();
    for (std::size_t index = 0; index < recognizer.numberOfTouches(); ++index) {
        m_lastTouch = recognizer.locationOfTouch(index, view.get());
        touches.push_back(pointValue(m_lastTouch));
    }
    if (!touches.empty())
        return touches;
    // Taps and swipes recognise as their touches lift, and the platform layer has let go of
    // them by then; where they lifted is the position the gesture was made at.
    bool discrete = dynamic_cast<const platform::TapGestureRecognizer*>(&recognizer)
        || dynamic_cast<const platform::SwipeGestureRecognizer*>(&recognizer);
    if (discrete && recognizer.state() == platform::kGestureRecognized)
        m_lastTouch = recognizer.locationIn(view.get());
    touches.push_back(pointValue(m_lastTouch));
    return touches;
}

std::optional<Value> Gesture::recognizedAttributes(const platform::GestureRecognizer& recognizer)
{
    return stateAttributes(recognizer, { nullptr, nullptr, nullptr, "recognized", nullptr, nullptr });
}

std::optional<Value> Gesture::stateAttributes(const platform::GestureRecognizer& recognizer,
    const std::array<const char*, 6>& names)
{
    const char* name = names.at(static_cast<std::size_t>(recognizer.state()));
    if (!name)
        return std::nullopt;
    return Value { { "state", name } };
}

Value Gesture::pointValue(platform::Point point)
{
    Value value = Value::object();
    value["x"] = point.x;
    value["y"] = point.y;
    return value;
}

std::optional<int> Gesture::integerValue(const std::optional<Value>& value)
{
    auto number = value ? platform::numberValue(*value) : std::nullopt;
    if (!number || std::isnan(*number))
        return std::nullopt;
    double clamped = std::clamp(std::trunc(*number), double(std::numeric_limits<int>::min()),
        double(std::numeric_limits<int>::max()));
    return static_cast<int>(clamped);
}

} // namespace morvix
