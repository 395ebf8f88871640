#pragma once
// The factory of outgoing message builders.

#include "core/outgoing/HeadNotification.h"
#include "core/outgoing/Notification.h"

#include <memory>
#include <string>

namespace morvix {

/// Makes the builders through which remote objects tell the peer what happened: one for an
/// object's property changes, calls and events, one for head attributes. Every remote object
/// reaches it through its `notifications` class, which is this one unless the object's class
/// replaces it. Any thread; each builder is then used by one thread.
class Notifications {
public:
    Notifications() = delete;

    /// Posted by the embedding application (never by the library) to scroll every scrolled
    /// composite, tree level and list back to the top.
    static constexpr const char* kScrollUp = "com.zerivoquastel.morvix.ScrollUp";

    /// A new, empty head-only message.
    static std::shared_ptr<HeadNotification> forHead();
    /// A new, empty message addressed to the object whose id is `objectId`.
    static std::shared_ptr<Notification> forObject(const std::string& objectId);
    /// A new, empty message addressed to `typeName` as given: service objects are registered
    /// under their type name.
    static std::shared_ptr<Notification> forType(const std::string& typeName);
};

} // namespace morvix
