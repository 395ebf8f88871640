#pragma once
// The table from operation names to the methods that apply them.

#include "platform/foundation/Value.h"

#include <optional>
#include <string>

namespace morvix {

class BasicObject;

/// Maps the operation names "set", "listen", "destroy", "call" and "get" to the `BasicObject`
/// methods that apply them. The names are fixed; the operations run on the main thread.
class ObjectDispatch final {
public:
    ObjectDispatch() = delete;

    /// Applies the operation `type` to `object`: "set", "listen" and "destroy" with the
    /// properties, "call" with the properties and the call name `method`, "get" with the
    /// property name `method`. Returns the result of "call" and "get"; nothing for the others,
    /// for an unknown operation and for no object.
    static std::optional<platform::Value> dispatch(BasicObject* object, const std::string& type,
        const std::string& method, const platform::Value* properties);
};

} // namespace morvix
