#pragma once
// A call of an outgoing message.

#include "core/outgoing/MessageOperation.h"

namespace morvix {

/// A method call addressed to the peer's side of an object, with its parameters. Wire array:
/// ["call", target, name, {parameters}].
class CallOperation final : public MessageOperation {
public:
    /// Keeps its own copy of `attributes`; null (none) gives an empty object.
    CallOperation(std::string name, platform::Value attributes);
    ~CallOperation() override;

    const std::string& name() const { return m_name; }
    const platform::Value& getAttributes() const { return m_dictionary; }

    platform::Value toOperationArray(const std::string& target) const override;
    std::string description() const override;

private:
    std::string m_name;
    platform::Value m_dictionary;
};

} // namespace morvix
