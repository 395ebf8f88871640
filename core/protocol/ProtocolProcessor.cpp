#include "core/protocol/ProtocolProcessor.h"

#include "core/protocol/CommandOperator.h"
#include "core/protocol/ProtocolProcessorArrayItem.h"
#include "core/protocol/ProtocolProcessorObjectItem.h"
#include "core/protocol/ProtocolRoot.h"

#include <typeinfo>

namespace morvix {

using platform::Value;

ProtocolProcessor::ProtocolProcessor(std::weak_ptr<CommandOperator> commandOperator)
    : m_commandOperator(std::move(commandOperator))
{
    m_stack.reserve(kStackCapacity);
}

ProtocolProcessor::~ProtocolProcessor()
{
    // Unwind innermost first: an abandoned body may leave a deep stack of open items, and each
    // holds only its own level's values.
    while (!m_stack.empty())
        m_stack.pop_back();
}

ProtocolProcessorContainerItem* ProtocolProcessor::container() const
{
    return m_stack.empty() ? nullptr : m_stack.back().get();
}

bool ProtocolProcessor::push(std::unique_ptr<ProtocolProcessorContainerItem> item)
{
    if (m_stack.size() >= kMaximumDepth) {
        m_overflowed = true;
        return false;
    }
    item->setProcessor(this);
    m_stack.push_back(std::move(item));
    return true;
}

bool ProtocolProcessor::pop()
{
    if (m_stack.empty())
        return true;
    std::unique_ptr<ProtocolProcessorContainerItem> finished = std::move(m_stack.back());
    m_stack.pop_back();
    std::optional<Value> value = finished->nativeCollection();
    recycle(std::move(finished));
    if (auto* parent = container()) {
        if (value)
            parent->completedItem(std::move(*value));
        return true;
    }
    if (value)
        m_values.recycle(*value);
    m_completedDocument = true;
    return true;
}

std::unique_ptr<ProtocolProcessorContainerItem> ProtocolProcessor::objectItem()
{
    std::unique_ptr<ProtocolProcessorObjectItem> item;
    if (m_spareObjects.empty()) {
        item = std::make_unique<ProtocolProcessorObjectItem>();
        item->setProcessor(this);
    } else {
        item = std::move(m_spareObjects.back());
        m_spareObjects.pop_back();
    }
    return item;
}

std::unique_ptr<ProtocolProcessorContainerItem> ProtocolProcessor::arrayItem()
{
    std::unique_ptr<ProtocolProcessorArrayItem> item;
    if (m_spareArrays.empty()) {
        item = std::make_unique<ProtocolProcessorArrayItem>();
        item->setProcessor(this);
    } else {
        item = std::move(m_spareArrays.back());
        m_spareArrays.pop_back();
    }
    return item;
}

// Keeps a closed plain item for the next container of its kind; the special items of the
// top level and items beyond the nesting a typical body reaches are dropped.
void ProtocolProcessor::recycle(std::unique_ptr<ProtocolProcessorContainerItem> item)
{
    const ProtocolProcessorContainerItem& closed = *item;
    const auto& type = typeid(closed);
    if (type == typeid(ProtocolProcessorObjectItem) && m_spareObjects.size() < kStackCapacity) {
        auto* object = static_cast<ProtocolProcessorObjectItem*>(item.release());
        object->prepareForReuse();
        m_spareObjects.emplace_back(object);
    } else if (type == typeid(ProtocolProcessorArrayItem) && m_spareArrays.size() < kStackCapacity) {
        auto* array = static_cast<ProtocolProcessorArrayItem*>(item.release());
        array->prepareForReuse();
        m_spareArrays.emplace_back(array);
    }
}

bool ProtocolProcessor::parserDidStartDictionary()
{
    if (auto* parent = container())
        return push(parent->startedObject());
    return push(std::make_unique<ProtocolRoot>());
}

bool ProtocolProcessor::parserDidEndDictionary()
{
    return pop();
}

bool ProtocolProcessor::parserDidStartArray()
{
    if (auto* parent = container())
        return push(parent->startedArray());
    // A top-level array is read and dropped; nothing in it is applied.
    return push(std::make_unique<ProtocolProcessorArrayItem>());
}

bool ProtocolProcessor::parserDidEndArray()
{
    return pop();
}

void ProtocolProcessor::parserDidMapKey(std::string_view key)
{
    if (auto* item = container())
        item->setKey(key);
}

void ProtocolProcessor::parserDidAdd(Value&& value)
{
    if (auto* item = container()) {
        item->completedItem(std::move(value));
        return;
    }
    // A scalar at the top level is the whole document; there is nothing to apply.
    m_completedDocument = true;
}

void ProtocolProcessor::abandon()
{
    m_abandoned.store(true, std::memory_order_release);
    // A write of this body may be waiting for room in the operator's queue.
    if (auto commandOperator = m_commandOperator.lock())
        commandOperator->readerAbandoned();
}

void ProtocolProcessor::processHead(const Value& value, const std::string& key)
{
    if (!shouldApply())
        return;
    auto commandOperator = m_commandOperator.lock();
    if (!commandOperator)
        return;
    m_error = commandOperator->processHead(value, key, m_abandoned);
}

void ProtocolProcessor::processOperation(const Value& operation)
{
    if (!shouldApply())
        return;
    if (auto commandOperator = m_commandOperator.lock())
        (void)commandOperator->processOperation(operation, m_abandoned);
}

} // namespace morvix
