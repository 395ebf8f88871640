#pragma once
// The request counter that lets the server recognise a repeated request.

#include <cstdint>
#include <mutex>

namespace morvix {

/// The last request counter the server announced, and whether it has already gone out in a
/// request. A counter is sent once: a second message before the server announces a newer one
/// would reuse it, which the transport refuses.
///
/// Rules:
///  1. `value` marks the counter used only when there is one (0 or more).
///  2. `setValue` ignores a value below the current one (the counter never goes back); an equal
///     or higher value is taken and clears "used".
///
/// Owned by the session's transport. Any thread: the server announces the counter on the main
/// thread while a response is read, the transport reads it when the next message leaves.
class RequestCounter final {
public:
    RequestCounter() = default;
    RequestCounter(const RequestCounter&) = delete;
    RequestCounter& operator=(const RequestCounter&) = delete;

    /// The counter, -1 when none has been announced; marks it used (rule 1).
    std::int64_t value();
    /// Takes the announced counter (rule 2).
    void setValue(std::int64_t value);
    /// Whether the server has announced a counter.
    bool isInitialized() const;
    /// Whether the current counter has already been put into a request.
    bool isUsed() const;
    /// Back to "none announced, not used".
    void reset();

private:
    mutable std::mutex m_mutex; // guards m_count and m_used
    std::int64_t m_count = -1;
    bool m_used = false;
};

} // namespace morvix
