#include "core/objects/ObjectDispatch.h"

#include "core/objects/BasicObject.h"

namespace morvix {

using platform::Value;

// Five fixed names: comparing them in turn, the most frequent first, costs less than hashing
// the name and calling through a table.
std::optional<Value> ObjectDispatch::dispatch(BasicObject* object, const std::string& type, const std::string& method,
    const Value* properties)
{
    if (!object)
        return std::nullopt;
    if (type == "set") {
        object->setWithProperties(properties);
        return std::nullopt;
    }
    if (type == "call")
        return object->callWithProperties(properties, method);
    if (type == "listen") {
        object->listenWithProperties(properties);
        return std::nullopt;
    }
    if (type == "get")
        return object->getWithMethod(method);
    if (type == "destroy")
        object->destroyWithProperties(properties);
    return std::nullopt;
}

} // namespace morvix
