#include "core/ProtocolProcessorArrayItem.h"

namespace morvix {

ProtocolProcessorArrayItem::ProtocolProcessorArrayItem()
    : m_items(platform::Value::array())
{
}

void ProtocolProcessorArrayItem::completedItem(platform::Value value)
{
    m_items.get_ref<platform::Value::array_t&>().push_back(std::move(value));
}

std::optional<platform::Value> ProtocolProcessorArrayItem::nativeCollection()
{
    return std::exchange(m_items, platform::Value::array());
}

} // namespace morvix
