#include "core/objects/PropertyTable.h"

namespace morvix {

const PropertyDescriptor* PropertyTable::find(std::string_view name) const
{
    auto found = m_index.find(name);
    if (found == m_index.end())
        return nullptr;
    const PropertyTable* table = found->second.table ? found->second.table : this;
    return &table->m_properties[found->second.index];
}

void PropertyTable::buildIndex()
{
    m_index.clear();
    for (std::size_t i = 0; i < m_properties.size(); ++i)
        m_index.emplace(m_properties[i].name, Entry { nullptr, i });
    if (!m_base)
        return;
    for (const auto& [name, entry] : m_base->m_index)
        m_index.emplace(name, Entry { entry.table ? entry.table : m_base, entry.index });
}

} // namespace morvix
