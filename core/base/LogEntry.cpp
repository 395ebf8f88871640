#include "core/base/LogEntry.h"

namespace morvix {

LogEntry::LogEntry(std::string message, Type type)
    : m_message(std::move(message))
    , m_type(type)
{
}

std::optional<LogEntry> LogEntry::make(std::optional<std::string> message, Type type)
{
    if (!message)
        return std::nullopt;
    return LogEntry(std::move(*message), type);
}

std::optional<LogEntry> LogEntry::entryWithMessage(std::optional<std::string> message)
{
    return make(std::move(message), Type::Log);
}

std::optional<LogEntry> LogEntry::entryWithInfo(std::optional<std::string> message)
{
    return make(std::move(message), Type::Info);
}

std::optional<LogEntry> LogEntry::entryWithWarning(std::optional<std::string> message)
{
    return make(std::move(message), Type::Warning);
}

std::optional<LogEntry> LogEntry::entryWithError(std::optional<std::string> message)
{
    return make(std::move(message), Type::Error);
}

std::optional<LogEntry> LogEntry::entryWithDebug(std::optional<std::string> message)
{
    return make(std::move(message), Type::Debug);
}

bool LogEntry::isEqualToLogEntry(const LogEntry& other) const
{
    if (this == &other)
        return true;
    return m_type == other.m_type && m_message == other.m_message;
}

} // namespace morvix
