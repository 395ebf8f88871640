#pragma once
// What a session logs, kept for a test to look through.

#include "core/base/LogEntry.h"
#include "core/session/MorvixClient.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace morvix::testing {

/// Keeps the message of every entry the session it is attached to logs, from whichever thread
/// logs it. Must outlive the session's logging (attach it to a session the test drops first).
class SessionLogRecorder {
public:
    void attach(MorvixClient& client)
    {
        client.setLogObserver([this](const LogEntry& entry) {
            std::lock_guard lock(m_mutex);
            m_messages.push_back(entry.message());
        }, MorvixClient::LogDelivery::AnyThread);
    }
    /// Whether a message logged so far holds `part`.
    bool contains(std::string_view part) const
    {
        std::lock_guard lock(m_mutex);
        return std::any_of(m_messages.begin(), m_messages.end(), [&](const std::string& message) { return message.find(part) != std::string::npos; });
    }

private:
    mutable std::mutex m_mutex; // guards m_messages
    std::vector<std::string> m_messages;
};

} // namespace morvix::testing
