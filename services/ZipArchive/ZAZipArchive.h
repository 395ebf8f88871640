#pragma once
// Unpacks zip archives into a folder and writes new ones.

#include "services/ZipArchive/ZAZipArchiveDelegate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

namespace platform {
class Error;
}

/// Zip archives, read and written through minizip.
///
/// Unpacking is a class operation. It is careful with what it is given: before anything is
/// written, the whole central directory is checked, and an archive is refused when an entry's
/// name could leave the destination (absolute, a drive letter, a ".." component, a NUL byte,
/// invalid UTF-8), when an entry is anything but a file or a folder (a link, a device, a FIFO, a
/// socket), or when the declared sizes pass the limits. While writing, nothing below the
/// destination is followed through a link, no entry may inflate past its declared size, and modes
/// keep only the owner's and the read and search bits of group and others. Nested archives (a
/// name ending in ".zip", in any case) are unpacked beside themselves and removed, at most three
/// levels deep; deeper ones stay files.
///
/// Errors are in `kErrorDomain`: `kOpenFailed` "failed to open zip file", `kNoFirstFile` "failed to
/// open first file in zip file", `kUnsafeEntry` "unsafe entry in zip file", `kOverLimits` "zip file
/// exceeds the unpacking limits", `kEntryFailed` "failed to unpack entry in zip file". What was
/// written before a failure in the writing pass stays.
///
/// Writing is done by an instance: `open`, the `write…` operations, `close`. Entries carry the
/// files' modes and are marked as made on Unix, so other tools read the modes back.
///
/// Thread: any; an instance is used by one thread at a time. Unpacking blocks; callers run it
/// off the main thread when archives can be large.
class ZAZipArchive final {
public:
    static constexpr const char* kErrorDomain = "ZAZipArchiveErrorDomain";
    static constexpr long kOpenFailed = -1;
    static constexpr long kNoFirstFile = -2;
    static constexpr long kUnsafeEntry = -3;
    static constexpr long kOverLimits = -4;
    static constexpr long kEntryFailed = -5;

    /// What one unpacking may produce, over the whole nesting.
    struct Limits {
        std::uint64_t maxTotalBytes = std::uint64_t(1) << 30;
        std::uint64_t maxEntries = 65536;
        /// Entries larger than `ratioThreshold` may not be more than `maxRatio` times their
        /// compressed size.
        std::uint64_t ratioThreshold = std::uint64_t(1) << 20;
        std::uint64_t maxRatio = 200;
    };

    /// (entry name, entry information, entries done so far, number of entries)
    using ProgressHandler = std::function<void(const std::string&, const ZAFileInfo&, std::uint64_t, std::uint64_t)>;
    /// (archive path or empty when it could not be opened, success, the error of a failure)
    using CompletionHandler = std::function<void(const std::string&, bool, const std::optional<platform::Error>&)>;

    struct UnzipOptions {
        bool overwrite = true;
        std::string password;
        /// Receives the failure, when given.
        platform::Error* error = nullptr;
        std::shared_ptr<ZAZipArchiveDelegate> delegate;
        ProgressHandler progressHandler;
        CompletionHandler completionHandler;
        Limits limits;
    };

    /// The full form: every other unpacking form leads here. true on success.
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, const UnzipOptions& options);

    static bool unzipFileAtPath(const std::string& path, const std::string& destination);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination,
        std::shared_ptr<ZAZipArchiveDelegate> delegate);
    /// The patch manager's form.
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
        const std::string& password, platform::Error* error);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
        const std::string& password, platform::Error* error, std::shared_ptr<ZAZipArchiveDelegate> delegate);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination,
        ProgressHandler progressHandler, CompletionHandler completionHandler);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
        const std::string& password, ProgressHandler progressHandler, CompletionHandler completionHandler);

    /// Stores each file under its last path component. The result of `close`, or false when the
    /// archive cannot be created or a file cannot be stored.
    static bool createZipFileAtPath(const std::string& path, const std::vector<std::string>& files);
    static bool createZipFileAtPath(const std::string& path, const std::string& directory);
    /// Stores every file below `directory` under its relative path, prefixed with the folder's own
    /// name and "/" with `keepParentDirectory`. An empty sub-folder is kept through an empty
    /// ".DS_Store" written into it, stored and deleted again. Links are left out (and logged).
    static bool createZipFileAtPath(const std::string& path, const std::string& directory, bool keepParentDirectory);

    explicit ZAZipArchive(std::string path);
    ~ZAZipArchive();
    ZAZipArchive(const ZAZipArchive&) = delete;
    ZAZipArchive& operator=(const ZAZipArchive&) = delete;

    /// Creates the archive; false when it cannot be.
    bool open();
    bool writeFile(const std::string& path);
    /// Stores the file at `path` under `fileName`, or under its last path component when
    /// `fileName` is empty.
    bool writeFileAtPath(const std::string& path, const std::string& fileName);
    /// Stores a folder entry named `folderName` followed by "/", dated as the folder at `path`.
    bool writeFolderAtPath(const std::string& path, const std::string& folderName);
    /// Stores `data` under `fileName`, dated now.
    bool writeData(const std::vector<std::uint8_t>& data, const std::string& fileName);
    /// Closes the archive; false when minizip could not finish it.
    bool close();

private:
    bool writeEntry(const std::string& name, unsigned long dosDate, unsigned long externalAttributes,
        const std::function<bool(void* zip)>& writeBody);

    std::string m_path;
    void* m_zip = nullptr;
};

} // namespace morvix
