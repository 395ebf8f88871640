#include "core/objects/RemoteClass.h"

namespace morvix {

PropertyNames extendPropertyNames(const PropertyNames& base, std::initializer_list<std::string_view> names)
{
    PropertyNames result = base;
    for (auto name : names)
        result.emplace(name);
    return result;
}

} // namespace morvix
