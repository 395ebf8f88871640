#include "core/outgoing/CallOperation.h"

#include "core/outgoing/WireOperation.h"

namespace morvix {

CallOperation::CallOperation(std::string name, platform::Value attributes)
    : m_name(std::move(name))
    , m_dictionary(attributes.is_null() ? platform::Value::object() : std::move(attributes))
{
}

CallOperation::~CallOperation()
{
    WireOperation::dismantle(m_dictionary);
}

platform::Value CallOperation::toOperationArray(const std::string& target) const
{
    return platform::Value::array({ "call", target, m_name, m_dictionary });
}

std::string CallOperation::description() const
{
    return "call: " + m_name + ", " + platform::describe(m_dictionary);
}

} // namespace morvix
