#pragma once
// The item of a response's "operations" array.

#include "core/protocol/ProtocolProcessorArrayItem.h"

namespace morvix {

/// The "operations" member of a response: each element that is an array is handed to the
/// processor's `processOperation` as soon as it closes; other elements are dropped and nothing
/// is kept. Parsing thread.
class ProtocolOperations final : public ProtocolProcessorArrayItem {
public:
    void completedItem(platform::Value&& value) override;
    std::optional<platform::Value> nativeCollection() override;
};

} // namespace morvix
