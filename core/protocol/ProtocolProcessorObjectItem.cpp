#include "core/protocol/ProtocolProcessorObjectItem.h"

#include "core/protocol/ProtocolValuePool.h"

namespace morvix {

void ProtocolProcessorObjectItem::completedItem(platform::Value&& value)
{
    auto key = takeKey();
    if (!key)
        return drop(value);
    if (!m_items.hasStorage())
        m_items.useStorage(objectStorage());
    m_items.setObject(std::string(*key), std::move(value));
}

std::optional<platform::Value> ProtocolProcessorObjectItem::nativeCollection()
{
    if (!m_items.hasStorage())
        m_items.useStorage(objectStorage());
    return m_items.takeValue();
}

void ProtocolProcessorObjectItem::setKey(std::string_view key)
{
    m_key.assign(key.data(), key.size());
    m_hasKey = true;
}

void ProtocolProcessorObjectItem::prepareForReuse()
{
    m_hasKey = false;
    // A long name read once does not stay with the item for the rest of the body.
    if (m_key.capacity() > ProtocolValuePool::kMaximumStringCapacity)
        std::string().swap(m_key);
}

std::optional<std::string_view> ProtocolProcessorObjectItem::key() const
{
    if (!m_hasKey)
        return std::nullopt;
    return std::string_view(m_key);
}

std::optional<std::string_view> ProtocolProcessorObjectItem::takeKey()
{
    auto key = this->key();
    m_hasKey = false;
    return key;
}

} // namespace morvix
