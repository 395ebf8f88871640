#include "core/protocol/ProtocolProcessorArrayItem.h"

namespace morvix {

void ProtocolProcessorArrayItem::prepareForReuse()
{
    // The array moved out when it closed; anything else left is dropped.
    if (!m_items.is_null())
        drop(m_items);
}

void ProtocolProcessorArrayItem::completedItem(platform::Value&& value)
{
    if (!m_items.is_array())
        m_items = arrayStorage();
    m_items.get_ref<platform::Value::array_t&>().push_back(std::move(value));
}

std::optional<platform::Value> ProtocolProcessorArrayItem::nativeCollection()
{
    if (!m_items.is_array())
        m_items = arrayStorage();
    // The array moves out whole; the item is left empty for its next array.
    return std::move(m_items);
}

} // namespace morvix
