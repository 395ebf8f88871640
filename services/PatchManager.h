#pragma once
// Downloadable patches that override the application's resources.

#include "core/session/PatchStore.h"

#include <cstdint>
#include <mutex>

namespace morvix {

/// Keeps downloadable patches: zip archives whose files override the application's resources.
/// They live in the application's support folder:
///
///   <support>/patches/<version>/<MD5 of the server URL>/<time stamp in ms, "%f">/...
///
/// `activate` (every load of the session) takes the folders stored for the server URL as the
/// active patches, newest first, and removes every other version's folder. `installFromURL`
/// unpacks an archive (a file, or downloaded into a temporary file first) into a new folder that
/// becomes active on the next activation; a failure removes every folder made since the last
/// activation.
///
/// Installs are atomic: an archive unpacks into a hidden staging folder beside the patches and is
/// renamed to its time stamp only when complete, so a listing never shows a half-written patch;
/// `activate` removes staging folders an interrupted install left behind. Time stamps always
/// increase (a stamp not later than the newest folder's becomes that one plus 1 ms), and a
/// version that could not be a folder name ("", ".", "..", one holding "/") is stored as "v-"
/// and its MD5.
///
/// A base folder holds at most `Limits` worth of patches: an archive that would unpack past them
/// alone fails, and an install that brings the folder past them removes the oldest patches
/// until the new one fits (logged). Every install would otherwise stay until the next version,
/// each as large as an archive may unpack.
///
/// Main thread, except `patches` (any thread).
class PatchManager final : public PatchStore, public std::enable_shared_from_this<PatchManager> {
public:
    static constexpr const char* kNotInitialized = "System not properly initialized.";
    static constexpr const char* kInstallFailed = "Error installing Patch.";
    /// Downloads passing this size are cancelled, and archive files larger are refused.
    static constexpr std::int64_t kMaxDownloadBytes = std::int64_t(256) << 20;

    /// What the patches of one base folder may hold together; one archive may unpack to as much.
    struct Limits {
        std::uint64_t maxBytes = std::uint64_t(1) << 30; // the bytes of their files
        std::uint64_t maxEntries = 65536;               // their files and folders
        std::size_t maxPatches = 16;
    };

    static std::shared_ptr<PatchManager> create(std::weak_ptr<ClientContext> client, std::string version);
    /// Makes this the class sessions make their patch store with.
    static void installFactory();

    /// "<application support>/patches", or nothing when the system gives no support folder.
    static std::optional<std::string> patchesRoot();
    /// Removes the whole patches root.
    static void purgePatches();

    void activate(const std::string& serverURL) override;
    std::vector<std::string> patches() const override;
    void installFromURL(const platform::Url& url, SuccessBlock success, FailureBlock failure) override;

    const Limits& limits() const { return m_limits; }
    /// Applies to the installs that follow.
    void setLimits(Limits limits) { m_limits = limits; }

    PatchManager(const PatchManager&) = delete;
    PatchManager& operator=(const PatchManager&) = delete;

private:
    PatchManager(std::weak_ptr<ClientContext> client, std::string version);

    std::optional<std::string> versionFolder() const;
    std::optional<std::string> baseFolder() const;
    void apply(const std::string& archivePath, const SuccessBlock& success, const FailureBlock& failure);
    void rollBack();
    /// Unpacks within the limits; false (logged) when the archive is no regular file of at most
    /// kMaxDownloadBytes or cannot be unpacked.
    bool unpack(const std::string& archivePath, const std::string& staging) const;
    /// Removes the oldest patches of `baseFolder` until they fit beside the unpacked `staging`.
    void makeRoomFor(const std::string& baseFolder, const std::string& staging);
    void log(const std::string& message) const;
    std::optional<std::string> latestDescription() const;
    std::string nextTimeStamp(const std::string& baseFolder) const;

    std::weak_ptr<ClientContext> m_client;
    std::string m_version; // the folder name of the application version
    std::optional<std::string> m_baseURL;
    Limits m_limits;
    mutable std::mutex m_patchesMutex; // guards m_patches, which the HTTP client reads from any thread
    std::vector<std::string> m_patches;
};

} // namespace morvix
