#pragma once
// The interface of the session's service objects.

namespace morvix {

/// A service object: a remote object that the client creates by itself, once per session,
/// under its type name as id (the application, the device, the client store, server push and
/// the others). The type table recognises service classes by this interface. Main thread.
class ServiceObject {
public:
    virtual ~ServiceObject() = default;

    /// Reports the service's current state to the other side.
    virtual void synchronize() = 0;
};

} // namespace morvix
