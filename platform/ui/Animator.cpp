#include "platform/ui/Animator.h"

#include "platform/ui/TimeInterval.h"
#include "platform/ui/View.h"

#include <algorithm>
#include <cassert>
#include <chrono>

namespace morvix::platform {

namespace {

Duration seconds(double value)
{
    return durationFromSeconds(value);
}

} // namespace

struct Animator::Group {
    Completion completion;
    DidStop didStop;
    std::string name;
    bool finished = true;
    bool done = false;
    MainLoop::TimerId timer = 0;
    std::uint64_t generation = 0;
    std::uint64_t id = 0; // of the block that made it, never reused
};

struct Animator::Record {
    std::weak_ptr<View> view; // empty for a view that was still being constructed
    std::uint64_t viewSerial = 0; // never reused, unlike the view's address
    AnimatableProperty property;
    AnimationValue from;
    AnimationValue to;
    TimePoint start;
    Duration duration {};
    double delaySeconds = 0;
    double durationSeconds = 0;
    unsigned options = 0;
    AnimationCurve curve = AnimationCurve::EaseInOut;
    bool spring = false;
    double damping = 1;
    double velocity = 0;
    std::shared_ptr<Group> group;
};

struct Animator::Context {
    double duration = 0.2;
    double delay = 0;
    unsigned options = 0;
    AnimationCurve curve = AnimationCurve::EaseInOut;
    bool spring = false;
    double damping = 1;
    double velocity = 0;
    bool keyframes = false;
    double segmentStart = 0;
    double segmentDuration = 1;
    TimePoint opened;
    std::shared_ptr<Group> group;
    std::vector<Record> pending;
};

Animator& Animator::shared()
{
    static Animator animator;
    return animator;
}

Animator::Context& Animator::openContext(double duration, double delay, unsigned options)
{
    Context context;
    context.duration = std::max(0.0, duration);
    context.delay = std::max(0.0, delay);
    context.options = options;
    context.curve = AnimationOption::curveOf(options);
    context.opened = Clock::current()->now();
    context.group = std::make_shared<Group>();
    context.group->generation = m_generation;
    context.group->id = ++m_lastBlock;
    m_contexts.push_back(std::move(context));
    return m_contexts.back();
}

void Animator::closeContext(const Block& animations)
{
    if (animations)
        animations();
    Context context = std::move(m_contexts.back());
    m_contexts.pop_back();
    TimePoint now = context.opened;
    TimePoint end = now + seconds(context.delay + context.duration);
    for (auto& record : context.pending) {
        // A new animation of a property takes over from the one already running.
        for (std::size_t i = m_records.size(); i-- > 0;) {
            if (m_records[i].viewSerial == record.viewSerial && m_records[i].property == record.property && m_records[i].group != context.group)
                dropRecord(i);
        }
    }
    bool changed = !context.pending.empty();
    for (auto& record : context.pending)
        m_records.push_back(std::move(record));
    if (!changed) {
        // Nothing to wait for: the block completes on the next turn, whatever its duration.
        scheduleGroup(context.group, Duration::zero());
        return;
    }
    if (!m_transactions.empty()) {
        m_transactions.back().end = std::max(m_transactions.back().end, end);
        m_transactions.back().any = true;
    }
    scheduleGroup(context.group, end - Clock::current()->now());
}

void Animator::scheduleGroup(const std::shared_ptr<Group>& group, Duration after)
{
    if (after < Duration::zero())
        after = Duration::zero();
    group->timer = MainLoop::main().postAfter(after, [this, group] {
        if (group->generation == m_generation)
            finishGroup(group);
    });
}

void Animator::finishGroup(const std::shared_ptr<Group>& group)
{
    if (group->done)
        return;
    group->done = true;
    std::erase_if(m_records, [&](const Record& record) { return record.group == group; });
    if (group->completion)
        group->completion(group->finished);
    if (group->didStop)
        group->didStop(group->name, group->finished);
}

void Animator::dropRecord(std::size_t index)
{
    auto group = m_records[index].group;
    group->finished = false;
    m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(index));
    bool left = std::any_of(m_records.begin(), m_records.end(), [&](const Record& record) { return record.group == group; });
    if (!left && !group->done) {
        MainLoop::main().cancel(group->timer);
        scheduleGroup(group, Duration::zero());
    }
}

void Animator::animate(double duration, double delay, unsigned options, const Block& animations, Completion completion)
{
    assertOnMainThread();
    Context& context = openContext(duration, delay, options);
    context.group->completion = std::move(completion);
    closeContext(animations);
}

void Animator::animateSpring(double duration, double delay, double dampingRatio, double initialVelocity, unsigned options,
    const Block& animations, Completion completion)
{
    assertOnMainThread();
    Context& context = openContext(duration, delay, options);
    context.spring = true;
    context.damping = dampingRatio;
    context.velocity = initialVelocity;
    context.group->completion = std::move(completion);
    closeContext(animations);
}

std::uint64_t Animator::animateKeyframes(double duration, double delay, unsigned options, const Block& animations, Completion completion)
{
    assertOnMainThread();
    Context& context = openContext(duration, delay, options);
    context.keyframes = true;
    context.group->completion = std::move(completion);
    std::uint64_t block = context.group->id;
    closeContext(animations);
    return block;
}

void Animator::addKeyframe(double relativeStart, double relativeDuration, const Block& animations)
{
    assertOnMainThread();
    if (m_contexts.empty() || !m_contexts.back().keyframes) {
        if (animations)
            animations();
        return;
    }
    Context& context = m_contexts.back();
    double savedStart = context.segmentStart;
    double savedDuration = context.segmentDuration;
    context.segmentStart = std::clamp(relativeStart, 0.0, 1.0);
    context.segmentDuration = std::clamp(relativeDuration, 0.0, 1.0 - context.segmentStart);
    if (animations)
        animations();
    m_contexts.back().segmentStart = savedStart;
    m_contexts.back().segmentDuration = savedDuration;
}

void Animator::performWithoutAnimation(const Block& actions)
{
    ++m_disabled;
    if (actions)
        actions();
    --m_disabled;
}

void Animator::begin(std::string name)
{
    assertOnMainThread();
    Context& context = openContext(0.2, 0, 0);
    context.group->name = std::move(name);
}

void Animator::setDuration(double seconds)
{
    if (!m_contexts.empty())
        m_contexts.back().duration = std::max(0.0, seconds);
}

void Animator::setDelay(double seconds)
{
    if (!m_contexts.empty())
        m_contexts.back().delay = std::max(0.0, seconds);
}

void Animator::setCurve(AnimationCurve curve)
{
    if (!m_contexts.empty()) {
        m_contexts.back().curve = curve;
        m_contexts.back().options = (m_contexts.back().options & ~(0xFu << 16)) | (static_cast<unsigned>(curve) << 16);
    }
}

void Animator::setBeginsFromCurrentState(bool begins)
{
    if (!m_contexts.empty()) {
        unsigned& options = m_contexts.back().options;
        options = begins ? options | AnimationOption::BeginFromCurrentState : options & ~AnimationOption::BeginFromCurrentState;
    }
}

void Animator::setDidStop(DidStop didStop)
{
    if (!m_contexts.empty())
        m_contexts.back().group->didStop = std::move(didStop);
}

void Animator::commit()
{
    assertOnMainThread();
    assert(!m_contexts.empty() && "commit without begin");
    if (m_contexts.empty())
        return;
    // The settings are final now: give the pending records their timing.
    Context& context = m_contexts.back();
    for (auto& record : context.pending) {
        record.delaySeconds = context.delay;
        record.durationSeconds = context.duration;
        record.start = context.opened + seconds(context.delay);
        record.duration = seconds(context.duration);
        record.options = context.options;
        record.curve = context.curve;
    }
    closeContext({});
}

bool Animator::isAnimating() const
{
    return !m_contexts.empty() && m_disabled == 0;
}

void Animator::beginTransaction()
{
    m_transactions.push_back({ {}, Clock::current()->now(), false });
}

void Animator::setTransactionCompletion(std::function<void()> completion)
{
    if (!m_transactions.empty())
        m_transactions.back().completion = std::move(completion);
}

void Animator::commitTransaction()
{
    if (m_transactions.empty())
        return;
    Transaction transaction = std::move(m_transactions.back());
    m_transactions.pop_back();
    if (!m_transactions.empty() && transaction.any) {
        m_transactions.back().end = std::max(m_transactions.back().end, transaction.end);
        m_transactions.back().any = true;
    }
    if (!transaction.completion)
        return;
    Duration after = transaction.end - Clock::current()->now();
    auto generation = m_generation;
    MainLoop::main().postAfter(transaction.any && after > Duration::zero() ? after : Duration::zero(),
        [this, generation, completion = std::move(transaction.completion)] {
            if (generation == m_generation)
                completion();
        });
}

void Animator::noteAnimationEnd(TimePoint end)
{
    if (m_transactions.empty())
        return;
    m_transactions.back().end = std::max(m_transactions.back().end, end);
    m_transactions.back().any = true;
}

void Animator::recordChange(View& view, AnimatableProperty property, const AnimationValue& model, const AnimationValue& to)
{
    if (!isAnimating())
        return;
    Context& context = m_contexts.back();
    bool touched = std::any_of(context.pending.begin(), context.pending.end(),
        [&](const Record& record) { return record.viewSerial == view.serial() && record.property == property; });
    Record record;
    // A view set up in its constructor inside a block has no owner yet to refer to weakly.
    if (auto owner = view.weak_from_this().lock())
        record.view = std::static_pointer_cast<View>(owner);
    record.viewSerial = view.serial();
    record.property = property;
    // Within one block (keyframes) a later change starts where the earlier one ended.
    record.from = touched ? model : presentationValue(view, property, Clock::current()->now(), model);
    record.to = to;
    record.delaySeconds = context.delay + context.segmentStart * context.duration;
    record.durationSeconds = context.segmentDuration * context.duration;
    record.start = context.opened + seconds(record.delaySeconds);
    record.duration = seconds(record.durationSeconds);
    record.options = context.options;
    record.curve = context.curve;
    record.spring = context.spring;
    record.damping = context.damping;
    record.velocity = context.velocity;
    record.group = context.group;
    context.pending.push_back(std::move(record));
}

void Animator::removeAnimations(const View& view)
{
    for (std::size_t i = m_records.size(); i-- > 0;) {
        if (m_records[i].viewSerial == view.serial())
            dropRecord(i);
    }
}

void Animator::removeAnimations(const View& view, std::uint64_t block)
{
    for (std::size_t i = m_records.size(); i-- > 0;) {
        if (m_records[i].viewSerial == view.serial() && m_records[i].group->id == block)
            dropRecord(i);
    }
}

AnimationValue Animator::presentationValue(const View& view, AnimatableProperty property, TimePoint time, const AnimationValue& model) const
{
    const Record* first = nullptr;
    const Record* current = nullptr;
    for (const auto& record : m_records) {
        if (record.viewSerial != view.serial() || record.property != property)
            continue;
        if (!first)
            first = &record;
        if (record.start <= time)
            current = &record;
    }
    if (!first)
        return model;
    if (!current)
        return first->from;
    if (current->duration <= Duration::zero())
        return current->to;
    double elapsed = std::chrono::duration<double>(time - current->start).count();
    double linear = elapsed / current->durationSeconds;
    if (linear >= 1)
        return current->to;
    double progress = current->spring ? springProgress(current->damping, current->velocity, linear) : curveProgress(current->curve, linear);
    return interpolate(current->from, current->to, progress);
}

std::vector<ViewAnimationInfo> Animator::activeAnimations() const
{
    std::vector<ViewAnimationInfo> list;
    for (const auto& record : m_records) {
        list.push_back({ record.view, record.property, record.from, record.to, record.delaySeconds, record.durationSeconds,
            record.options, record.group->name });
    }
    return list;
}

void Animator::resetForTesting()
{
    ++m_generation;
    m_contexts.clear();
    m_records.clear();
    m_transactions.clear();
    m_disabled = 0;
}

} // namespace morvix::platform
