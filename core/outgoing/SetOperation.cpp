#include "core/outgoing/SetOperation.h"

#include "core/outgoing/WireOperation.h"

namespace morvix {

void SetOperation::setObject(platform::Value value, const std::string& key)
{
    m_dictionary[key] = std::move(value);
}

SetOperation::~SetOperation()
{
    WireOperation::dismantle(m_dictionary);
}

platform::Value SetOperation::toOperationArray(const std::string& target) const
{
    platform::Value array = platform::Value::array();
    auto& elements = array.get_ref<platform::Value::array_t&>();
    elements.reserve(3);
    elements.emplace_back("set");
    elements.emplace_back(target);
    elements.emplace_back(m_dictionary);
    return array;
}

std::string SetOperation::description() const
{
    return "set: " + platform::describe(m_dictionary);
}

} // namespace morvix
