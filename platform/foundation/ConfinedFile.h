#pragma once
// Files a peer names, found and read only inside the folders it may read.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix::platform {

/// Finds and reads a file that a peer names by a path or a "file:" URL, so that what the peer
/// sends reaches only regular files inside the folders the caller allows, and never more than a
/// byte cap of them. The name is decoded (a file URL's escapes undone), then resolved ("..",
/// "." and every symbolic link) before it is checked against the folders (resolved too), and the
/// file read is the resolved one: a name that leaves its folder by "..", by an escape or through
/// a link finds nothing. Named pipes, devices, sockets and folders are refused without being
/// opened for reading, so nothing waits on a pipe or reads an endless device.
///
///     auto file = ConfinedFile::read(url, { applicationFolder, resourceFolder }, kDefaultMaximumSize);
///     if (!file)
///         log(file.reason);      // says what was refused and why
///     else
///         use(file.bytes);
///
/// Stateless; any thread.
class ConfinedFile final {
public:
    ConfinedFile() = delete;

    /// The largest file or download a peer has read for it unless the place says otherwise.
    static constexpr std::uint64_t kDefaultMaximumSize = std::uint64_t(256) << 20;

    enum class Refusal {
        /// No absolute path, no file URL of this machine, a malformed escape or an escaped NUL.
        BadReference,
        /// Resolved, it lies in none of the folders (or no folder was given).
        OutsideFolders,
        /// Nothing is there, or it cannot be looked at.
        Missing,
        Directory,
        /// A named pipe, a device or a socket.
        SpecialFile,
        /// Larger than the cap, or grown past it while read.
        TooLarge,
        /// Found, but opening or reading it failed.
        Unreadable,
    };

    struct Result {
        /// The resolved path; empty when the reference could not be resolved.
        std::string path;
        /// `read` and `readRegularFile`: the file's bytes.
        std::string bytes;
        /// The file's size when it was found.
        std::uint64_t size = 0;
        /// Why it was refused; nothing when it was accepted.
        std::optional<Refusal> refusal;
        /// When refused: the name and the reason, for the caller's log.
        std::string reason;

        explicit operator bool() const { return !refusal.has_value(); }
    };

    /// The path `reference` names: an absolute path as it is; a "file:" URL's path with its
    /// escapes undone ("file:///a%20b", "file://localhost/a"). Nothing for a relative path,
    /// another scheme, another host, a malformed escape or an escaped NUL.
    static std::optional<std::string> decodeReference(std::string_view reference);

    /// The regular file `reference` names, when it lies inside one of `folders` (those that do
    /// not exist are skipped) and holds at most `maximumSize` bytes; the file is not opened.
    static Result locate(std::string_view reference, const std::vector<std::string>& folders, std::uint64_t maximumSize);
    /// `locate`, then the file's bytes.
    static Result read(std::string_view reference, const std::vector<std::string>& folders, std::uint64_t maximumSize);
    /// The bytes of the regular file at the absolute `path`, at most `maximumSize` of them,
    /// without a folder check: for files the application named, not the peer. Symbolic links
    /// are followed.
    static Result readRegularFile(const std::string& path, std::uint64_t maximumSize);

    /// Whether `path` is `folder` or lies inside it, comparing whole components (so "/app-other"
    /// is not inside "/app"). Both should be resolved already.
    static bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder);
};

} // namespace morvix::platform
