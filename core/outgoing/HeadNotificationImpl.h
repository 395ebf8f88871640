#pragma once
// The standard head-only message.

#include "core/outgoing/HeadNotification.h"

#include <cstdint>

namespace morvix {

/// The `HeadNotification` that `Notifications::forHead` hands out.
class HeadNotificationImpl final : public HeadNotification {
public:
    static std::shared_ptr<HeadNotificationImpl> create();

    HeadNotificationImpl& setAttribute(platform::Value value, const std::string& key) override;
    HeadNotificationImpl& zubInitialize() override;
    HeadNotificationImpl& shutdown() override;
    HeadNotificationImpl& ping() override;
    const platform::Value& getAttributes() const override { return m_dictionary; }

    /// Sets "requestCounter"; sends nothing. The counter of a real request is written by the
    /// transport when it sends, not through this.
    HeadNotificationImpl& setRequestCounter(std::int64_t counter);

    /// The attributes as compact JSON, for debugging.
    std::string description() const;

    // Public for std::make_shared only: the key cannot be made outside this class.
    class Key {
        friend class HeadNotificationImpl;
        Key() = default;
    };
    explicit HeadNotificationImpl(Key) { }

private:

    platform::Value m_dictionary = platform::Value::object();
};

} // namespace morvix
