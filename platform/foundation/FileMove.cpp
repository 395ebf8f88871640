#include "platform/foundation/FileMove.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvix::platform {

namespace {

Error moveError(int number, const std::string& source, const std::string& destination)
{
    long code = kFileWriteUnknownError;
    if (number == EEXIST)
        code = kFileWriteFileExistsError;
    else if (number == ENOENT && ::access(source.c_str(), F_OK) != 0)
        code = kFileNoSuchFileError;
    Error error(FileErrorDomain, code, "\"" + source + "\" couldn't be moved to \"" + destination + "\"", std::strerror(number));
    error.setUnderlyingError(Error("NSPOSIXErrorDomain", number));
    return error;
}

bool writeAll(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        auto written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies `source` into a new file at `destination` (which must not exist). Answers 0 or errno;
// on failure the destination made here is removed again.
int copyIntoNewFile(const std::string& source, const std::string& destination)
{
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    struct stat info {};
    ::fstat(in, &info);
    int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    if (out < 0) {
        int number = errno;
        ::close(in);
        return number;
    }
    int failure = 0;
    char buffer[64 * 1024];
    for (;;) {
        auto count = ::read(in, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 || (count > 0 && !writeAll(out, buffer, static_cast<std::size_t>(count)))) {
            failure = errno ? errno : EIO;
            break;
        }
        if (count == 0)
            break;
    }
    if (::close(out) != 0 && !failure)
        failure = errno;
    ::close(in);
    if (failure)
        ::unlink(destination.c_str());
    return failure;
}

} // namespace

std::optional<Error> moveFile(const std::string& source, const std::string& destination)
{
    // renameat2 with RENAME_NOREPLACE refuses an existing destination in one step; plain
    // rename(2) would replace it.
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0)
        return std::nullopt;
    int number = errno;
    if (number == EINVAL || number == ENOSYS) {
        // A file system without the flag: check, then link and unlink, which refuses too.
        if (::link(source.c_str(), destination.c_str()) == 0) {
            ::unlink(source.c_str());
            return std::nullopt;
        }
        number = errno;
    }
    if (number != EXDEV)
        return moveError(number, source, destination);
    if (int failure = copyIntoNewFile(source, destination))
        return moveError(failure, source, destination);
    ::unlink(source.c_str());
    return std::nullopt;
}

} // namespace morvix::platform
