#include "services/ZipArchive/ZAZipArchive.h"

#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/SystemLog.h"

#include <unicode/ucal.h>
#include <unicode/ustring.h>
#include <unzip.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace morvix {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxNesting = 3;
constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kWriteChunk = 16384;

platform::Error makeError(long code)
{
    switch (code) {
    case ZAZipArchive::kOpenFailed:
        return platform::Error(ZAZipArchive::kErrorDomain, code, "failed to open zip file");
    case ZAZipArchive::kNoFirstFile:
        return platform::Error(ZAZipArchive::kErrorDomain, code, "failed to open first file in zip file");
    case ZAZipArchive::kUnsafeEntry:
        return platform::Error(ZAZipArchive::kErrorDomain, code, "unsafe entry in zip file");
    case ZAZipArchive::kOverLimits:
        return platform::Error(ZAZipArchive::kErrorDomain, code, "zip file exceeds the unpacking limits");
    default:
        return platform::Error(ZAZipArchive::kErrorDomain, ZAZipArchive::kEntryFailed, "failed to unpack entry in zip file");
    }
}

// ---- Dates: MS-DOS date and time in the device's zone, through a Gregorian calendar ----

class DosCalendar {
public:
    DosCalendar()
    {
        std::u16string zone = deviceZone();
        UErrorCode status = U_ZERO_ERROR;
        m_calendar = ucal_open(zone.empty() ? nullptr : reinterpret_cast<const UChar*>(zone.c_str()),
            zone.empty() ? 0 : int32_t(zone.size()), "en_US_POSIX", UCAL_GREGORIAN, &status);
        if (U_FAILURE(status))
            m_calendar = nullptr;
    }
    ~DosCalendar()
    {
        if (m_calendar)
            ucal_close(m_calendar);
    }
    DosCalendar(const DosCalendar&) = delete;
    DosCalendar& operator=(const DosCalendar&) = delete;

    /// Seconds since 1970 for a non-zero DOS date.
    std::optional<std::time_t> toTime(unsigned long dosDate) const
    {
        if (!m_calendar || dosDate == 0)
            return std::nullopt;
        UErrorCode status = U_ZERO_ERROR;
        ucal_clear(m_calendar);
        ucal_setDateTime(m_calendar, int32_t(((dosDate >> 25) & 0x7f) + 1980), int32_t(((dosDate >> 21) & 0x0f)) - 1,
            int32_t((dosDate >> 16) & 0x1f), int32_t((dosDate >> 11) & 0x1f), int32_t((dosDate >> 5) & 0x3f),
            int32_t((dosDate & 0x1f) * 2), &status);
        UDate millis = ucal_getMillis(m_calendar, &status);
        if (U_FAILURE(status))
            return std::nullopt;
        return std::time_t(millis / 1000);
    }

    unsigned long toDosDate(std::time_t time) const
    {
        if (!m_calendar)
            return 0;
        UErrorCode status = U_ZERO_ERROR;
        ucal_setMillis(m_calendar, UDate(time) * 1000.0, &status);
        auto field = [&](UCalendarDateFields which) { return unsigned(ucal_get(m_calendar, which, &status)); };
        unsigned year = field(UCAL_YEAR);
        unsigned month = field(UCAL_MONTH) + 1;
        unsigned day = field(UCAL_DATE);
        unsigned hour = field(UCAL_HOUR_OF_DAY);
        unsigned minute = field(UCAL_MINUTE);
        unsigned second = field(UCAL_SECOND);
        if (U_FAILURE(status))
            return 0;
        year = std::clamp(year, 1980u, 2107u) - 1980;
        return (year << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5) | (second / 2);
    }

private:
    static std::u16string deviceZone()
    {
        std::string zone = platform::DeviceInfo::current().timeZone;
        if (zone.empty())
            return {};
        std::u16string wide(zone.size(), u'\0');
        int32_t length = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8(reinterpret_cast<UChar*>(wide.data()), int32_t(wide.size()), &length, zone.data(), int32_t(zone.size()), &status);
        if (U_FAILURE(status))
            return {};
        wide.resize(std::size_t(length));
        return wide;
    }

    UCalendar* m_calendar = nullptr;
};

void setModificationTime(int fd, std::time_t time)
{
    timespec times[2] = { { time, 0 }, { time, 0 } };
    ::futimens(fd, times);
}

void setModificationTime(const std::string& path, std::time_t time)
{
    timespec times[2] = { { time, 0 }, { time, 0 } };
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// ---- Entry names ----

bool isValidUTF8(const std::string& text)
{
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, text.data(), int32_t(text.size()), &status);
    return status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status);
}

struct EntryName {
    /// The relative path below the destination, "/"-separated, without "." or empty components;
    /// empty for the destination itself.
    std::string relative;
    bool isDirectory = false;
};

/// The entry's path below the destination, or nothing when the name could leave it.
std::optional<EntryName> safeEntryName(const std::string& raw)
{
    if (raw.empty() || raw.find('\0') != std::string::npos || !isValidUTF8(raw))
        return std::nullopt;
    EntryName entry;
    entry.isDirectory = raw.back() == '/' || raw.back() == '\\';
    std::string name = raw;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.front() == '/')
        return std::nullopt;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
        return std::nullopt;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        std::string component = name.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (component == "..")
            return std::nullopt;
        if (!entry.relative.empty())
            entry.relative += '/';
        entry.relative += component;
    }
    return entry;
}

bool isSafeKind(unsigned long externalAttributes)
{
    unsigned long type = (externalAttributes >> 16) & S_IFMT;
    return type == 0 || type == S_IFREG || type == S_IFDIR;
}

std::string lowercaseExtension(const std::string& path)
{
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return extension;
}

std::string lastPathComponent(const std::string& path)
{
    return fs::path(path).filename().string();
}

/// Whether the file is an archive without entries: nothing but an end-of-central-directory
/// record. minizip refuses to open those, though they are well-formed and simply have no first
/// entry.
bool isEmptyArchive(const std::string& path)
{
    constexpr std::size_t kRecordSize = 22;
    std::error_code error;
    auto size = fs::file_size(path, error);
    if (error || size < kRecordSize || size > kRecordSize + 0xffff)
        return false;
    std::string bytes(size, '\0');
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bool read = std::fread(bytes.data(), 1, size, file) == size;
    std::fclose(file);
    auto entries = static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
    auto commentSize = static_cast<unsigned char>(bytes[20]) | static_cast<unsigned char>(bytes[21]) << 8;
    return read && bytes.compare(0, 4, "PK\x05\x06") == 0 && entries == 0 && std::size_t(commentSize) + kRecordSize == size;
}

// ---- The unpacking ----

/// What the unpackings of one call (the outer archive and its nested ones) have used up.
struct Budget {
    ZAZipArchive::Limits limits;
    std::uint64_t declaredBytes = 0;
    std::uint64_t entries = 0;
    std::uint64_t writtenBytes = 0;
};

struct EntryRecord {
    std::string path;
    unsigned long dosDate = 0;
};

class Unpacking {
public:
    Unpacking(const std::string& archive, const std::string& destination, const ZAZipArchive::UnzipOptions& options,
        Budget& budget, int depth, std::string selfPath)
        : m_archive(archive)
        , m_destination(destination)
        , m_options(options)
        , m_budget(budget)
        , m_depth(depth)
        , m_selfPath(std::move(selfPath))
    {
    }

    /// 0 on success, cancelled or not; else the failure's code.
    long run();
    bool wasCancelled() const { return m_cancelled; }
    const ZAZipInfo& zipInfo() const { return m_zipInfo; }

private:
    long checkCentralDirectory(unzFile zip);
    long writeEntries(unzFile zip);
    long writeEntry(unzFile zip, std::uint64_t index);
    /// Makes the folders from the destination down to `relativeFolder`, following no link.
    long makeFolders(const std::string& relativeFolder, std::optional<std::time_t> date);
    long copyEntry(unzFile zip, int fd, const ZAFileInfo& info);
    long unpackNested(const std::string& fullPath);
    bool readInfo(unzFile zip, ZAFileInfo& info);

    std::string m_archive;
    std::string m_destination;
    const ZAZipArchive::UnzipOptions& m_options;
    Budget& m_budget;
    int m_depth;
    std::string m_selfPath;
    DosCalendar m_calendar;
    ZAZipInfo m_zipInfo;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_position = 0;
    bool m_cancelled = false;
    std::vector<EntryRecord> m_records;
};

bool Unpacking::readInfo(unzFile zip, ZAFileInfo& info)
{
    unz_file_info64 raw {};
    if (unzGetCurrentFileInfo64(zip, &raw, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    std::string name(raw.size_filename + 1, '\0');
    if (unzGetCurrentFileInfo64(zip, &raw, name.data(), uLong(name.size()), nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    name.resize(raw.size_filename);
    info = ZAFileInfo { raw.version, raw.version_needed, raw.flag, raw.compression_method, raw.dosDate, raw.crc,
        raw.compressed_size, raw.uncompressed_size, raw.internal_fa, raw.external_fa, std::move(name) };
    return true;
}

long Unpacking::run()
{
    unzFile zip = unzOpen64(m_archive.c_str());
    if (!zip)
        return isEmptyArchive(m_archive) ? ZAZipArchive::kNoFirstFile : ZAZipArchive::kOpenFailed;
    std::error_code ignored;
    m_fileSize = fs::file_size(m_archive, ignored);
    if (ignored)
        m_fileSize = 0;
    unz_global_info64 global {};
    unzGetGlobalInfo64(zip, &global);
    m_zipInfo = ZAZipInfo { global.number_entry, global.size_comment };
    if (unzGoToFirstFile(zip) != UNZ_OK) {
        unzClose(zip);
        return ZAZipArchive::kNoFirstFile;
    }
    long result = checkCentralDirectory(zip);
    if (result == 0)
        result = writeEntries(zip);
    unzClose(zip);
    for (const auto& record : m_records) {
        auto date = m_calendar.toTime(record.dosDate);
        if (!date)
            continue;
        struct stat status {};
        if (::lstat(record.path.c_str(), &status) != 0)
            continue; // a nested archive, unpacked and removed
        setModificationTime(record.path, *date);
    }
    return result;
}

long Unpacking::checkCentralDirectory(unzFile zip)
{
    const auto& limits = m_budget.limits;
    std::string self = m_selfPath.empty() ? std::string() : fs::path(m_selfPath).lexically_normal().string();
    int status = UNZ_OK;
    for (; status == UNZ_OK; status = unzGoToNextFile(zip)) {
        ZAFileInfo info;
        if (!readInfo(zip, info))
            return ZAZipArchive::kEntryFailed;
        auto name = safeEntryName(info.name);
        if (!name || !isSafeKind(info.externalAttributes))
            return ZAZipArchive::kUnsafeEntry;
        if (!self.empty() && (fs::path(m_destination) / name->relative).lexically_normal().string() == self)
            return ZAZipArchive::kUnsafeEntry;
        if (++m_budget.entries > limits.maxEntries)
            return ZAZipArchive::kOverLimits;
        m_budget.declaredBytes += info.uncompressedSize;
        if (m_budget.declaredBytes > limits.maxTotalBytes)
            return ZAZipArchive::kOverLimits;
        if (info.uncompressedSize > limits.ratioThreshold
            && info.uncompressedSize / limits.maxRatio > std::max<std::uint64_t>(info.compressedSize, 1))
            return ZAZipArchive::kOverLimits;
    }
    if (status != UNZ_END_OF_LIST_OF_FILE)
        return ZAZipArchive::kEntryFailed;
    return unzGoToFirstFile(zip) == UNZ_OK ? 0 : ZAZipArchive::kEntryFailed;
}

long Unpacking::writeEntries(unzFile zip)
{
    if (auto delegate = m_options.delegate) {
        delegate->zipArchiveWillUnzipArchiveAtPath(m_archive, m_zipInfo);
        delegate->zipArchiveProgressEvent(0, m_fileSize);
    }
    for (std::uint64_t index = 0;; ++index) {
        long result = writeEntry(zip, index);
        if (result != 0 || m_cancelled)
            return result;
        int next = unzGoToNextFile(zip);
        if (next == UNZ_END_OF_LIST_OF_FILE)
            return 0;
        if (next != UNZ_OK)
            return ZAZipArchive::kEntryFailed;
    }
}

long Unpacking::writeEntry(unzFile zip, std::uint64_t index)
{
    const auto& delegate = m_options.delegate;
    int opened = m_options.password.empty() ? unzOpenCurrentFile(zip) : unzOpenCurrentFilePassword(zip, m_options.password.c_str());
    if (opened != UNZ_OK)
        return ZAZipArchive::kEntryFailed;
    ZAFileInfo info;
    if (!readInfo(zip, info)) {
        unzCloseCurrentFile(zip);
        return ZAZipArchive::kEntryFailed;
    }
    m_position += info.compressedSize;
    if (delegate) {
        if (delegate->zipArchiveShouldUnzipFileAtIndex(index, m_zipInfo.numberOfEntries, m_archive, info) == false) {
            m_cancelled = true;
            unzCloseCurrentFile(zip);
            return 0;
        }
        delegate->zipArchiveWillUnzipFileAtIndex(index, m_zipInfo.numberOfEntries, m_archive, info);
    }
    auto name = safeEntryName(info.name);
    if (!name) {
        unzCloseCurrentFile(zip);
        return ZAZipArchive::kUnsafeEntry;
    }
    std::string fullPath = (fs::path(m_destination) / name->relative).string();
    auto date = m_calendar.toTime(info.dosDate);
    std::string folder = name->isDirectory ? name->relative : fs::path(name->relative).parent_path().string();
    long result = makeFolders(folder, date);
    m_records.push_back({ fullPath, info.dosDate });

    bool skipped = name->isDirectory || name->relative.empty();
    if (result == 0 && !skipped) {
        struct stat existing {};
        if (::lstat(fullPath.c_str(), &existing) == 0) {
            if (!S_ISREG(existing.st_mode))
                result = ZAZipArchive::kUnsafeEntry;
            else if (!m_options.overwrite)
                skipped = true;
        }
    }
    if (result == 0 && !skipped) {
        int fd = ::open(fullPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            result = errno == ELOOP ? ZAZipArchive::kUnsafeEntry : ZAZipArchive::kEntryFailed;
        } else {
            result = copyEntry(zip, fd, info);
            if (result == 0 && date)
                setModificationTime(fd, *date);
            if (result == 0 && (info.externalAttributes >> 16) != 0) {
                mode_t mode = mode_t(((info.externalAttributes >> 16) & 0777 & ~0022) | 0600);
                if (::fchmod(fd, mode) != 0)
                    platform::systemLog("[ZAZipArchive] Failed to set attributes - whilst setting permissions");
            }
            if (::close(fd) != 0 && result == 0)
                result = ZAZipArchive::kEntryFailed;
            if (result == 0 && lowercaseExtension(fullPath) == ".zip")
                result = unpackNested(fullPath);
        }
    }
    if (unzCloseCurrentFile(zip) == UNZ_CRCERROR && result == 0 && !skipped)
        result = ZAZipArchive::kEntryFailed;
    if (result != 0)
        return result;
    if (delegate) {
        delegate->zipArchiveDidUnzipFileAtIndex(index, m_zipInfo.numberOfEntries, m_archive, info);
        delegate->zipArchiveDidUnzipFileAtIndex(index, m_zipInfo.numberOfEntries, m_archive, fullPath);
        delegate->zipArchiveProgressEvent(m_position, m_fileSize);
    }
    if (m_options.progressHandler)
        m_options.progressHandler(info.name, info, index + 1, m_zipInfo.numberOfEntries);
    return 0;
}

long Unpacking::makeFolders(const std::string& relativeFolder, std::optional<std::time_t> date)
{
    std::string path = m_destination;
    std::error_code error;
    if (!fs::exists(path, error)) {
        fs::create_directories(path, error);
        if (error)
            platform::systemLog("[ZAZipArchive] Error: " + error.message());
    }
    std::string rest = relativeFolder;
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        std::string component = rest.substr(0, slash);
        rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        path += "/" + component;
        struct stat status {};
        if (::lstat(path.c_str(), &status) == 0) {
            if (!S_ISDIR(status.st_mode))
                return ZAZipArchive::kUnsafeEntry;
            continue;
        }
        if (::mkdir(path.c_str(), 0755) != 0) {
            platform::systemLog("[ZAZipArchive] Error: " + std::string(std::strerror(errno)));
            return 0;
        }
        if (date)
            setModificationTime(path, *date);
    }
    return 0;
}

long Unpacking::copyEntry(unzFile zip, int fd, const ZAFileInfo& info)
{
    std::vector<char> buffer(kReadChunk);
    std::uint64_t written = 0;
    for (;;) {
        int read = unzReadCurrentFile(zip, buffer.data(), unsigned(buffer.size()));
        if (read == 0)
            return 0;
        if (read < 0)
            return ZAZipArchive::kEntryFailed;
        written += std::uint64_t(read);
        m_budget.writtenBytes += std::uint64_t(read);
        if (written > info.uncompressedSize)
            return ZAZipArchive::kEntryFailed;
        if (m_budget.writtenBytes > m_budget.limits.maxTotalBytes)
            return ZAZipArchive::kOverLimits;
        for (int offset = 0; offset < read;) {
            ssize_t done = ::write(fd, buffer.data() + offset, std::size_t(read - offset));
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                return ZAZipArchive::kEntryFailed;
            offset += int(done);
        }
    }
}

long Unpacking::unpackNested(const std::string& fullPath)
{
    if (m_depth + 1 >= kMaxNesting)
        return 0;
    platform::systemLog("Unzipping nested .zip file:  " + lastPathComponent(fullPath));
    ZAZipArchive::UnzipOptions nested;
    nested.overwrite = m_options.overwrite;
    nested.password = m_options.password;
    Unpacking inner(fullPath, fs::path(fullPath).parent_path().string(), nested, m_budget, m_depth + 1, fullPath);
    long result = inner.run();
    if (result == ZAZipArchive::kOpenFailed || result == ZAZipArchive::kNoFirstFile)
        return 0;
    if (result != 0)
        return result;
    std::error_code ignored;
    fs::remove(fullPath, ignored);
    return 0;
}

} // namespace

bool ZAZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, const UnzipOptions& options)
{
    Budget budget { options.limits };
    Unpacking unpacking(path, destination, options, budget, 0, {});
    long result = unpacking.run();
    bool succeeded = result == 0 && !unpacking.wasCancelled();
    std::optional<platform::Error> error;
    if (result != 0) {
        error = makeError(result);
        if (options.error)
            *options.error = *error;
    }
    if (result == 0 && options.delegate) {
        if (succeeded)
            options.delegate->zipArchiveDidUnzipArchiveAtPath(path, unpacking.zipInfo(), destination);
        if (!unpacking.wasCancelled()) {
            std::error_code ignored;
            auto size = fs::file_size(path, ignored);
            options.delegate->zipArchiveProgressEvent(ignored ? 0 : size, ignored ? 0 : size);
        }
    }
    if (options.completionHandler)
        options.completionHandler(result == kOpenFailed || result == kNoFirstFile ? std::string() : path, succeeded, error);
    return succeeded;
}

bool ZAZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination)
{
    return unzipFileAtPath(path, destination, UnzipOptions {});
}

bool ZAZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, std::shared_ptr<ZAZipArchiveDelegate> delegate)
{
    UnzipOptions options;
    options.delegate = std::move(delegate);
    return unzipFileAtPath(path, destination, options);
}

bool ZAZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
    const std::string& password, platform::Error* error)
{
    return unzipFileAtPath(path, destination, overwrite, password, error, nullptr);
}

bool ZAZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
    const std::string& password, platform::Error* error, std::shared_ptr<ZAZipArchiveDelegate> delegate)
{
    UnzipOptions options;
    options.overwrite = overwrite;
    options.password = password;
    options.error = error;
    options.delegate = std::move(delegate);
    return unzipFileAtPath(path, destination, options);
}

bool ZAZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination,
    ProgressHandler progressHandler, CompletionHandler completionHandler)
{
    return unzipFileAtPath(path, destination, true, {}, std::move(progressHandler), std::move(completionHandler));
}

bool ZAZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
    const std::string& password, ProgressHandler progressHandler, CompletionHandler completionHandler)
{
    UnzipOptions options;
    options.overwrite = overwrite;
    options.password = password;
    options.progressHandler = std::move(progressHandler);
    options.completionHandler = std::move(completionHandler);
    return unzipFileAtPath(path, destination, options);
}

// ---- Writing ----

ZAZipArchive::ZAZipArchive(std::string path)
    : m_path(std::move(path))
{
}

ZAZipArchive::~ZAZipArchive()
{
    if (m_zip)
        zipClose(static_cast<zipFile>(m_zip), nullptr);
}

bool ZAZipArchive::open()
{
    if (m_zip)
        return true;
    m_zip = zipOpen64(m_path.c_str(), APPEND_STATUS_CREATE);
    return m_zip != nullptr;
}

bool ZAZipArchive::close()
{
    if (!m_zip)
        return false;
    int result = zipClose(static_cast<zipFile>(m_zip), nullptr);
    m_zip = nullptr;
    return result == ZIP_OK;
}

bool ZAZipArchive::writeEntry(const std::string& name, unsigned long dosDate, unsigned long externalAttributes,
    const std::function<bool(void* zip)>& writeBody)
{
    if (!m_zip)
        return false;
    zip_fileinfo info {};
    info.dosDate = dosDate;
    info.external_fa = externalAttributes;
    constexpr unsigned long kMadeOnUnix = 3ul << 8 | 20;
    auto zip = static_cast<zipFile>(m_zip);
    if (zipOpenNewFileInZip4_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
            Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, kMadeOnUnix, 0, 1)
        != ZIP_OK)
        return false;
    bool written = writeBody(zip);
    bool closed = zipCloseFileInZip(zip) == ZIP_OK;
    return written && closed;
}

bool ZAZipArchive::writeFile(const std::string& path)
{
    return writeFileAtPath(path, {});
}

bool ZAZipArchive::writeFileAtPath(const std::string& path, const std::string& fileName)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {};
    ::fstat(fd, &status);
    unsigned long attributes = (unsigned long)((status.st_mode & 07777) | S_IFREG) << 16;
    bool written = writeEntry(fileName.empty() ? lastPathComponent(path) : fileName, DosCalendar().toDosDate(status.st_mtime),
        attributes, [fd](void* zip) {
            std::vector<char> buffer(kWriteChunk);
            for (;;) {
                ssize_t read = ::read(fd, buffer.data(), buffer.size());
                if (read < 0 && errno == EINTR)
                    continue;
                if (read < 0)
                    return false;
                if (read == 0)
                    return true;
                if (zipWriteInFileInZip(static_cast<zipFile>(zip), buffer.data(), unsigned(read)) != ZIP_OK)
                    return false;
            }
        });
    ::close(fd);
    return written;
}

bool ZAZipArchive::writeFolderAtPath(const std::string& path, const std::string& folderName)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return false;
    unsigned long attributes = (unsigned long)((status.st_mode & 07777) | S_IFDIR) << 16;
    return writeEntry(folderName + "/", DosCalendar().toDosDate(status.st_mtime), attributes, [](void*) { return true; });
}

bool ZAZipArchive::writeData(const std::vector<std::uint8_t>& data, const std::string& fileName)
{
    unsigned long attributes = (unsigned long)(0644 | S_IFREG) << 16;
    return writeEntry(fileName, DosCalendar().toDosDate(std::time(nullptr)), attributes, [&data](void* zip) {
        return data.empty() || zipWriteInFileInZip(static_cast<zipFile>(zip), data.data(), unsigned(data.size())) == ZIP_OK;
    });
}

bool ZAZipArchive::createZipFileAtPath(const std::string& path, const std::vector<std::string>& files)
{
    ZAZipArchive archive(path);
    if (!archive.open())
        return false;
    bool stored = true;
    for (const auto& file : files)
        stored = archive.writeFile(file) && stored;
    return archive.close() && stored;
}

bool ZAZipArchive::createZipFileAtPath(const std::string& path, const std::string& directory)
{
    return createZipFileAtPath(path, directory, false);
}

bool ZAZipArchive::createZipFileAtPath(const std::string& path, const std::string& directory, bool keepParentDirectory)
{
    ZAZipArchive archive(path);
    if (!archive.open())
        return false;
    std::string prefix = keepParentDirectory ? fs::path(directory).lexically_normal().filename().string() + "/" : std::string();
    if (prefix == "/")
        prefix = fs::path(directory).lexically_normal().parent_path().filename().string() + "/";
    bool stored = true;
    std::error_code error;
    std::vector<fs::path> entries;
    for (auto it = fs::recursive_directory_iterator(directory, error); !error && it != fs::recursive_directory_iterator(); it.increment(error))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) {
        std::string relative = prefix + fs::relative(entry, directory).generic_string();
        auto status = fs::symlink_status(entry, error);
        if (fs::is_symlink(status)) {
            platform::systemLog("[ZAZipArchive] Left out the link " + entry.string());
            continue;
        }
        if (fs::is_regular_file(status)) {
            stored = archive.writeFileAtPath(entry.string(), relative) && stored;
            continue;
        }
        if (!fs::is_directory(status) || !fs::is_empty(entry, error))
            continue;
        auto marker = entry / ".DS_Store";
        int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            stored = false;
            continue;
        }
        ::close(fd);
        stored = archive.writeFileAtPath(marker.string(), relative + "/.DS_Store") && stored;
        fs::remove(marker, error);
    }
    return archive.close() && stored;
}

} // namespace morvix
