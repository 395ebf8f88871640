#pragma once
// Counts the session's notifications on the default centre.

#include "platform/foundation/NotificationCenter.h"

#include <map>
#include <string>
#include <vector>

namespace morvix::testing {

/// Counts posts of the given notification names on the default centre, and keeps their order,
/// while it lives. Owned by the test; main thread.
class SessionNotificationCounter {
public:
    explicit SessionNotificationCounter(const std::vector<std::string>& names)
    {
        for (const auto& name : names) {
            m_tokens.push_back(platform::NotificationCenter::defaultCenter()->addObserver(name, nullptr,
                [this](const platform::Notification& notification) {
                    m_counts[notification.name]++;
                    m_order.push_back(notification.name);
                }));
        }
    }
    int count(const std::string& name) const
    {
        auto found = m_counts.find(name);
        return found == m_counts.end() ? 0 : found->second;
    }
    const std::vector<std::string>& order() const { return m_order; }

private:
    std::map<std::string, int> m_counts;
    std::vector<std::string> m_order;
    std::vector<platform::ObserverToken> m_tokens;
};

} // namespace morvix::testing
