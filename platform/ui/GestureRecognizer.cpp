#include "platform/ui/GestureRecognizer.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Event.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cstdio>

namespace morvix::platform {

const char* stateName(GestureState state)
{
    switch (state) {
    case GestureState::Possible:
        return "possible";
    case GestureState::Began:
        return "began";
    case GestureState::Changed:
        return "changed";
    case GestureState::Ended:
        return "ended";
    case GestureState::Cancelled:
        return "cancelled";
    case GestureState::Failed:
        return "failed";
    }
    return "?";
}

namespace {

bool isValidTransition(GestureState from, GestureState to)
{
    switch (from) {
    case GestureState::Possible:
        return to == GestureState::Began || to == GestureState::Ended || to == GestureState::Cancelled || to == GestureState::Failed;
    case GestureState::Began:
    case GestureState::Changed:
        return to == GestureState::Changed || to == GestureState::Ended || to == GestureState::Cancelled;
    case GestureState::Ended:
    case GestureState::Cancelled:
    case GestureState::Failed:
        return false;
    }
    return false;
}

} // namespace

std::shared_ptr<GestureRecognizer> GestureRecognizer::create(Action action)
{
    return std::shared_ptr<GestureRecognizer>(new GestureRecognizer(std::move(action)));
}

GestureRecognizer::GestureRecognizer(Action action)
{
    if (action)
        m_targets.push_back({ true, {}, std::move(action) });
}

GestureRecognizer::~GestureRecognizer() = default;

void GestureRecognizer::addAction(Action action)
{
    m_targets.push_back({ true, {}, std::move(action) });
}

void GestureRecognizer::addTarget(std::weak_ptr<void> owner, Action action)
{
    m_targets.push_back({ false, std::move(owner), std::move(action) });
}

void GestureRecognizer::removeTarget(const void* owner)
{
    std::erase_if(m_targets, [&](const Target& target) { return !target.owned && target.owner.lock().get() == owner; });
}

void GestureRecognizer::requireToFail(const std::shared_ptr<GestureRecognizer>& other)
{
    if (other && other.get() != this)
        m_requiredFailures.push_back(other);
}

void GestureRecognizer::setEnabled(bool enabled)
{
    assertOnMainThread();
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled)
        abandon();
}

void GestureRecognizer::attach(const std::shared_ptr<View>& view)
{
    abandon();
    m_view = view;
}

// Ends whatever the recogniser was doing and takes it out of the current touch sequence.
void GestureRecognizer::abandon()
{
    auto keep = shared_from_this();
    if (isActive())
        applyState(GestureState::Cancelled);
    else if (m_state == GestureState::Possible && !m_touches.empty())
        applyState(GestureState::Failed);
    m_pending.reset();
    if (auto window = view() ? view()->window() : nullptr)
        window->forgetRecognizer(*this);
    if (m_state != GestureState::Possible || !m_touches.empty())
        reset();
}

Point GestureRecognizer::locationIn(const View* view) const
{
    Point window = m_lastWindowLocation;
    if (!m_touches.empty()) {
        double x = 0, y = 0;
        for (const auto& touch : m_touches) {
            x += touch->windowLocation().x;
            y += touch->windowLocation().y;
        }
        window = { x / m_touches.size(), y / m_touches.size() };
    }
    if (!view)
        return window;
    auto root = view->window();
    return view->convertPointFrom(window, root.get());
}

Point GestureRecognizer::locationOfTouch(std::size_t index, const View* view) const
{
    if (index >= m_touches.size())
        return locationIn(view);
    return m_touches[index]->locationIn(view);
}

void GestureRecognizer::touchesBegan(const TouchSet& touches, const Event&)
{
    for (const auto& touch : touches) {
        if (std::find(m_touches.begin(), m_touches.end(), touch) == m_touches.end())
            m_touches.push_back(touch);
        m_lastWindowLocation = touch->windowLocation();
    }
}

void GestureRecognizer::touchesMoved(const TouchSet& touches, const Event&)
{
    if (!touches.empty())
        m_lastWindowLocation = locationIn(nullptr);
}

void GestureRecognizer::touchesEnded(const TouchSet& touches, const Event&)
{
    forgetTouches(touches);
}

void GestureRecognizer::touchesCancelled(const TouchSet& touches, const Event&)
{
    forgetTouches(touches);
}

void GestureRecognizer::forgetTouches(const TouchSet& touches)
{
    if (!m_touches.empty())
        m_lastWindowLocation = locationIn(nullptr);
    for (const auto& touch : touches)
        std::erase(m_touches, touch);
}

void GestureRecognizer::reset()
{
    m_state = GestureState::Possible;
    m_pending.reset();
    m_touches.clear();
}

std::vector<std::shared_ptr<GestureRecognizer>> GestureRecognizer::peers() const
{
    std::vector<std::shared_ptr<GestureRecognizer>> list;
    auto view = this->view();
    auto window = view ? view->window() : nullptr;
    if (!window)
        return list;
    for (const auto& recognizer : window->activeRecognizers()) {
        if (recognizer.get() != this)
            list.push_back(recognizer);
    }
    return list;
}

bool GestureRecognizer::mustWaitFor(GestureRecognizer& other)
{
    for (const auto& weak : m_requiredFailures) {
        if (weak.lock().get() == &other)
            return true;
    }
    if (auto delegate = this->delegate(); delegate && delegate->shouldRequireFailureOf(*this, other))
        return true;
    if (auto delegate = other.delegate(); delegate && delegate->shouldBeRequiredToFailBy(other, *this))
        return true;
    return shouldRequireFailureOf(other) || other.shouldBeRequiredToFailBy(*this);
}

bool GestureRecognizer::simultaneous(GestureRecognizer& other)
{
    if (auto delegate = this->delegate(); delegate && delegate->shouldRecognizeSimultaneously(*this, other))
        return true;
    auto delegate = other.delegate();
    return delegate && delegate->shouldRecognizeSimultaneously(other, *this);
}

bool GestureRecognizer::touchedViewsAllowBeginning()
{
    std::vector<View*> asked;
    for (const auto& touch : m_touches) {
        auto view = touch ? touch->view() : nullptr;
        if (!view || std::find(asked.begin(), asked.end(), view.get()) != asked.end())
            continue;
        asked.push_back(view.get());
        if (!view->gestureRecognizerShouldBegin(*this))
            return false;
    }
    return true;
}

void GestureRecognizer::setState(GestureState state)
{
    assertOnMainThread();
    if (!isValidTransition(m_state, state)) {
        if (!(m_state == state && state == GestureState::Failed))
            std::fprintf(stderr, "gesture: %s ignores a move from %s to %s\n", className(), stateName(m_state), stateName(state));
        return;
    }
    auto keep = shared_from_this();
    if (m_state != GestureState::Possible || state == GestureState::Failed || state == GestureState::Cancelled) {
        if (state == GestureState::Failed || state == GestureState::Cancelled)
            m_pending.reset();
        applyState(state);
        return;
    }
    if (auto delegate = this->delegate(); delegate && !delegate->gestureRecognizerShouldBegin(*this)) {
        applyState(GestureState::Failed);
        return;
    }
    if (!touchedViewsAllowBeginning()) {
        applyState(GestureState::Failed);
        return;
    }
    auto others = peers();
    bool waiting = false;
    for (const auto& other : others) {
        if (!mustWaitFor(*other))
            continue;
        if (other->m_state == GestureState::Began || other->m_state == GestureState::Changed || other->m_state == GestureState::Ended) {
            applyState(GestureState::Failed);
            return;
        }
        if (other->m_state == GestureState::Possible)
            waiting = true;
    }
    if (waiting) {
        m_pending = state;
        return;
    }
    m_pending.reset();
    for (const auto& other : others) {
        if (other->isActive() && !simultaneous(*other) && other->canPrevent(*this) && canBePreventedBy(*other)) {
            applyState(GestureState::Failed);
            return;
        }
    }
    applyState(state);
    for (const auto& other : peers()) {
        if (other->m_state != GestureState::Possible)
            continue;
        if (other->m_pending && other->mustWaitFor(*this)) {
            other->applyState(GestureState::Failed);
            continue;
        }
        if (!simultaneous(*other) && canPrevent(*other) && other->canBePreventedBy(*this) && !other->mustWaitFor(*this))
            other->applyState(GestureState::Failed);
    }
}

void GestureRecognizer::applyState(GestureState state)
{
    auto keep = shared_from_this();
    // Cancelled straight from possible is a failure by another name.
    bool failure = state == GestureState::Failed || (state == GestureState::Cancelled && m_state == GestureState::Possible);
    m_state = state;
    if (state != GestureState::Possible && !failure)
        runActions();
    if ((state == GestureState::Began || state == GestureState::Ended) && cancelsTouchesInView()) {
        if (auto window = view() ? view()->window() : nullptr)
            window->cancelViewTouches(*this);
    }
    if (failure) {
        m_pending.reset();
        // Recognisers that waited for this one may go ahead now.
        for (const auto& other : peers()) {
            if (other->m_pending && other->mustWaitFor(*this))
                other->resolvePending();
        }
    }
    if (isFinal() && m_touches.empty()) {
        auto view = this->view();
        auto window = view ? view->window() : nullptr;
        if (!window || !window->isDeliveringEvent())
            abandon();
    }
}

void GestureRecognizer::resolvePending()
{
    if (!m_pending || m_state != GestureState::Possible)
        return;
    for (const auto& other : peers()) {
        if (mustWaitFor(*other) && other->m_state == GestureState::Possible)
            return; // still waiting for another one
    }
    GestureState wanted = *m_pending;
    m_pending.reset();
    setState(wanted);
}

void GestureRecognizer::runActions()
{
    auto targets = m_targets;
    for (auto& target : targets) {
        if (target.owned) {
            target.action(*this);
            continue;
        }
        if (auto owner = target.owner.lock())
            target.action(*this);
    }
}

void GestureRecognizer::driveState(GestureState state)
{
    m_state = state;
    if (state != GestureState::Possible && state != GestureState::Failed)
        runActions();
}

} // namespace morvix::platform
