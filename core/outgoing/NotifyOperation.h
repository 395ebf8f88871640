#pragma once
// An event of an outgoing message.

#include "core/outgoing/MessageOperation.h"

namespace morvix {

/// An event fired by an object, with its attributes. Wire array:
/// ["notify", target, event, {attributes}].
class NotifyOperation final : public MessageOperation {
public:
    /// Keeps its own copy of `attributes`; null (none) gives an empty object.
    NotifyOperation(std::string name, platform::Value attributes);
    ~NotifyOperation() override;

    const std::string& name() const { return m_name; }
    const platform::Value& getAttributes() const { return m_dictionary; }

    platform::Value toOperationArray(const std::string& target) const override;
    std::string description() const override;

private:
    std::string m_name;
    platform::Value m_dictionary;
};

} // namespace morvix
