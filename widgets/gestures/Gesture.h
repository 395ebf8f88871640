#pragma once
// The base class of the gestures the peer attaches to widgets.

#include "core/objects/RemoteClass.h"
#include "platform/graphics/Point.h"
#include "platform/ui/GestureRecognizer.h"
#include "widgets/gestures/MorvixGestureRecognizer.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// "morvix.GestureRecognizer": a gesture the peer puts on a widget. The creation's "type" picks
/// the class ("tap" `TapGesture`, "swipe" `SwipeGesture`, "pan" `PanGesture`, "longpress"
/// `LongpressGesture`); each owns one marked platform recogniser (see MorvixGestureRecognizer.h)
/// whose delegate and target it is. "target" names the widget: it is the object's parent, and
/// the recogniser sits on that widget's view. "fingers", "touches", "duration" and "direction"
/// are stored here and passed on to the recogniser as each subclass says; those a subclass
/// applies read back from the recogniser.
///
/// While the peer listens to "gesture", each phase the subclass reports goes out at once as
/// ["notify", id, "gesture", {"state": …, …, "touches": [{"x", "y"}, …]}]: "touches" last,
/// positions in the target view's coordinates, never empty.
///
/// Main thread only, like every remote object and the recognisers' calls.
class Gesture : public RemoteClass<Gesture>, public platform::GestureRecognizerDelegate {
public:
    static constexpr std::string_view kRemoteType = "morvix.GestureRecognizer";

    using RemoteClass::RemoteClass;
    ~Gesture() override;

    /// The subclass that "type" names, constructed; null for any other or a missing "type",
    /// so that the create fails.
    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);
    static const PropertyTable& properties();
    /// The base's names plus "type", "target", "duration", "direction", "fingers", "touches".
    static const PropertyNames& remoteObjectProperties();
    /// The kinds, by "type"; each kind declares its "gesture".
    static const WireTable& wire();

    /// The gesture's recogniser; made with the gesture and never replaced.
    virtual std::shared_ptr<platform::GestureRecognizer> recognizer() const = 0;

    // RemoteObject
    /// The base's re-parenting, then the recogniser moves to the new parent's view when that is
    /// a widget, and leaves its view otherwise (no parent, or one without a view).
    void setParent(std::shared_ptr<RemoteObject> parent) override;
    /// Takes the recogniser off its view, then the base's destroy.
    void destroy() override;

    // platform::GestureRecognizerDelegate
    /// Yes: gestures do not keep others from recognising, unless a subclass says otherwise.
    bool shouldRecognizeSimultaneously(platform::GestureRecognizer& recognizer,
        platform::GestureRecognizer& other) override;

    // Properties.
    std::shared_ptr<RemoteObject> target() const { return parent(); }
    void setTarget(std::shared_ptr<RemoteObject> target) { setParent(std::move(target)); }
    const std::optional<std::string>& type() const { return m_type; }
    void setType(std::optional<std::string> type) { m_type = std::move(type); }
    const std::optional<std::string>& direction() const { return m_direction; }
    virtual void setDirection(std::optional<std::string> direction) { m_direction = std::move(direction); }
    virtual std::optional<platform::Value> duration() const { return m_duration; }
    virtual void setDuration(std::optional<platform::Value> duration) { m_duration = std::move(duration); }
    virtual std::optional<platform::Value> fingers() const { return m_fingers; }
    virtual void setFingers(std::optional<platform::Value> fingers) { m_fingers = std::move(fingers); }
    virtual std::optional<platform::Value> touches() const { return m_touches; }
    virtual void setTouches(std::optional<platform::Value> touches) { m_touches = std::move(touches); }
    bool gestureListener() const { return m_gestureListener; }
    /// The last touch position reported, in the target view's coordinates; (0, 0) at first.
    platform::Point lastTouch() const { return m_lastTouch; }

protected:
    /// Makes the gesture its recogniser's delegate and target.
    void didConstruct() override;
    /// The recogniser's action: sends the subclass's event while "gesture" is listened to.
    void gestureRecognized(platform::GestureRecognizer& recognizer);
    /// The attributes of the event for the recogniser's current state (without "touches");
    /// nothing for a state that sends no event.
    virtual std::optional<platform::Value> eventAttributes(platform::GestureRecognizer& recognizer) = 0;
    /// The kind's "gesture", as its wire table declares it.
    virtual const EventDeclaration& gestureEvent() const = 0;
    /// Fires "gesture" with a copy of `attributes` whose "touches" is `touchesForRecognizer`.
    void sendGestureEvent(platform::Value attributes, platform::GestureRecognizer& recognizer);
    /// One {"x", "y"} per tracked touch in the recogniser's view, each remembered as the last
    /// touch; [{lastTouch}] when the recogniser tracks none.
    platform::Value touchesForRecognizer(const platform::GestureRecognizer& recognizer);

    /// {"state": "recognized"} once `recognizer` has recognised; nothing in any other state. What
    /// the discrete gestures (taps, swipes) send.
    static std::optional<platform::Value> recognizedAttributes(const platform::GestureRecognizer& recognizer);
    /// {"state": state} with `state` the name of the recogniser's state in `names` (possible,
    /// began, changed, ended, cancelled, failed); nothing for a null name.
    static std::optional<platform::Value> stateAttributes(const platform::GestureRecognizer& recognizer,
        const std::array<const char*, 6>& names);
    /// {"x": point.x, "y": point.y}.
    static platform::Value pointValue(platform::Point point);
    /// The integer part of a number, held to the range of `int`; nothing for none or null.
    static std::optional<int> integerValue(const std::optional<platform::Value>& value);
    /// `recognizer` is a platform `R` and belongs to a remote gesture.
    template<typename R>
    static bool isRemote(const platform::GestureRecognizer& recognizer)
    {
        return dynamic_cast<const R*>(&recognizer) && dynamic_cast<const MorvixGestureRecognizer*>(&recognizer);
    }

private:
    std::optional<std::string> m_type;
    std::optional<std::string> m_direction;
    std::optional<platform::Value> m_duration;
    std::optional<platform::Value> m_fingers;
    std::optional<platform::Value> m_touches;
    bool m_gestureListener = false;
    platform::Point m_lastTouch;
};

} // namespace morvix
