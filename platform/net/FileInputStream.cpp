#include "platform/net/FileInputStream.h"

#include "platform/net/URLError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace morvix::platform {

FileInputStream::~FileInputStream()
{
    closeFile();
}

void FileInputStream::failWithErrno(int code)
{
    closeFile();
    fail(Error(POSIXErrorDomain, code, std::strerror(code), std::strerror(code) + (": " + m_path.string())));
}

void FileInputStream::closeFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void FileInputStream::open()
{
    if (streamStatus() != StreamStatus::NotOpen)
        return;
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        failWithErrno(errno);
        return;
    }
    InputStream::open();
}

void FileInputStream::close()
{
    closeFile();
    InputStream::close();
}

long FileInputStream::read(char* buffer, std::size_t capacity)
{
    if (streamStatus() == StreamStatus::AtEnd)
        return 0;
    if (streamStatus() != StreamStatus::Open)
        return -1;
    for (;;) {
        auto count = ::read(m_fd, buffer, capacity);
        if (count > 0)
            return static_cast<long>(count);
        if (count == 0) {
            if (capacity > 0)
                setStatus(StreamStatus::AtEnd);
            return 0;
        }
        if (errno != EINTR) {
            failWithErrno(errno);
            return -1;
        }
    }
}

} // namespace morvix::platform
