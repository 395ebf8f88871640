#pragma once
// The presenter of a session's errors.

#include <memory>

namespace morvix {

namespace platform {
class Error;
}

class MorvixClient;

/// Shows an error that ended a request for good and lets the user choose how to go on: the
/// presenter later calls the session's `load` (start over) or `retry` (send the failed request
/// again), or nothing. An application may set its own; otherwise the session uses the built-in
/// `ErrorHandler`. Main thread.
class MorvixClientErrorDelegate {
public:
    virtual ~MorvixClientErrorDelegate() = default;

    /// Presents `error` of `client`.
    virtual void errorOccured(const platform::Error& error, const std::shared_ptr<MorvixClient>& client) = 0;
    /// Withdraws whatever is presented, without acting on it. Does nothing when nothing is shown.
    virtual void close() = 0;

protected:
    MorvixClientErrorDelegate() = default;
};

} // namespace morvix
