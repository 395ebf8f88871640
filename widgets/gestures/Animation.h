#pragma once
// The remote object that animates a widget's properties.

#include "core/objects/RemoteClass.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/Timer.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// "morvix.Animation": animates the widget whose id is "target" from its current values to
/// "properties" (names and values in the widget's own vocabulary, such as "opacity",
/// "transform" or "bounds"), in "repeat" + 1 runs of "duration" milliseconds each, after
/// "delay" milliseconds, along "easing" ("linear", the default and what any unknown name
/// becomes, "ease-in", "ease-out", "ease-in-out"). With "reverse", every second run goes back
/// to the starting values; without it, every later run jumps back to them first.
///
/// Calls: "start" (nothing when no object has the target id; a second "start" during the delay
/// replaces the first) and "cancel". Events, each sent at once while listened to, with {}:
///  1. "Start", once the keyframes of a run are set up;
///  2. "Progress", every 1/30 s while the animation runs;
///  3. "Completion", when the animation ends, is cancelled, or its target is destroyed before
///     the delay has passed. Destroying an animation that has never completed cancels it first,
///     so that too sends "Completion".
///
/// Values are read and written through the target's own "get" and "set" dispatch, so its
/// setters change its view inside the animation. Widget getters return model values, as the
/// platform's do: the values an animation ends at, not the ones on screen. So "cancel", which
/// reads the values and sets them again over 0.0001 s, leaves the target at its last keyframe's
/// values rather than where the animation stood.
///
/// "delay" and "duration" count as 0 below 0 and are held to 2^31 - 1; "repeat" is held to 0
/// to 9999; each is read as its integer part. Once completed, the animation stays completed:
/// the progress timer of a later run stops at its first tick, so a later run sends no
/// "Progress".
///
/// The target is held weakly. Main thread only; the delayed start, the timer and the animation
/// completions run on the main loop.
class Animation final : public RemoteClass<Animation> {
public:
    static constexpr std::string_view kRemoteType = "morvix.Animation";
    /// The interval of the "Progress" ticks.
    static constexpr auto kProgressInterval = std::chrono::nanoseconds(1'000'000'000 / 30);
    /// The largest "repeat"; a larger value counts as this.
    static constexpr int kMaximumRepeat = 9999;

    Animation(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);
    ~Animation() override;

    static const PropertyTable& properties();
    /// "Start", "Progress" and "Completion".
    static const WireTable& wire();
    /// The base's names plus "target", "delay", "duration", "repeat", "reverse", "easing" and
    /// "properties".
    static const PropertyNames& remoteObjectProperties();

    /// Cancels an animation that has not completed, drops a pending start, then the base's
    /// destroy.
    void destroy() override;

    /// The call "start": after "delay", animates the target. Properties are ignored.
    void start(const platform::Value* properties);
    /// The call "cancel": drops a pending start and ends a running animation (see the class
    /// comment); stops at once, with "Completion", when the target no longer exists.
    void cancel(const platform::Value* properties);

    /// The keyframe options of the easing: layout subviews, allow user interaction, begin from
    /// the current state and override inherited options (519), plus the curve in bits 16 and up.
    static unsigned animationOptions(const std::string& easing);

    // Properties.
    const std::optional<std::string>& target() const { return m_target; }
    void setTarget(std::optional<std::string> target) { m_target = std::move(target); }
    std::optional<platform::Value> delay() const { return platform::Value(m_delay); }
    void setDelay(std::optional<platform::Value> delay);
    std::optional<platform::Value> duration() const { return platform::Value(m_duration); }
    void setDuration(std::optional<platform::Value> duration);
    std::optional<platform::Value> repeat() const { return platform::Value(m_repeat); }
    void setRepeat(std::optional<platform::Value> repeat);
    bool reverse() const { return m_reverse; }
    std::optional<std::string> easing() const { return m_easing; }
    /// Keeps "ease-in-out", "ease-in" and "ease-out"; anything else becomes "linear".
    void setEasing(std::optional<std::string> easing);
    const std::optional<platform::Value>& animatedProperties() const { return m_properties; }
    void setAnimatedProperties(std::optional<platform::Value> properties) { m_properties = std::move(properties); }
    bool progressListener() const { return m_progressListener; }
    /// Starts the progress timer (when animating) or stops it.
    void setProgressListener(bool listening);
    bool isAnimating() const { return m_animating; }
    bool isCompleted() const { return m_completed; }

private:
    std::shared_ptr<BasicObject> targetWidget() const;
    void startAnimationDelayed(const std::weak_ptr<BasicObject>& widget);
    void startAnimating(BasicObject& widget, unsigned options, double runDuration);
    void cancelPendingStart();
    void startTimer();
    void animationStopped();
    platform::Value retrieveProperties(BasicObject& widget) const;
    void applyProperties(const platform::Value& values, BasicObject& widget);
    void fire(bool listening, const EventDeclaration& event);

    std::optional<std::string> m_target;
    std::int64_t m_delay = 0;
    std::int64_t m_duration = 0;
    int m_repeat = 0;
    bool m_reverse = false;
    std::string m_easing = "linear";
    std::optional<platform::Value> m_properties;
    bool m_startListener = false;
    bool m_progressListener = false;
    bool m_completionListener = false;
    bool m_animating = false;
    bool m_completed = false;
    // Counts the runs and cancellations, so that the completion of an animation that a later
    // one has replaced stops nothing.
    std::uint64_t m_generation = 0;
    // The animator's block of the last run: what "cancel" ends on the target's view.
    std::optional<std::uint64_t> m_block;
    platform::MainLoop::TimerId m_pendingStart = 0;
    platform::Timer m_timer;
};

} // namespace morvix
