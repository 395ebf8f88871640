#pragma once
// What the embedding application answers about the session it runs.

#include <memory>

namespace morvix {

class ApplicationFrameClient;

/// Implemented by an application delegate (`platform::ApplicationDelegate`) that runs a session
/// with the application frame: the frame's controllers find the session through it, with
/// `dynamic_cast` on the shared application's delegate. Main thread only.
class ClientProvider {
public:
    virtual ~ClientProvider() = default;
    /// The session, or null when there is none (yet).
    virtual std::shared_ptr<ApplicationFrameClient> client() const = 0;
};

} // namespace morvix
