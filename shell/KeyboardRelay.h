#pragma once
// Hands the keyboard's comings and goings to the root controller, which keeps the focused field
// in sight.

#include "platform/foundation/NotificationCenter.h"

#include <functional>

namespace morvix {

class DisplayRootViewController;

namespace platform {
class ScrollView;
}

/// Which way the keyboard is going.
enum class KeyboardChange { WillShow, WillHide };

/// Observes the keyboard's will-show and will-hide notifications for a page's or the drawer's
/// controller while it is shown, and hands them to the root controller, which moves the focused
/// field of the controller's scroll view above the keyboard and later gives the room back.
/// A member of the controller it serves, which starts it when it appears and stops it when it
/// disappears; destroying it stops it too. Main thread only.
class KeyboardRelay final {
public:
    /// Called for each notification while observing. It is kept until `stop`, so it holds its
    /// controller weakly.
    using Handler = std::function<void(const platform::Notification& notification, KeyboardChange change)>;

    KeyboardRelay() = default;
    KeyboardRelay(const KeyboardRelay&) = delete;
    KeyboardRelay& operator=(const KeyboardRelay&) = delete;

    /// Starts observing. Does nothing while already observing (the platform may report one
    /// appearance more than once), so the first handler stays.
    void start(const Handler& handler);
    /// Stops observing; does nothing when not observing.
    void stop();
    bool isObserving() const { return m_shows.isActive(); }

    /// Tells `root` of the change for the field in `scrollView`.
    static void handOver(DisplayRootViewController& root, const platform::Notification& notification,
        KeyboardChange change, platform::ScrollView& scrollView);

private:
    platform::ObserverToken m_shows;
    platform::ObserverToken m_hides;
};

} // namespace morvix
