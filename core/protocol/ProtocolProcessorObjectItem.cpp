#include "core/protocol/ProtocolProcessorObjectItem.h"

namespace morvix {

void ProtocolProcessorObjectItem::completedItem(platform::Value&& value)
{
    auto key = takeKey();
    if (!key)
        return drop(value);
    if (!m_items.hasStorage())
        m_items.useStorage(objectStorage());
    m_items.setObject(std::move(*key), std::move(value));
}

std::optional<platform::Value> ProtocolProcessorObjectItem::nativeCollection()
{
    if (!m_items.hasStorage())
        m_items.useStorage(objectStorage());
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
