#pragma once
// The item that builds one JSON object of a response.

#include "core/protocol/ProtocolProcessorContainerItem.h"
#include "core/protocol/SortedDictionary.h"

namespace morvix {

/// Builds a JSON object in wire order: each completed value is stored under the member name
/// read just before it. A repeated name keeps its first position and takes the last value.
/// Parsing thread.
class ProtocolProcessorObjectItem : public ProtocolProcessorContainerItem {
public:
    void completedItem(platform::Value&& value) override;
    std::optional<platform::Value> nativeCollection() override;
    void setKey(std::string key) override;
    /// Makes a closed item ready for the next object.
    void prepareForReuse() { m_key.reset(); }

protected:
    /// The member name read last, or nothing once its value has been stored.
    const std::optional<std::string>& key() const { return m_key; }
    std::optional<std::string> takeKey();

private:
    // Takes its storage from the processor's pool at the first member (or the close).
    SortedDictionary m_items;
    std::optional<std::string> m_key;
};

} // namespace morvix
