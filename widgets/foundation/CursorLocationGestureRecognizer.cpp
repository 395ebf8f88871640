#include "widgets/foundation/CursorLocationGestureRecognizer.h"

namespace morvix {

std::shared_ptr<CursorLocationGestureRecognizer> CursorLocationGestureRecognizer::create(std::weak_ptr<void> target, EventAction action)
{
    return std::shared_ptr<CursorLocationGestureRecognizer>(new CursorLocationGestureRecognizer(std::move(target), std::move(action)));
}

CursorLocationGestureRecognizer::CursorLocationGestureRecognizer(std::weak_ptr<void> target, EventAction action)
    : TapGestureRecognizer({})
    , m_target(std::move(target))
    , m_action(std::move(action))
{
    setCancelsTouchesInView(false);
}

void CursorLocationGestureRecognizer::executeAction(const platform::Event& event)
{
    if (!m_action)
        return;
    // The target may go away while its recogniser is still on the window.
    if (auto target = m_target.lock())
        m_action(event);
}

void CursorLocationGestureRecognizer::touchesBegan(const platform::TouchSet& touches, const platform::Event& event)
{
    executeAction(event);
    TapGestureRecognizer::touchesBegan(touches, event);
}

void CursorLocationGestureRecognizer::touchesMoved(const platform::TouchSet& touches, const platform::Event& event)
{
    TapGestureRecognizer::touchesMoved(touches, event);
}

void CursorLocationGestureRecognizer::touchesEnded(const platform::TouchSet& touches, const platform::Event& event)
{
    executeAction(event);
    TapGestureRecognizer::touchesCancelled(touches, event);
}

void CursorLocationGestureRecognizer::touchesCancelled(const platform::TouchSet& touches, const platform::Event& event)
{
    executeAction(event);
    TapGestureRecognizer::touchesCancelled(touches, event);
}

} // namespace morvix
