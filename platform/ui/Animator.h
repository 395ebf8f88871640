#pragma once
// View animations: block, spring and keyframe forms, and the older begin/commit form.

#include "platform/foundation/Clock.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/AnimationValue.h"
#include "platform/ui/Forward.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

/// Animation option bits, by the platform's numbers. The curve sits in bits 16 to 19.
namespace AnimationOption {
inline constexpr unsigned LayoutSubviews = 1;
inline constexpr unsigned AllowUserInteraction = 2;
inline constexpr unsigned BeginFromCurrentState = 4;
inline constexpr unsigned Repeat = 8;
inline constexpr unsigned Autoreverse = 16;
inline constexpr unsigned OverrideInheritedDuration = 32;
inline constexpr unsigned OverrideInheritedCurve = 64;
inline constexpr unsigned AllowAnimatedContent = 128;
inline constexpr unsigned ShowHideTransitionViews = 256;
inline constexpr unsigned OverrideInheritedOptions = 512;
inline constexpr unsigned CurveEaseInOut = 0u << 16;
inline constexpr unsigned CurveEaseIn = 1u << 16;
inline constexpr unsigned CurveEaseOut = 2u << 16;
inline constexpr unsigned CurveLinear = 3u << 16;
constexpr AnimationCurve curveOf(unsigned options) { return static_cast<AnimationCurve>((options >> 16) & 3); }
}

/// One running view animation, as tests and the renderer see it.
struct ViewAnimationInfo {
    std::weak_ptr<View> view;
    AnimatableProperty property;
    AnimationValue from;
    AnimationValue to;
    double delay = 0;
    double duration = 0;
    unsigned options = 0;
    std::string name; // of a begin/commit block; empty otherwise
};

/// Runs view animations the headless way:
///  1. Inside an animation block, setting an animatable property (alpha, centre and bounds, so
///     also frame, transform, background colour) sets the model value at once and records an
///     animation from the value shown at that moment (the presentation value) to the new one.
///     Getters return model values.
///  2. The completion runs on the main loop once delay plus duration have passed on the clock,
///     with finished = true; a block that changed nothing completes on the next turn. An
///     animation taken away before its end (`Layer::removeAllAnimations`, or another animation of
///     the same property) makes its block complete with finished = false, on the next turn when
///     nothing of the block is left running.
///  3. Keyframe blocks run their keyframes at once and in order, so the model ends at the last
///     keyframe's values; each keyframe animates over its own part of the duration.
///  4. `presentationValue` interpolates along the curve (or the spring) for the renderer.
/// The process has one animator. Main thread only.
class Animator final {
public:
    using Block = std::function<void()>;
    using Completion = std::function<void(bool finished)>;
    using DidStop = std::function<void(const std::string& name, bool finished)>;

    static Animator& shared();
    Animator(const Animator&) = delete;
    Animator& operator=(const Animator&) = delete;

    void animate(double duration, double delay, unsigned options, const Block& animations, Completion completion = {});
    void animate(double duration, const Block& animations, Completion completion = {}) { animate(duration, 0, 0, animations, std::move(completion)); }
    void animateSpring(double duration, double delay, double dampingRatio, double initialVelocity, unsigned options,
        const Block& animations, Completion completion = {});
    /// Returns the block's id, for `removeAnimations(view, block)`.
    std::uint64_t animateKeyframes(double duration, double delay, unsigned options, const Block& animations, Completion completion = {});
    /// Inside a keyframe block: runs `animations` for the part of the duration from
    /// `relativeStart` for `relativeDuration` (both 0 to 1).
    void addKeyframe(double relativeStart, double relativeDuration, const Block& animations);
    /// Runs `actions` with animation switched off, also inside an animation block.
    void performWithoutAnimation(const Block& actions);

    // The begin/commit form. Setters between `begin` and `commit` are animated with the settings
    // made in between; `didStop` runs with the name when the block ends.
    void begin(std::string name = {});
    void setDuration(double seconds);
    void setDelay(double seconds);
    void setCurve(AnimationCurve curve);
    void setBeginsFromCurrentState(bool begins);
    void setDidStop(DidStop didStop);
    void commit();
    /// True inside any block (not inside `performWithoutAnimation`).
    bool isAnimating() const;

    // Transactions: the completion runs when every animation (view or layer) started between
    // `beginTransaction` and `commitTransaction` has ended; on the next turn when there is none.
    void beginTransaction();
    void setTransactionCompletion(std::function<void()> completion);
    void commitTransaction();

    /// Called by the view setters; records an animation when inside a block.
    void recordChange(View& view, AnimatableProperty property, const AnimationValue& model, const AnimationValue& to);
    /// Called by layers when they start an animation ending at `end`.
    void noteAnimationEnd(TimePoint end);
    /// Ends every running animation of `view` unfinished.
    void removeAnimations(const View& view);
    /// Ends the running animations of `view` that the block `block` started, unfinished; the
    /// view's other animations go on.
    void removeAnimations(const View& view, std::uint64_t block);

    /// The value shown for `view`'s property at `time`, given its model value.
    AnimationValue presentationValue(const View& view, AnimatableProperty property, TimePoint time, const AnimationValue& model) const;
    /// The animations still running (not yet completed or removed), oldest first.
    std::vector<ViewAnimationInfo> activeAnimations() const;
    /// Forgets everything; tests call it between cases.
    void resetForTesting();

private:
    struct Group;
    struct Record;
    struct Context;
    Animator() = default;
    Context& openContext(double duration, double delay, unsigned options);
    void closeContext(const Block& animations);
    void finishGroup(const std::shared_ptr<Group>& group);
    void scheduleGroup(const std::shared_ptr<Group>& group, Duration after);
    void dropRecord(std::size_t index);

    std::vector<Context> m_contexts;
    std::vector<Record> m_records;
    struct Transaction {
        std::function<void()> completion;
        TimePoint end;
        bool any = false;
    };
    std::vector<Transaction> m_transactions;
    int m_disabled = 0;
    std::uint64_t m_generation = 0;
    std::uint64_t m_lastBlock = 0;
};

} // namespace morvix::platform
