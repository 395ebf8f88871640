#pragma once
// Applies the head keys and operations of incoming messages to the session's objects.

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

class ClientContext;

/// Applies what the other side says, one head key or one operation array at a time.
/// One per session.
class CommandOperator : public std::enable_shared_from_this<CommandOperator> {
public:
    static std::shared_ptr<CommandOperator> create(std::weak_ptr<ClientContext> client);
    virtual ~CommandOperator() = default;
    CommandOperator(const CommandOperator&) = delete;
    CommandOperator& operator=(const CommandOperator&) = delete;

    /// Applies one head key; the result is the text of an "error" key, nothing otherwise.
    virtual std::optional<std::string> processHead(const platform::Value& value, const std::string& key);
    /// Applies one operation array; the result is what a "get" or "call" returned.
    virtual std::optional<platform::Value> processOperation(const platform::Value& operation);

protected:
    explicit CommandOperator(std::weak_ptr<ClientContext> client);

private:
    std::weak_ptr<ClientContext> m_client;
};

} // namespace morvix
