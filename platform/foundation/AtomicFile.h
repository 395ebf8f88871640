#pragma once
// Replacing a file's contents in one step that a crash cannot leave half done.

#include "platform/foundation/Error.h"

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace morvix::platform {

/// Writes whole files so that a reader sees either the old contents or the new ones, never a
/// mixture, whatever happens meanwhile (a crash, a kill, a full disk, a power cut):
///
///  1. the bytes go to a new temporary file in the target's folder, named
///     "<name>.tmp-XXXXXX", which is flushed to the disk (`fsync`);
///  2. the temporary file takes the permission bits of the file it replaces, or `newFileMode`
///     when there is none yet;
///  3. it is renamed over the target, and the folder is flushed so that the rename lasts.
///
/// A failed write removes its temporary file and leaves the target as it was. A process killed
/// mid-write leaves its temporary file behind: `removeLeftovers` deletes those. Any thread;
/// writers of one target must not run at the same time (each write wins whole, but which one
/// is last is theirs to decide).
class AtomicFile final {
public:
    /// The permission bits of a file made by `write` when the target does not exist.
    static constexpr mode_t kDefaultNewFileMode = 0600;

    AtomicFile() = delete;

    /// Replaces the contents of `path` with `bytes`. Nothing on success; otherwise the error
    /// (FileErrorDomain, kFileWriteUnknownError, the system's reason as the failure reason).
    [[nodiscard]] static std::optional<Error> write(const std::string& path, std::string_view bytes,
        mode_t newFileMode = kDefaultNewFileMode);

    /// Deletes the temporary files that interrupted writes of `path` left in its folder; other
    /// files are left alone. A temporary file changed less than `minimumAge` ago is kept: it may
    /// be the write of another process that shares the folder, still under way. Answers how
    /// many went.
    static std::size_t removeLeftovers(const std::string& path,
        std::chrono::seconds minimumAge = std::chrono::seconds(0));

    /// Whether `fileName` (a name, not a path) is a temporary file of a write of `targetName`.
    static bool isTemporaryFileOf(std::string_view fileName, std::string_view targetName);

    /// Test hook: called with the temporary file's path once half of the bytes are in it (before
    /// the rest, the flush and the rename), on the writing thread. A test stops the write there
    /// (a child process that waits to be killed, a hook that throws). Empty: none.
    static void setHalfWrittenHookForTesting(std::function<void(const std::string& temporaryPath)> hook);
};

} // namespace morvix::platform
