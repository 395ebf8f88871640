#pragma once
// The item that builds one JSON array of a response.

#include "core/protocol/ProtocolProcessorContainerItem.h"

namespace morvix {

/// Builds a JSON array: each completed value is appended. Parsing thread.
class ProtocolProcessorArrayItem : public ProtocolProcessorContainerItem {
public:
    void completedItem(platform::Value&& value) override;
    std::optional<platform::Value> nativeCollection() override;
    /// Makes a closed item ready for the next array.
    void prepareForReuse();

private:
    // Null until the first element (or the close) takes storage for the array.
    platform::Value m_items;
};

} // namespace morvix
