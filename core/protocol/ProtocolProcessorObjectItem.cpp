#include "core/protocol/ProtocolProcessorObjectItem.h"

namespace morvix {

void ProtocolProcessorObjectItem::completedItem(platform::Value value)
{
    if (auto key = takeKey())
        m_items.setObject(std::move(*key), std::move(value));
}

std::optional<platform::Value> ProtocolProcessorObjectItem::nativeCollection()
{
    return m_items.takeValue();
}

void ProtocolProcessorObjectItem::setKey(std::string key)
{
    m_key = std::move(key);
}

std::optional<std::string> ProtocolProcessorObjectItem::takeKey()
{
    std::optional<std::string> key = std::move(m_key);
    m_key.reset();
    return key;
}

} // namespace morvix
