#include "platform/net/FileOutputStream.h"

#include "platform/net/URLError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace morvix::platform {

std::shared_ptr<FileOutputStream> FileOutputStream::create(std::filesystem::path path, FileMode mode)
{
    return std::make_shared<FileOutputStream>(std::move(path), mode);
}

FileOutputStream::~FileOutputStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void FileOutputStream::failWithErrno(int code)
{
    fail(Error(POSIXErrorDomain, code, std::strerror(code)));
}

void FileOutputStream::open()
{
    if (isOpen() || streamStatus() == StreamStatus::Error)
        return;
    // A reopened stream continues at the end of what it wrote before.
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (m_mode == FileMode::Truncate && streamStatus() == StreamStatus::NotOpen)
        flags |= O_TRUNC;
    m_fd = ::open(m_path.c_str(), flags, 0644);
    if (m_fd < 0) {
        failWithErrno(errno);
        return;
    }
    m_offset = ::lseek(m_fd, 0, SEEK_END);
    OutputStream::open();
}

void FileOutputStream::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    OutputStream::close();
}

long FileOutputStream::write(const char* bytes, std::size_t length)
{
    if (!isOpen())
        return -1;
    for (;;) {
        auto written = ::write(m_fd, bytes, length);
        if (written >= 0) {
            m_offset += written;
            return static_cast<long>(written);
        }
        if (errno != EINTR) {
            failWithErrno(errno);
            return -1;
        }
    }
}

bool FileOutputStream::discardContents()
{
    if (m_fd >= 0) {
        if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0)
            return false;
    } else if (streamStatus() != StreamStatus::NotOpen) {
        std::error_code ignored;
        std::filesystem::resize_file(m_path, 0, ignored);
        if (ignored)
            return false;
    }
    m_offset = 0;
    return true;
}

} // namespace morvix::platform
