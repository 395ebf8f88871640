#include "platform/ui/Keyboard.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AnimationValue.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"

namespace morvix::platform {

namespace {

Value rectValue(const Rect& rect)
{
    return Value::array({ rect.x(), rect.y(), rect.width(), rect.height() });
}

} // namespace

Keyboard& Keyboard::shared()
{
    static Keyboard keyboard;
    return keyboard;
}

Rect Keyboard::frame() const
{
    Rect screen = Screen::main().bounds();
    double height = screen.width() > screen.height() ? kLandscapeHeight : kPortraitHeight;
    return { 0, screen.height() - height, screen.width(), height };
}

void Keyboard::firstResponderChanged(const Responder* previous, const Responder* current)
{
    assertOnMainThread();
    (void)previous;
    bool wanted = current && current->isKeyInput();
    if (m_holds > 0) {
        m_pending = wanted;
        return;
    }
    update(wanted);
}

void Keyboard::release()
{
    if (--m_holds > 0 || !m_pending)
        return;
    bool wanted = *m_pending;
    m_pending.reset();
    update(wanted);
}

void Keyboard::update(bool wanted)
{
    if (wanted == m_visible)
        return;
    m_visible = wanted;
    announce(wanted);
}

void Keyboard::announce(bool showing)
{
    Rect shown = frame();
    Rect away = shown.offsetBy(0, shown.height());
    Value info = Value::object();
    info[kFrameBeginKey] = rectValue(showing ? away : shown);
    info[kFrameEndKey] = rectValue(showing ? shown : away);
    info[kAnimationDurationKey] = kAnimationDuration;
    info[kAnimationCurveKey] = static_cast<int>(AnimationCurve::EaseInOut);
    auto center = NotificationCenter::defaultCenter();
    center->post(showing ? kWillShowNotification : kWillHideNotification, nullptr, info);
    center->post(showing ? kDidShowNotification : kDidHideNotification, nullptr, info);
}

} // namespace morvix::platform
