#pragma once
// A message that carries head attributes only.

#include "core/outgoing/Message.h"
#include "platform/foundation/Value.h"

#include <string>

namespace morvix {

/// A message whose content goes into the head of the next request: "zub_initialize", "ping",
/// "shutdown" and any other key set with `setAttribute`. A later value for a key already queued
/// replaces it. A server binding recognises it with `std::dynamic_pointer_cast<HeadNotification>`.
/// Filled and handed on by one thread at a time.
class HeadNotification : public Message {
public:
    /// Stores the pair; sends nothing.
    virtual HeadNotification& setAttribute(platform::Value value, const std::string& key) = 0;
    /// Sets "zub_initialize" to true; sends nothing (the caller schedules).
    virtual HeadNotification& zubInitialize() = 0;
    /// Sets "shutdown" to true and sends at once.
    virtual HeadNotification& shutdown() = 0;
    /// Sets "ping" to true and sends at once.
    virtual HeadNotification& ping() = 0;
    /// The attributes set so far; an empty object at first.
    virtual const platform::Value& getAttributes() const = 0;

protected:
    HeadNotification() = default;
};

} // namespace morvix
