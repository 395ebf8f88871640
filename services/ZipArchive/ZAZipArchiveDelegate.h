#pragma once
// What an unpacking tells the object watching it.

#include <cstdint>
#include <optional>
#include <string>

namespace morvix {

/// The archive's global information, read once when an unpacking starts.
struct ZAZipInfo {
    std::uint64_t numberOfEntries = 0;
    unsigned long commentSize = 0;
};

/// One entry's information as the archive's central directory gives it.
struct ZAFileInfo {
    unsigned long versionMadeBy = 0;
    unsigned long versionNeeded = 0;
    unsigned long flags = 0;
    unsigned long compressionMethod = 0;
    /// The MS-DOS date and time; 0 means none.
    unsigned long dosDate = 0;
    unsigned long crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    unsigned long internalAttributes = 0;
    /// The upper 16 bits hold the entry's Unix type and permissions when it carries them.
    unsigned long externalAttributes = 0;
    /// The entry's name as stored (UTF-8, before backslashes are turned into "/").
    std::string name;
};

/// Watches an unpacking. Every operation is optional: the defaults do nothing, and
/// `shouldUnzipFileAtIndex` answering nothing counts as yes. Called on the unpacking thread, during
/// the unpacking call; the unpacking keeps the delegate alive until it returns.
class ZAZipArchiveDelegate {
public:
    virtual ~ZAZipArchiveDelegate() = default;

    virtual void zipArchiveWillUnzipArchiveAtPath(const std::string& /*path*/, const ZAZipInfo&) { }
    /// Bytes processed so far (the running sum of the entries' compressed sizes) against the
    /// archive file's size.
    virtual void zipArchiveProgressEvent(std::uint64_t /*loaded*/, std::uint64_t /*total*/) { }
    /// false cancels the whole unpacking, which then returns false and skips its final progress.
    virtual std::optional<bool> zipArchiveShouldUnzipFileAtIndex(std::uint64_t /*index*/, std::uint64_t /*totalFiles*/,
        const std::string& /*archivePath*/, const ZAFileInfo&)
    {
        return std::nullopt;
    }
    virtual void zipArchiveWillUnzipFileAtIndex(std::uint64_t /*index*/, std::uint64_t /*totalFiles*/,
        const std::string& /*archivePath*/, const ZAFileInfo&) { }
    virtual void zipArchiveDidUnzipFileAtIndex(std::uint64_t /*index*/, std::uint64_t /*totalFiles*/,
        const std::string& /*archivePath*/, const ZAFileInfo&) { }
    virtual void zipArchiveDidUnzipFileAtIndex(std::uint64_t /*index*/, std::uint64_t /*totalFiles*/,
        const std::string& /*archivePath*/, const std::string& /*unzippedFilePath*/) { }
    virtual void zipArchiveDidUnzipArchiveAtPath(const std::string& /*path*/, const ZAZipInfo&,
        const std::string& /*unzippedPath*/) { }
};

} // namespace morvix
