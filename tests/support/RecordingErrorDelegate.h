#pragma once
// An error delegate that keeps what the session presents.

#include "core/session/MorvixClientErrorDelegate.h"
#include "platform/foundation/Error.h"

#include <memory>
#include <vector>

namespace morvix::testing {

/// Records the errors presented and the closes. Owned by the test; main thread.
class RecordingErrorDelegate final : public MorvixClientErrorDelegate {
public:
    std::vector<platform::Error> errors;
    int closeCount = 0;
    void errorOccured(const platform::Error& error, const std::shared_ptr<MorvixClient>&) override { errors.push_back(error); }
    void close() override { ++closeCount; }
};

} // namespace morvix::testing
