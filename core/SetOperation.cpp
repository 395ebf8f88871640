#include "core/SetOperation.h"

namespace morvix {

void SetOperation::setObject(platform::Value value, const std::string& key)
{
    m_dictionary[key] = std::move(value);
}

platform::Value SetOperation::toOperationArray(const std::string& target) const
{
    return platform::Value::array({ "set", target, m_dictionary });
}

std::string SetOperation::description() const
{
    return "set: " + platform::describe(m_dictionary);
}

} // namespace morvix
