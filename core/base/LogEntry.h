#pragma once
// A log record: a message and its type.

#include <optional>
#include <string>

namespace morvix {

/// One record of the session log: a message and a type (1 log, 2 info, 3 warning, 4 error,
/// 5 debug). Made by the script bridge and the session, shown by the developer console. Plain
/// value type, any thread.
class LogEntry final {
public:
    enum class Type : unsigned {
        Log = 1,
        Info = 2,
        Warning = 3,
        Error = 4,
        Debug = 5,
    };

    LogEntry(std::string message, Type type);

    /// Each factory gives no entry when the message is absent.
    static std::optional<LogEntry> entryWithMessage(std::optional<std::string> message);
    static std::optional<LogEntry> entryWithInfo(std::optional<std::string> message);
    static std::optional<LogEntry> entryWithWarning(std::optional<std::string> message);
    static std::optional<LogEntry> entryWithError(std::optional<std::string> message);
    static std::optional<LogEntry> entryWithDebug(std::optional<std::string> message);

    const std::string& message() const { return m_message; }
    Type type() const { return m_type; }

    /// True when both have the same type and an equal message text.
    bool isEqualToLogEntry(const LogEntry& other) const;
    bool operator==(const LogEntry& other) const { return isEqualToLogEntry(other); }

private:
    static std::optional<LogEntry> make(std::optional<std::string> message, Type type);

    std::string m_message;
    Type m_type;
};

} // namespace morvix
