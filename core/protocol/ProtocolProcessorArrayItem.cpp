#include "core/protocol/ProtocolProcessorArrayItem.h"

namespace morvix {

ProtocolProcessorArrayItem::ProtocolProcessorArrayItem()
{
    prepareForReuse();
}

void ProtocolProcessorArrayItem::prepareForReuse()
{
    // Operation arrays and the small arrays inside them hold at most four elements.
    m_items = platform::Value::array();
    m_items.get_ref<platform::Value::array_t&>().reserve(4);
}

void ProtocolProcessorArrayItem::completedItem(platform::Value value)
{
    m_items.get_ref<platform::Value::array_t&>().push_back(std::move(value));
}

std::optional<platform::Value> ProtocolProcessorArrayItem::nativeCollection()
{
    // The item is dropped once its value is taken, so the array moves out whole.
    return std::move(m_items);
}

} // namespace morvix
