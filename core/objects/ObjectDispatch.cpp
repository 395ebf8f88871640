#include "core/objects/ObjectDispatch.h"

#include "core/objects/BasicObject.h"

#include <functional>
#include <unordered_map>

namespace morvix {

using platform::Value;

namespace {

using Operation = std::function<std::optional<Value>(BasicObject&, const std::string& method, const Value* properties)>;

const std::unordered_map<std::string, Operation>& operations()
{
    static const std::unordered_map<std::string, Operation> table {
        { "set", [](BasicObject& object, const std::string&, const Value* properties) -> std::optional<Value> {
             object.setWithProperties(properties);
             return std::nullopt;
         } },
        { "listen", [](BasicObject& object, const std::string&, const Value* properties) -> std::optional<Value> {
             object.listenWithProperties(properties);
             return std::nullopt;
         } },
        { "destroy", [](BasicObject& object, const std::string&, const Value* properties) -> std::optional<Value> {
             object.destroyWithProperties(properties);
             return std::nullopt;
         } },
        { "call", [](BasicObject& object, const std::string& method, const Value* properties) {
             return object.callWithProperties(properties, method);
         } },
        { "get", [](BasicObject& object, const std::string& method, const Value*) {
             return object.getWithMethod(method);
         } },
    };
    return table;
}

} // namespace

std::optional<Value> ObjectDispatch::dispatch(BasicObject* object, const std::string& type, const std::string& method,
    const Value* properties)
{
    if (!object)
        return std::nullopt;
    auto operation = operations().find(type);
    if (operation == operations().end())
        return std::nullopt;
    return operation->second(*object, method, properties);
}

} // namespace morvix
