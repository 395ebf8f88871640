#pragma once
// The base of the items that build one JSON container while a response is parsed.

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class ProtocolProcessor;

/// One open JSON container on the processor's stack. The processor hands it each finished
/// value that belongs to it (`completedItem`), asks it for the item of a nested container
/// (`startedObject`, `startedArray`) and, when the container closes, takes the value it built
/// (`nativeCollection`). The base builds nothing and drops what it is given; nested containers
/// become plain object and array items.
///
/// Owned by the processor's stack; the processor outlives every item. Used on the thread that
/// parses the response.
class ProtocolProcessorContainerItem {
public:
    ProtocolProcessorContainerItem() = default;
    virtual ~ProtocolProcessorContainerItem() = default;
    ProtocolProcessorContainerItem(const ProtocolProcessorContainerItem&) = delete;
    ProtocolProcessorContainerItem& operator=(const ProtocolProcessorContainerItem&) = delete;

    /// A value of this container is complete: a scalar, or a nested container that closed.
    virtual void completedItem(platform::Value&& value);
    /// The item for an object that opens inside this container.
    virtual std::unique_ptr<ProtocolProcessorContainerItem> startedObject();
    /// The item for an array that opens inside this container.
    virtual std::unique_ptr<ProtocolProcessorContainerItem> startedArray();
    /// Moves out the value built; nothing for items that keep nothing.
    virtual std::optional<platform::Value> nativeCollection();
    /// A member name was read. Only object items keep it; the rest ignore it.
    virtual void setKey(std::string_view key);

    /// Not owned; the processor outlives its items.
    ProtocolProcessor* processor() const { return m_processor; }
    void setProcessor(ProtocolProcessor* processor) { m_processor = processor; }

protected:
    std::unique_ptr<ProtocolProcessorContainerItem> newObject() const;
    std::unique_ptr<ProtocolProcessorContainerItem> newArray() const;
    /// An empty array or object value to build a container in: a spare of the processor's
    /// pool when there is one.
    platform::Value arrayStorage() const;
    platform::Value objectStorage() const;
    /// Done with `value`: its parts go back to the processor's pool (without a processor, it
    /// is taken apart). Leaves `value` null.
    void drop(platform::Value& value) const;

private:
    ProtocolProcessor* m_processor = nullptr;
};

} // namespace morvix
