#pragma once
// The standard message builder for one target.

#include "core/outgoing/Notification.h"
#include "core/outgoing/SmallList.h"

namespace morvix {

/// The `Notification` that `Notifications` hands out. See `Notification` for the rules.
class NotificationImpl final : public Notification {
public:
    static std::shared_ptr<NotificationImpl> create(std::string target);

    NotificationImpl& attributeChanged(platform::Value value, const std::string& key) override;
    NotificationImpl& floatingPointChanged(double value, const std::string& key) override;
    NotificationImpl& call(const std::string& method, platform::Value parameters = nullptr) override;
    NotificationImpl& fireEvent(const std::string& event, platform::Value attributes = nullptr) override;
    NotificationImpl& fireSelection() override;
    NotificationImpl& fireDefaultSelection() override;

    std::span<const MessageOperation> getMessageOperations() const override { return m_operations.items(); }
    const std::string& getTarget() const override { return m_target; }

    /// The recorded operations' descriptions, one per line, for debugging.
    std::string description() const;

    // Public for std::make_shared only: the key cannot be made outside this class.
    class Key {
        friend class NotificationImpl;
        Key() = default;
    };
    NotificationImpl(Key, std::string target);

private:
    MessageOperation& lastSet();

    std::string m_target;
    // Most messages record one operation, which then needs no list of its own.
    SmallList<MessageOperation> m_operations;
};

} // namespace morvix
