#pragma once
// The item of a response's "head" object.

#include "core/protocol/ProtocolProcessorObjectItem.h"

namespace morvix {

/// The "head" member of a response: each member is handed to the processor's `processHead` as
/// soon as its value is complete, and nothing is kept. A repeated key is handed over each time.
/// Parsing thread.
class ProtocolHead final : public ProtocolProcessorObjectItem {
public:
    void completedItem(platform::Value&& value) override;
    std::optional<platform::Value> nativeCollection() override;
};

} // namespace morvix
