#include "core/outgoing/MessageOperation.h"

#include "core/outgoing/WireOperation.h"

#include <cassert>

namespace morvix {

MessageOperation::MessageOperation(Kind kind, std::string name, platform::Value attributes)
    : m_kind(kind)
    , m_name(std::move(name))
    , m_attributes(attributes.is_null() ? platform::Value::object() : std::move(attributes))
{
    assert(kind != Kind::Set && "a set is made empty and filled by setObject");
}

MessageOperation::~MessageOperation()
{
    WireOperation::dismantle(m_attributes);
    for (auto& property : m_properties.items())
        WireOperation::dismantle(property.second);
}

void MessageOperation::setObject(platform::Value value, const std::string& key, Number number)
{
    assert(isSet() && "only a set records properties");
    markFloatingPoint(m_floatingPointKeys, key, number == Number::FloatingPoint);
    for (auto& property : m_properties.items()) {
        if (property.first == key) {
            property.second = std::move(value);
            return;
        }
    }
    m_properties.append(Property(key, std::move(value)));
}

platform::Value MessageOperation::map() const
{
    if (!isSet())
        return m_attributes;
    platform::Value properties = platform::Value::object();
    auto& members = properties.get_ref<platform::Value::object_t&>();
    members.reserve(m_properties.items().size());
    for (const auto& [key, value] : m_properties.items())
        members.Container::emplace_back(key, value); // each key is there once
    return properties;
}

platform::Value MessageOperation::toOperationArray(const std::string& target) const
{
    platform::Value array = platform::Value::array();
    auto& elements = array.get_ref<platform::Value::array_t&>();
    elements.reserve(4);
    elements.emplace_back(kindName(m_kind));
    elements.emplace_back(target);
    if (!isSet())
        elements.emplace_back(m_name);
    elements.emplace_back(map());
    return array;
}

const std::string& MessageOperation::kindName(Kind kind)
{
    static const std::string names[] = { "set", "notify", "call" };
    return names[static_cast<int>(kind)];
}

std::string MessageOperation::description() const
{
    if (isSet())
        return "set: " + platform::describe(map());
    return kindName(m_kind) + ": " + m_name + ", " + platform::describe(m_attributes);
}

} // namespace morvix
