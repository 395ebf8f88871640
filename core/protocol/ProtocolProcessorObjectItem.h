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
    void setKey(std::string_view key) override;
    /// Makes a closed item ready for the next object.
    void prepareForReuse();

protected:
    /// The member name read last, or nothing once its value has been stored.
    std::optional<std::string_view> key() const;
    /// The same, forgotten from now on; the text stays valid until the next member name.
    std::optional<std::string_view> takeKey();

private:
    // Takes its storage from the processor's pool at the first member (or the close).
    SortedDictionary m_items;
    // The member name read last, in one buffer from name to name.
    std::string m_key;
    bool m_hasKey = false;
};

} // namespace morvix
