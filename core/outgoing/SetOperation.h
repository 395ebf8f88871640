#pragma once
// A property change of an outgoing message.

#include "core/outgoing/MessageOperation.h"

namespace morvix {

/// Changed properties of one target, in the order they were first recorded; a later value for
/// the same key replaces the earlier one in place. Wire array: ["set", target, {properties}].
class SetOperation final : public MessageOperation {
public:
    SetOperation() = default;
    ~SetOperation() override;

    void setObject(platform::Value value, const std::string& key);
    /// The properties recorded so far; an empty object at first.
    const platform::Value& getAttributes() const { return m_dictionary; }

    platform::Value toOperationArray(const std::string& target) const override;
    std::string description() const override;

private:
    platform::Value m_dictionary = platform::Value::object();
};

} // namespace morvix
