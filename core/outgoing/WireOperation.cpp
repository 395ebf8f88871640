#include "core/outgoing/WireOperation.h"

#include <algorithm>

namespace morvix {

namespace {

bool isTextAt(const platform::Value& array, std::size_t index)
{
    return array[index].is_string();
}

// Deep enough for what the library sends (a set's properties holding an array of points),
// shallow enough that the recursion stays small for any value.
constexpr int kDismantledLevels = 4;

void dismantleLevels(platform::Value& value, int levels)
{
    if (levels == 0)
        return;
    if (auto* items = value.get_ptr<platform::Value::array_t*>()) {
        for (auto& item : *items)
            dismantleLevels(item, levels - 1);
        items->clear();
    } else if (auto* members = value.get_ptr<platform::Value::object_t*>()) {
        for (auto& member : *members)
            dismantleLevels(member.second, levels - 1);
        members->clear();
    }
}

} // namespace

WireOperation::~WireOperation()
{
    dismantle(map);
    dismantle(array);
}

void WireOperation::dismantle(platform::Value& value)
{
    dismantleLevels(value, kDismantledLevels);
}

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

namespace {

WireOperation::Kind wireKind(MessageOperation::Kind kind)
{
    switch (kind) {
    case MessageOperation::Kind::Set:
        return WireOperation::Kind::Set;
    case MessageOperation::Kind::Notify:
        return WireOperation::Kind::Notify;
    case MessageOperation::Kind::Call:
        return WireOperation::Kind::Call;
    }
    return WireOperation::Kind::Other;
}

platform::Value setMap(std::span<const MessageOperation::Property> properties, std::size_t room)
{
    platform::Value map = platform::Value::object();
    auto& members = map.get_ref<platform::Value::object_t&>();
    members.reserve(std::max(properties.size(), room));
    for (const auto& [key, value] : properties)
        members.Container::emplace_back(key, value); // a set records each key once
    return map;
}

} // namespace

WireOperation WireOperation::fromRecorded(const MessageOperation& recorded, const std::string& target, std::size_t setRoom)
{
    if (!recorded.isSet() && !recorded.getAttributes().is_object())
        return fromArray(recorded.toOperationArray(target));
    WireOperation operation;
    operation.kind = wireKind(recorded.kind());
    operation.target = target;
    operation.name = recorded.name();
    operation.map = recorded.isSet() ? setMap(recorded.properties(), setRoom) : recorded.getAttributes();
    auto floatingPoint = recorded.floatingPointKeys();
    operation.floatingPointKeys.assign(floatingPoint.begin(), floatingPoint.end());
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

bool WireOperation::isFloatingPoint(std::string_view key) const
{
    return std::find(floatingPointKeys.begin(), floatingPointKeys.end(), key) != floatingPointKeys.end();
}

void WireOperation::fold(WireOperation&& later)
{
    for (auto& [key, value] : later.map.get_ref<platform::Value::object_t&>())
        foldProperty(key, std::move(value), later.floatingPointKeys);
}

void WireOperation::foldProperty(const std::string& key, platform::Value value, std::span<const std::string> floatingPoint)
{
    // Marks are rare: a fold between unmarked sets looks at none.
    if (!floatingPointKeys.empty() || !floatingPoint.empty())
        markFloatingPoint(floatingPointKeys, key, std::ranges::find(floatingPoint, key) != floatingPoint.end());
    map[key] = std::move(value);
}

void markFloatingPoint(std::vector<std::string>& keys, const std::string& key, bool floatingPoint)
{
    auto found = std::find(keys.begin(), keys.end(), key);
    if (floatingPoint && found == keys.end())
        keys.push_back(key);
    else if (!floatingPoint && found != keys.end())
        keys.erase(found);
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
