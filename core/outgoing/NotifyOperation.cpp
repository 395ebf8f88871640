#include "core/outgoing/NotifyOperation.h"

#include "core/outgoing/WireOperation.h"

namespace morvix {

NotifyOperation::NotifyOperation(std::string name, platform::Value attributes)
    : m_name(std::move(name))
    , m_dictionary(attributes.is_null() ? platform::Value::object() : std::move(attributes))
{
}

NotifyOperation::~NotifyOperation()
{
    WireOperation::dismantle(m_dictionary);
}

platform::Value NotifyOperation::toOperationArray(const std::string& target) const
{
    return platform::Value::array({ "notify", target, m_name, m_dictionary });
}

std::string NotifyOperation::description() const
{
    return "notify: " + m_name + ", " + platform::describe(m_dictionary);
}

} // namespace morvix
