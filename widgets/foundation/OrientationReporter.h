#pragma once
// What the `Display` asks of the device service when the screen turns.

namespace morvix {

/// Adopted by the device service (registered under "morvix.Device"). The `Display` looks the
/// service up without creating it and calls nothing when it is absent or does not adopt this.
/// Main thread.
class OrientationReporter {
public:
    virtual ~OrientationReporter() = default;
    /// Reports the device's current orientation to the peer.
    virtual void sendOrientation() = 0;

protected:
    OrientationReporter() = default;
};

} // namespace morvix
