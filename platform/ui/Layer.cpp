#include "platform/ui/Layer.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Animator.h"
#include "platform/ui/TimeInterval.h"
#include "platform/ui/View.h"

#include <algorithm>

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
    Running running { std::move(animation), 0 };
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
