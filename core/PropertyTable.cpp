#include "core/PropertyTable.h"

namespace morvix {

const PropertyDescriptor* PropertyTable::find(std::string_view name) const
{
    for (const auto* table = this; table; table = table->m_base) {
        for (const auto& property : table->m_properties) {
            if (property.name == name)
                return &property;
        }
    }
    return nullptr;
}

} // namespace morvix
