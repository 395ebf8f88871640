#include "platform/foundation/AtomicFile.h"

#include "platform/foundation/FileMove.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace morvix::platform {

namespace {

constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr std::size_t kRandomLength = 6; // mkstemp's "XXXXXX"

std::mutex g_hookMutex; // guards g_halfWrittenHook
std::function<void(const std::string&)> g_halfWrittenHook;

std::pair<std::string, std::string> splitPath(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return { ".", path };
    return { slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1) };
}

Error writeError(int number, const std::string& path)
{
    Error error(FileErrorDomain, kFileWriteUnknownError, "\"" + path + "\" couldn't be written", std::strerror(number));
    error.setUnderlyingError(Error("NSPOSIXErrorDomain", number));
    return error;
}

bool writeAll(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        auto written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

void runHalfWrittenHook(const std::string& temporaryPath)
{
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_halfWrittenHook;
    }
    if (hook)
        hook(temporaryPath);
}

// Fills the open temporary file, flushes it and gives it its final mode. Answers 0 or errno.
int fill(int fd, const std::string& temporaryPath, std::string_view bytes, mode_t mode)
{
    std::size_t half = bytes.size() / 2;
    if (!writeAll(fd, bytes.data(), half))
        return errno;
    runHalfWrittenHook(temporaryPath);
    if (!writeAll(fd, bytes.data() + half, bytes.size() - half))
        return errno;
    if (::fchmod(fd, mode) != 0)
        return errno;
    if (::fsync(fd) != 0)
        return errno;
    return 0;
}

} // namespace

std::optional<Error> AtomicFile::write(const std::string& path, std::string_view bytes, mode_t newFileMode)
{
    auto [folder, name] = splitPath(path);
    mode_t mode = newFileMode & 07777;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;
    std::string temporaryPath = folder + "/" + name + std::string(kTemporaryInfix) + std::string(kRandomLength, 'X');
    int fd = ::mkostemp(temporaryPath.data(), O_CLOEXEC);
    if (fd < 0)
        return writeError(errno, path);
    int failure = 0;
    try {
        failure = fill(fd, temporaryPath, bytes, mode);
    } catch (...) {
        ::close(fd);
        ::unlink(temporaryPath.c_str());
        throw;
    }
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(temporaryPath.c_str(), path.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temporaryPath.c_str());
        return writeError(failure, path);
    }
    // The rename is only durable once the folder's entry is on the disk.
    int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return std::nullopt;
}

bool AtomicFile::isTemporaryFileOf(std::string_view fileName, std::string_view targetName)
{
    std::size_t prefix = targetName.size() + kTemporaryInfix.size();
    return fileName.size() == prefix + kRandomLength && fileName.substr(0, targetName.size()) == targetName
        && fileName.substr(targetName.size(), kTemporaryInfix.size()) == kTemporaryInfix;
}

std::size_t AtomicFile::removeLeftovers(const std::string& path, std::chrono::seconds minimumAge)
{
    auto [folder, name] = splitPath(path);
    DIR* directory = ::opendir(folder.c_str());
    if (!directory)
        return 0;
    std::size_t removed = 0;
    auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    while (const dirent* entry = ::readdir(directory)) {
        if (!isTemporaryFileOf(entry->d_name, name))
            continue;
        std::string leftover = folder + "/" + entry->d_name;
        struct stat info {};
        if (minimumAge.count() > 0 && (::stat(leftover.c_str(), &info) != 0 || now - info.st_mtime < minimumAge.count()))
            continue;
        if (::unlink(leftover.c_str()) == 0)
            ++removed;
    }
    ::closedir(directory);
    return removed;
}

void AtomicFile::setHalfWrittenHookForTesting(std::function<void(const std::string&)> hook)
{
    std::lock_guard lock(g_hookMutex);
    g_halfWrittenHook = std::move(hook);
}

} // namespace morvix::platform
