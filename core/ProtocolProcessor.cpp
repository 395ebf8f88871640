#include "core/ProtocolProcessor.h"

#include "core/CommandOperator.h"
#include "core/ProtocolProcessorArrayItem.h"
#include "core/ProtocolRoot.h"

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
    finished.reset();
    if (auto* parent = container()) {
        if (value)
            parent->completedItem(std::move(*value));
        return true;
    }
    m_completedDocument = true;
    return true;
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

void ProtocolProcessor::parserDidMapKey(std::string key)
{
    if (auto* item = container())
        item->setKey(std::move(key));
}

void ProtocolProcessor::parserDidAdd(Value value)
{
    if (auto* item = container()) {
        item->completedItem(std::move(value));
        return;
    }
    // A scalar at the top level is the whole document; there is nothing to apply.
    m_completedDocument = true;
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
