#include "core/protocol/ProtocolProcessorContainerItem.h"

#include "core/protocol/ProtocolProcessor.h"
#include "core/protocol/ProtocolProcessorArrayItem.h"
#include "core/protocol/ProtocolProcessorObjectItem.h"

namespace morvix {

void ProtocolProcessorContainerItem::completedItem(platform::Value&&)
{
}

std::unique_ptr<ProtocolProcessorContainerItem> ProtocolProcessorContainerItem::startedObject()
{
    return newObject();
}

std::unique_ptr<ProtocolProcessorContainerItem> ProtocolProcessorContainerItem::startedArray()
{
    return newArray();
}

std::optional<platform::Value> ProtocolProcessorContainerItem::nativeCollection()
{
    return std::nullopt;
}

void ProtocolProcessorContainerItem::setKey(std::string_view)
{
}

std::unique_ptr<ProtocolProcessorContainerItem> ProtocolProcessorContainerItem::newObject() const
{
    if (m_processor)
        return m_processor->objectItem();
    auto item = std::make_unique<ProtocolProcessorObjectItem>();
    item->setProcessor(m_processor);
    return item;
}

std::unique_ptr<ProtocolProcessorContainerItem> ProtocolProcessorContainerItem::newArray() const
{
    if (m_processor)
        return m_processor->arrayItem();
    auto item = std::make_unique<ProtocolProcessorArrayItem>();
    item->setProcessor(m_processor);
    return item;
}

platform::Value ProtocolProcessorContainerItem::arrayStorage() const
{
    return m_processor ? m_processor->values().array() : platform::Value::array();
}

platform::Value ProtocolProcessorContainerItem::objectStorage() const
{
    return m_processor ? m_processor->values().object() : platform::Value::object();
}

void ProtocolProcessorContainerItem::drop(platform::Value& value) const
{
    if (m_processor)
        return m_processor->values().recycle(value);
    platform::dismantle(value);
    value = nullptr;
}

} // namespace morvix
