#include "core/objects/WireTable.h"

namespace morvix {

WireTable::Builder WireTable::create()
{
    return Builder(nullptr);
}

WireTable::Builder WireTable::extend(const WireTable& base)
{
    return Builder(&base);
}

platform::Value WireTable::creationProperties(const CreationVariant& variant)
{
    platform::Value properties = platform::Value::object();
    if (variant.value.empty())
        return properties;
    std::string value(variant.value);
    if (variant.property == "style")
        properties["style"] = platform::Value::array({ value });
    else
        properties[std::string(variant.property)] = value;
    return properties;
}

const WireTable& WireTable::empty()
{
    static const WireTable table = create();
    return table;
}

} // namespace morvix
