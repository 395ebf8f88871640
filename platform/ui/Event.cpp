#include "platform/ui/Event.h"

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"

namespace morvix::platform {

TouchSet Event::touchesFor(const View& view) const
{
    TouchSet touches;
    for (const auto& touch : m_touches) {
        if (touch->view().get() == &view)
            touches.push_back(touch);
    }
    return touches;
}

TouchSet Event::touchesFor(const GestureRecognizer& recognizer) const
{
    TouchSet touches;
    for (const auto& touch : m_touches) {
        for (const auto& attached : touch->gestureRecognizers()) {
            if (attached.get() == &recognizer) {
                touches.push_back(touch);
                break;
            }
        }
    }
    return touches;
}

} // namespace morvix::platform
