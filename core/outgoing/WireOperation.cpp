#include "core/outgoing/WireOperation.h"

namespace morvix {

namespace {

bool isTextAt(const platform::Value& array, std::size_t index)
{
    return array[index].is_string();
}

} // namespace

WireOperation WireOperation::fromArray(platform::Value array)
{
    WireOperation operation;
    const bool shaped = array.is_array() && array.size() >= 3 && isTextAt(array, 0) && isTextAt(array, 1);
    const std::string* kind = shaped ? &array[0].get_ref<const std::string&>() : nullptr;
    if (kind && *kind == "set" && array.size() == 3 && array[2].is_object()) {
        operation.kind = Kind::Set;
    } else if (kind && (*kind == "notify" || *kind == "call") && array.size() == 4 && isTextAt(array, 2)
        && array[3].is_object()) {
        operation.kind = *kind == "notify" ? Kind::Notify : Kind::Call;
        operation.name = std::move(array[2].get_ref<std::string&>());
    } else {
        operation.array = std::move(array);
        return operation;
    }
    operation.target = std::move(array[1].get_ref<std::string&>());
    operation.map = std::move(array.back());
    return operation;
}

platform::Value WireOperation::toArray() const
{
    if (kind == Kind::Other)
        return array;
    platform::Value result = platform::Value::array();
    auto& elements = result.get_ref<platform::Value::array_t&>();
    elements.reserve(4);
    elements.emplace_back(kindName(kind));
    elements.emplace_back(target);
    if (kind != Kind::Set)
        elements.emplace_back(name);
    elements.emplace_back(map);
    return result;
}

const std::string& WireOperation::kindName(Kind kind)
{
    static const std::string names[] = { "set", "notify", "call", "" };
    return names[static_cast<int>(kind)];
}

bool WireOperation::isEquivalent(const WireOperation& other) const
{
    if (kind != other.kind)
        return false;
    if (kind == Kind::Other)
        return platform::valuesEqual(array, other.array);
    return target == other.target && name == other.name && platform::valuesEqual(map, other.map);
}

} // namespace morvix
