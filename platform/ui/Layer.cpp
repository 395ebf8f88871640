#include "platform/ui/Layer.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Animator.h"
#include "platform/ui/TimeInterval.h"
#include "platform/ui/View.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace morvix::platform {

double LayerAnimation::activeDuration() const
{
    double once = duration * (autoreverses ? 2 : 1);
    return std::max(0.0, beginOffset) + once * (std::max(0.0, repeatCount) + 1);
}

std::shared_ptr<Layer> Layer::create()
{
    return std::shared_ptr<Layer>(new Layer);
}

Layer::~Layer()
{
    for (auto& [key, running] : m_animations)
        MainLoop::main().cancel(running.timer);
}

void Layer::setAnchorPoint(Point anchor)
{
    m_anchorPoint = anchor;
}

Transform3D Layer::transform() const
{
    return m_view ? m_view->transform3D() : m_transform;
}

void Layer::setTransform(const Transform3D& transform)
{
    if (m_view)
        m_view->setTransform3D(transform);
    else
        m_transform = transform;
}

namespace {

double numberOf(const AnimationValue& value, double fallback)
{
    auto number = std::get_if<double>(&value);
    return number ? *number : fallback;
}

// The value of `animation` at `local` seconds into one pass of it.
std::optional<double> valueAt(const LayerAnimation& animation, double local)
{
    double progress = animation.duration > 0 ? std::clamp(local / animation.duration, 0.0, 1.0) : 1.0;
    if (animation.values.empty()) {
        double from = numberOf(animation.from, 0);
        double to = numberOf(animation.to, from);
        return from + (to - from) * curveProgress(animation.curve, progress);
    }
    const auto& values = animation.values;
    std::size_t count = values.size();
    if (count == 1)
        return numberOf(values[0], 0);
    auto keyTime = [&](std::size_t i) {
        return animation.keyTimes.size() == count ? animation.keyTimes[i] : double(i) / double(count - 1);
    };
    for (std::size_t i = 1; i < count; ++i) {
        double start = keyTime(i - 1);
        double end = keyTime(i);
        if (progress > end && i + 1 < count)
            continue;
        double share = end > start ? std::clamp((progress - start) / (end - start), 0.0, 1.0) : 1.0;
        double a = numberOf(values[i - 1], 0);
        return a + (numberOf(values[i], a) - a) * share;
    }
    return numberOf(values.back(), 0);
}

} // namespace

std::optional<double> Layer::presentationValue(const std::string& keyPath, TimePoint time) const
{
    const Running* newest = nullptr;
    for (const auto& [key, running] : m_animations) {
        if (running.animation.keyPath == keyPath && (!newest || running.token > newest->token))
            newest = &running;
    }
    if (!newest)
        return std::nullopt;
    const LayerAnimation& animation = newest->animation;
    double elapsed = std::chrono::duration<double>(time - newest->start).count() - std::max(0.0, animation.beginOffset);
    if (elapsed < 0)
        return std::nullopt;
    double pass = animation.duration * (animation.autoreverses ? 2 : 1);
    double total = animation.activeDuration() - std::max(0.0, animation.beginOffset);
    if (elapsed >= total && animation.removedOnCompletion)
        return std::nullopt;
    double local = pass > 0 ? std::fmod(std::min(elapsed, total), pass) : 0;
    if (pass > 0 && elapsed >= total)
        local = pass; // held at the end (fill mode forwards)
    if (animation.autoreverses && local > animation.duration)
        local = pass - local;
    return valueAt(animation, local);
}

Rect Layer::frame() const
{
    return m_view ? m_view->frame() : m_frame;
}

void Layer::setFrame(const Rect& frame)
{
    if (m_view)
        m_view->setFrame(frame);
    else
        m_frame = frame;
}

void Layer::addAnimation(LayerAnimation animation, const std::string& key)
{
    assertOnMainThread();
    auto existing = m_animations.find(key);
    if (existing != m_animations.end()) {
        Running old = std::move(existing->second);
        m_animations.erase(existing);
        MainLoop::main().cancel(old.timer);
        stopLater(std::move(old));
    }
    Duration after = durationFromSeconds(animation.activeDuration());
    Animator::shared().noteAnimationEnd(Clock::current()->now() + after);
    std::weak_ptr<Layer> weak = weak_from_this();
    static std::uint64_t s_token = 0;
    std::uint64_t token = ++s_token;
    Running running { std::move(animation), 0, Clock::current()->now(), token };
    running.timer = MainLoop::main().postAfter(after, [weak, key, token] {
        if (auto layer = weak.lock())
            layer->finish(key, token);
    });
    // The token identifies this run, so a timer of a replaced run finds nothing to finish.
    m_animations[key] = std::move(running);
    m_tokens[key] = token;
}

void Layer::finish(const std::string& key, std::uint64_t token)
{
    auto found = m_animations.find(key);
    if (found == m_animations.end() || m_tokens[key] != token)
        return;
    auto didStop = found->second.animation.didStop;
    if (found->second.animation.removedOnCompletion) {
        m_animations.erase(found);
        m_tokens.erase(key);
    }
    if (didStop)
        didStop(true);
}

void Layer::stopLater(Running running)
{
    if (!running.animation.didStop)
        return;
    MainLoop::main().post([didStop = std::move(running.animation.didStop)] { didStop(false); });
}

const LayerAnimation* Layer::animation(const std::string& key) const
{
    auto found = m_animations.find(key);
    return found == m_animations.end() ? nullptr : &found->second.animation;
}

std::vector<std::string> Layer::animationKeys() const
{
    std::vector<std::string> keys;
    for (const auto& [key, running] : m_animations)
        keys.push_back(key);
    return keys;
}

void Layer::removeAnimation(const std::string& key)
{
    auto found = m_animations.find(key);
    if (found == m_animations.end())
        return;
    Running running = std::move(found->second);
    m_animations.erase(found);
    m_tokens.erase(key);
    MainLoop::main().cancel(running.timer);
    stopLater(std::move(running));
}

void Layer::removeAllAnimations()
{
    for (const auto& key : animationKeys())
        removeAnimation(key);
    if (m_view)
        Animator::shared().removeAnimations(*m_view);
}

} // namespace morvix::platform
