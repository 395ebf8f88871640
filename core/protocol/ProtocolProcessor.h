#pragma once
// Turns the events of the streaming JSON parser into head members and operations.

#include "core/protocol/ProtocolValuePool.h"
#include "platform/foundation/Value.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class CommandOperator;
class ProtocolProcessorArrayItem;
class ProtocolProcessorContainerItem;
class ProtocolProcessorObjectItem;

/// Receives the parser's events for one response body and keeps a stack of container items
/// that build the JSON values. As soon as a member of the top-level "head" object or an
/// element of the top-level "operations" array is complete, it is handed to the command
/// operator, before the parser goes on.
///
/// Rules:
///  1. Head members and operations are handed over in document order, each when its value
///     closes; "operations" before "head" in the body means the operations go first.
///  2. Once a head member returned an error text, nothing more of the body is handed over.
///  3. Once `abandon()` was called, nothing more is handed over either, and what was handed
///     over but still waits for the main thread is not applied (the command operator reads
///     the same flag there).
///  4. More than `kMaximumDepth` open containers is refused: the event returns false, the
///     parse must stop, and `hasOverflowed()` is true from then on. Values that deep would
///     overflow the stack when they are copied or destroyed.
///
/// Owned by one `ProtocolReader`; used on the thread that parses, except `abandon` and
/// `isAbandoned`, which any thread may call.
class ProtocolProcessor final {
public:
    static constexpr std::size_t kStackCapacity = 20;
    static constexpr std::size_t kMaximumDepth = 1000;

    /// The operator is held weakly: once it is gone, nothing is applied.
    explicit ProtocolProcessor(std::weak_ptr<CommandOperator> commandOperator);
    ~ProtocolProcessor();
    ProtocolProcessor(const ProtocolProcessor&) = delete;
    ProtocolProcessor& operator=(const ProtocolProcessor&) = delete;

    // Parser events. The container events return false when the parse must stop (rule 4).
    bool parserDidStartDictionary();
    bool parserDidEndDictionary();
    bool parserDidStartArray();
    bool parserDidEndArray();
    void parserDidMapKey(std::string_view key);
    void parserDidAdd(platform::Value&& value);

    /// Hands one head member to the command operator, unless rules 2 or 3 hold; an error text
    /// it returns becomes `error()`.
    void processHead(const platform::Value& value, const std::string& key);
    /// Hands one operation to the command operator, unless rules 2 or 3 hold; its result is
    /// dropped.
    void processOperation(const platform::Value& operation);

    /// The text of an "error" head member, once one was read.
    const std::optional<std::string>& error() const { return m_error; }
    /// True once the top-level value has been read completely.
    bool hasCompletedDocument() const { return m_completedDocument; }
    /// True once the nesting went deeper than `kMaximumDepth`.
    bool hasOverflowed() const { return m_overflowed; }

    /// A plain object or array item for a nested container: one that closed before and was
    /// kept for reuse when there is one, so that reading a body does not allocate an item for
    /// every container.
    std::unique_ptr<ProtocolProcessorContainerItem> objectItem();
    std::unique_ptr<ProtocolProcessorContainerItem> arrayItem();

    /// Where the values of the body are built, and where each goes once it has been handed
    /// over (or dropped), to build later ones in.
    ProtocolValuePool& values() { return m_values; }

    /// Any thread.
    void abandon();
    bool isAbandoned() const { return m_abandoned.load(std::memory_order_acquire); }

private:
    bool shouldApply() const { return !m_error && !isAbandoned(); }
    bool push(std::unique_ptr<ProtocolProcessorContainerItem> item);
    bool pop();
    ProtocolProcessorContainerItem* container() const;
    void recycle(std::unique_ptr<ProtocolProcessorContainerItem> item);

    std::weak_ptr<CommandOperator> m_commandOperator;
    ProtocolValuePool m_values;
    std::vector<std::unique_ptr<ProtocolProcessorContainerItem>> m_stack; // innermost last
    std::vector<std::unique_ptr<ProtocolProcessorObjectItem>> m_spareObjects;
    std::vector<std::unique_ptr<ProtocolProcessorArrayItem>> m_spareArrays;
    std::optional<std::string> m_error;
    bool m_completedDocument = false;
    bool m_overflowed = false;
    std::atomic<bool> m_abandoned = false;
};

} // namespace morvix
