#include "shell/KeyboardRelay.h"

#include "platform/ui/Keyboard.h"
#include "shell/DisplayRootViewController.h"

namespace morvix {

void KeyboardRelay::start(const Handler& handler)
{
    if (isObserving())
        return;
    auto center = platform::NotificationCenter::defaultCenter();
    m_shows = center->addObserver(platform::Keyboard::kWillShowNotification, nullptr,
        [handler](const platform::Notification& notification) { handler(notification, KeyboardChange::WillShow); });
    m_hides = center->addObserver(platform::Keyboard::kWillHideNotification, nullptr,
        [handler](const platform::Notification& notification) { handler(notification, KeyboardChange::WillHide); });
}

void KeyboardRelay::stop()
{
    m_shows.reset();
    m_hides.reset();
}

void KeyboardRelay::handOver(DisplayRootViewController& root, const platform::Notification& notification,
    KeyboardChange change, platform::ScrollView& scrollView)
{
    switch (change) {
    case KeyboardChange::WillShow:
        root.keyboardWillBeShown(notification, scrollView);
        return;
    case KeyboardChange::WillHide:
        root.keyboardWillBeHidden(notification, scrollView);
        return;
    }
}

} // namespace morvix
