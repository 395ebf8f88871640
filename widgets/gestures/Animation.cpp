#include "widgets/gestures/Animation.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "platform/ui/Animator.h"
#include "platform/ui/View.h"
#include "widgets/foundation/Widget.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>

namespace morvix {

using platform::Value;

namespace {

// The integer part of a number held to [minimum, maximum]; `fallback` for none or null.
std::int64_t integerPart(const std::optional<Value>& value, double minimum, double maximum, std::int64_t fallback)
{
    auto number = value ? platform::numberValue(*value) : std::nullopt;
    if (!number || std::isnan(*number))
        return fallback;
    return static_cast<std::int64_t>(std::trunc(std::clamp(*number, minimum, maximum)));
}

constexpr double kLargestMilliseconds = 2147483647.0;
// Options that end a running animation where the new one starts: its easing's, plus
// override-inherited-duration.
constexpr unsigned kCancelOptions = platform::AnimationOption::OverrideInheritedDuration;
constexpr double kCancelDuration = 0.0001;

constexpr EventDeclaration kStartEvent {
    .listen = "Start",
    .name = "Start",
    .note = "when the animation has been set up and begins (after \"delay\")",
};
constexpr EventDeclaration kProgressEvent {
    .listen = "Progress",
    .name = "Progress",
    .note = "30 times a second while it runs",
};
constexpr EventDeclaration kCompletionEvent {
    .listen = "Completion",
    .name = "Completion",
    .note = "when it ends or is cancelled",
};

} // namespace

const WireTable& Animation::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kStartEvent).event(kProgressEvent).event(kCompletionEvent);
    return table;
}

Animation::Animation(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    registerSelector(&Animation::start, "start");
    registerSelector(&Animation::cancel, "cancel");
}

Animation::~Animation()
{
    cancelPendingStart();
}

const PropertyTable& Animation::properties()
{
    static const PropertyTable table = PropertyTable::extend<Animation>(BasicObject::properties())
                                           .string("target", &Animation::setTarget, &Animation::target)
                                           .number("delay", &Animation::setDelay, &Animation::delay)
                                           .number("duration", &Animation::setDuration, &Animation::duration)
                                           .number("repeat", &Animation::setRepeat, &Animation::repeat)
                                           .flag("reverse", &Animation::m_reverse)
                                           .string("easing", &Animation::setEasing, &Animation::easing)
                                           .dictionary("properties", &Animation::setAnimatedProperties,
                                               &Animation::animatedProperties)
                                           .flag("startListener", &Animation::m_startListener)
                                           .boolean("progressListener", &Animation::setProgressListener,
                                               &Animation::progressListener)
                                           .flag("completionListener", &Animation::m_completionListener);
    return table;
}

const PropertyNames& Animation::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "target", "delay", "duration", "repeat", "reverse", "easing", "properties" });
    return names;
}

// MARK: Properties

void Animation::setDelay(std::optional<Value> delay)
{
    m_delay = integerPart(delay, 0, kLargestMilliseconds, 0);
}

void Animation::setDuration(std::optional<Value> duration)
{
    m_duration = integerPart(duration, 0, kLargestMilliseconds, 0);
}

void Animation::setRepeat(std::optional<Value> repeat)
{
    m_repeat = static_cast<int>(integerPart(repeat, 0, kMaximumRepeat, 0));
}

void Animation::setEasing(std::optional<std::string> easing)
{
    if (easing == "ease-in-out" || easing == "ease-in" || easing == "ease-out")
        m_easing = std::move(*easing);
    else
        m_easing = "linear";
}

void Animation::setProgressListener(bool listening)
{
    m_progressListener = listening;
    if (listening)
        startTimer();
    else
        m_timer.stop();
}

unsigned Animation::animationOptions(const std::string& easing)
{
    using namespace platform::AnimationOption;
    unsigned options = LayoutSubviews | AllowUserInteraction | BeginFromCurrentState | OverrideInheritedOptions;
    if (easing == "ease-in-out")
        return options | CurveEaseInOut;
    if (easing == "ease-in")
        return options | CurveEaseIn;
    if (easing == "ease-out")
        return options | CurveEaseOut;
    return options | CurveLinear;
}

// MARK: Calls

void Animation::start(const Value*)
{
    auto widget = targetWidget();
    if (!widget)
        return;
    cancelPendingStart();
    std::weak_ptr<BasicObject> target = widget;
    auto self = std::static_pointer_cast<Animation>(shared_from_this());
    m_pendingStart = platform::MainLoop::main().postAfter(std::chrono::milliseconds(m_delay),
        [weak = std::weak_ptr<Animation>(self), target] {
            if (auto animation = weak.lock())
                animation->startAnimationDelayed(target);
        });
}

void Animation::cancel(const Value*)
{
    cancelPendingStart();
    auto widget = targetWidget();
    if (!widget) {
        animationStopped();
        return;
    }
    auto current = retrieveProperties(*widget);
    // Setting a view's property to the value it already has animates nothing, so a running
    // animation would go on showing its way to those values: end the ones this animation
    // started here, and the view shows the values read. Other animations of the target (another
    // animation object's, a fade of its own) go on.
    if (auto* target = dynamic_cast<Widget*>(widget.get()); target && target->view() && m_block)
        platform::Animator::shared().removeAnimations(*target->view(), *m_block);
    auto generation = ++m_generation;
    // Held strongly: an animation destroyed before it completed is cancelled, and its
    // "Completion" still goes out when this short animation ends.
    auto self = std::static_pointer_cast<Animation>(shared_from_this());
    platform::Animator::shared().animate(kCancelDuration, 0, animationOptions(m_easing) | kCancelOptions,
        [&] { applyProperties(current, *widget); },
        [self, generation](bool) {
            if (self->m_generation == generation)
                self->animationStopped();
        });
}

void Animation::destroy()
{
    if (!isDisposed() && !m_completed)
        cancel(nullptr);
    cancelPendingStart();
    RemoteClass::destroy();
}

// MARK: Running

std::shared_ptr<BasicObject> Animation::targetWidget() const
{
    auto client = this->client();
    if (!client || !m_target)
        return nullptr;
    return std::dynamic_pointer_cast<BasicObject>(client->objectById(*m_target));
}

void Animation::cancelPendingStart()
{
    if (m_pendingStart)
        platform::MainLoop::main().cancel(m_pendingStart);
    m_pendingStart = 0;
}

void Animation::startAnimationDelayed(const std::weak_ptr<BasicObject>& target)
{
    m_pendingStart = 0;
    auto widget = target.lock();
    // A target destroyed during the delay ends the animation as a cancel would.
    if (!widget || widget->isDisposed()) {
        animationStopped();
        return;
    }
    m_animating = true;
    startAnimating(*widget, animationOptions(m_easing), static_cast<double>(m_duration) / 1000);
    startTimer();
}

void Animation::startAnimating(BasicObject& widget, unsigned options, double runDuration)
{
    const Value starting = retrieveProperties(widget);
    const Value ending = m_properties && m_properties->is_object() ? *m_properties : Value::object();
    const int runs = m_repeat + 1;
    auto generation = ++m_generation;
    auto& animator = platform::Animator::shared();
    // The animator runs the keyframe blocks before it returns, so they may borrow.
    m_block = animator.animateKeyframes(runs * runDuration, 0, options,
        [&] {
            for (int run = 0; run < runs; ++run) {
                double begin = static_cast<double>(run) / runs;
                double length = 1.0 / runs;
                if (m_reverse) {
                    const Value& values = run % 2 == 0 ? ending : starting;
                    animator.addKeyframe(begin, length, [&] { applyProperties(values, widget); });
                    continue;
                }
                if (run > 0)
                    animator.addKeyframe(begin, 0, [&] { applyProperties(starting, widget); });
                animator.addKeyframe(begin, length, [&] { applyProperties(ending, widget); });
            }
        },
        [weak = std::weak_ptr<Animation>(std::static_pointer_cast<Animation>(shared_from_this())), generation](bool) {
            auto self = weak.lock();
            if (self && self->m_generation == generation)
                self->animationStopped();
        });
    fire(m_startListener, kStartEvent);
}

void Animation::startTimer()
{
    if (!m_animating || m_timer.isActive())
        return;
    m_timer.start(kProgressInterval, platform::Repeat::Yes, [this] {
        if (m_completed) {
            m_timer.stop();
            return;
        }
        fire(m_progressListener, kProgressEvent);
    });
}

void Animation::animationStopped()
{
    m_animating = false;
    m_completed = true;
    m_timer.stop();
    fire(m_completionListener, kCompletionEvent);
}

// MARK: Values

Value Animation::retrieveProperties(BasicObject& widget) const
{
    Value values = Value::object();
    if (!m_properties || !m_properties->is_object())
        return values;
    for (auto member = m_properties->begin(); member != m_properties->end(); ++member) {
        auto value = widget.dispatchType("get", member.key(), nullptr);
        values[member.key()] = value ? std::move(*value) : Value(nullptr);
    }
    return values;
}

void Animation::applyProperties(const Value& values, BasicObject& widget)
{
    // Inside an animation block: a refused value must not leave the block open, so it ends
    // this set only, and is logged as the command operator would.
    try {
        widget.dispatchType("set", "", &values);
    } catch (const std::exception& error) {
        if (auto client = this->client())
            client->log(LogEntry(error.what(), LogEntry::Type::Error));
    }
}

void Animation::fire(bool listening, const EventDeclaration& event)
{
    if (!listening)
        return;
    if (auto notification = notificationForObject())
        notification->fire(event, Value::object());
}

} // namespace morvix
