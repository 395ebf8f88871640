#pragma once
// What a session asks of its downloadable patches.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

class ClientContext;

namespace platform {
class Url;
}

/// Downloadable patches: folders of files that override the application's resources, kept per
/// application version and server URL. The services layer makes it (core cannot name its
/// classes): `registerRemoteTypes` installs the factory. A session makes one on its first load
/// and activates it with the server URL on every load; the active patches then lead the
/// session's local resource roots. Main thread, except `patches`, which any thread may read.
class PatchStore {
public:
    using Factory = std::function<std::shared_ptr<PatchStore>(std::weak_ptr<ClientContext> client, std::string version)>;
    /// The newest patch's description, or nothing.
    using SuccessBlock = std::function<void(const std::optional<std::string>& description)>;
    using FailureBlock = std::function<void(const std::string& message)>;

    virtual ~PatchStore() = default;

    /// Installs the factory sessions make their patch store with; none (the default) leaves
    /// sessions without patches.
    static void setFactory(Factory factory);
    /// A new store for `client` and the application `version`, or null without a factory.
    static std::shared_ptr<PatchStore> make(std::weak_ptr<ClientContext> client, std::string version);

    /// Takes the patches stored for `serverURL` (none for an empty one) as the active ones and
    /// removes what belongs to other application versions.
    virtual void activate(const std::string& serverURL) = 0;
    /// The active patch folders, newest first. Installs made since the last activation are not
    /// among them. Any thread.
    virtual std::vector<std::string> patches() const = 0;
    /// Installs the archive at `url` (a file, or downloaded first). Exactly one block is called,
    /// on the main loop, once the patch is installed or has failed.
    virtual void installFromURL(const platform::Url& url, SuccessBlock success, FailureBlock failure) = 0;
};

} // namespace morvix
