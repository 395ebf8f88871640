#pragma once
// The embedding application's settings for its session.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

class MorvixClient;

/// What the application tells its session. `serverURL` and `clientDidBecomeReady` are required;
/// every other setting is optional: the default body answers "not implemented" (nothing) and
/// the session then falls back to its default:
///
///   statusBarHidden            false
///   localResourceRoots         none
///   logRequests, logResponses  false
///   useSSLStrict               true
///   useInfiniteRequestTimeout  false
///   requestTimeout             90 seconds
///   requiredServerId           none
///   useAutoCapitalization      none
///   useAutoCorrection          none
///   enableDeveloperConsole     `enableReload` when that is given, else false
///
/// The session holds its delegate weakly. Main thread.
class MorvixClientDelegate {
public:
    virtual ~MorvixClientDelegate() = default;

    /// The server URL, or a folder or file URL for a local peer; empty when there is none yet.
    virtual std::string serverURL() = 0;
    /// The session is ready: the application calls `load` now.
    virtual void clientDidBecomeReady(MorvixClient& client) = 0;

    virtual std::optional<bool> statusBarHidden() { return std::nullopt; }
    /// Folders searched for resources before the server: absolute paths as they are, relative
    /// ones under the application's resource folder.
    virtual std::optional<std::vector<std::string>> localResourceRoots() { return std::nullopt; }
    virtual std::optional<bool> logRequests() { return std::nullopt; }
    virtual std::optional<bool> logResponses() { return std::nullopt; }
    /// Whether server certificates are checked strictly: a trusted chain issued for the host
    /// the session connects to.
    virtual std::optional<bool> useSSLStrict() { return std::nullopt; }
    virtual std::optional<bool> useInfiniteRequestTimeout() { return std::nullopt; }
    /// Seconds without progress before a request fails.
    virtual std::optional<std::int64_t> requestTimeout() { return std::nullopt; }
    /// The server's identity; a server that answers with another (or none) is refused.
    virtual std::optional<std::string> requiredServerId() { return std::nullopt; }
    virtual std::optional<bool> useAutoCapitalization() { return std::nullopt; }
    virtual std::optional<bool> useAutoCorrection() { return std::nullopt; }
    virtual std::optional<bool> enableDeveloperConsole() { return std::nullopt; }
    virtual std::optional<bool> enableReload() { return std::nullopt; }

protected:
    MorvixClientDelegate() = default;
};

} // namespace morvix
