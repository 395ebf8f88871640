#pragma once
// The item of a response's top-level object.

#include "core/protocol/ProtocolProcessorObjectItem.h"

namespace morvix {

/// The top-level object of a response. Its member "head" (when an object) becomes a
/// `ProtocolHead` and its member "operations" (when an array) a `ProtocolOperations`; every
/// other member is built as usual and dropped, and nothing is kept here. Parsing thread.
class ProtocolRoot final : public ProtocolProcessorObjectItem {
public:
    void completedItem(platform::Value&& value) override;
    std::unique_ptr<ProtocolProcessorContainerItem> startedObject() override;
    std::unique_ptr<ProtocolProcessorContainerItem> startedArray() override;
    std::optional<platform::Value> nativeCollection() override;
};

} // namespace morvix
