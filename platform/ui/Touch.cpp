#include "platform/ui/Touch.h"

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Window.h"

namespace morvix::platform {

std::shared_ptr<Touch> Touch::create(std::uint64_t identifier, const std::shared_ptr<Window>& window, Point location, double timestamp)
{
    std::shared_ptr<Touch> touch(new Touch);
    touch->m_identifier = identifier;
    touch->m_window = window;
    touch->m_location = location;
    touch->m_previousLocation = location;
    touch->m_timestamp = timestamp;
    return touch;
}

void Touch::moveTo(Point location, double timestamp)
{
    m_previousLocation = m_location;
    m_location = location;
    m_timestamp = timestamp;
}

Point Touch::locationIn(const View* view) const
{
    if (!view)
        return m_location;
    auto window = m_window.lock();
    return view->convertPointFrom(m_location, window.get());
}

Point Touch::previousLocationIn(const View* view) const
{
    if (!view)
        return m_previousLocation;
    auto window = m_window.lock();
    return view->convertPointFrom(m_previousLocation, window.get());
}

std::vector<std::shared_ptr<GestureRecognizer>> Touch::gestureRecognizers() const
{
    std::vector<std::shared_ptr<GestureRecognizer>> list;
    for (const auto& weak : m_recognizers) {
        if (auto recognizer = weak.lock())
            list.push_back(recognizer);
    }
    return list;
}

} // namespace morvix::platform
