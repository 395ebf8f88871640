#include "core/session/CappedOutputStream.h"

#include "platform/net/URLError.h"

#include <cerrno>
#include <string>

namespace morvix {

std::shared_ptr<CappedOutputStream> CappedOutputStream::create(std::shared_ptr<platform::OutputStream> target, std::uint64_t limit)
{
    return std::shared_ptr<CappedOutputStream>(new CappedOutputStream(std::move(target), limit));
}

CappedOutputStream::CappedOutputStream(std::shared_ptr<platform::OutputStream> target, std::uint64_t limit)
    : m_target(std::move(target))
    , m_limit(limit)
{
}

void CappedOutputStream::open()
{
    m_target->open();
    if (m_target->streamError())
        return takeTargetError();
    OutputStream::open();
}

void CappedOutputStream::close()
{
    m_target->close();
    OutputStream::close();
}

long CappedOutputStream::write(const char* bytes, std::size_t length)
{
    if (!isOpen())
        return -1;
    if (length > m_limit - m_written) {
        m_exceededLimit = true;
        fail(platform::Error(platform::POSIXErrorDomain, EFBIG, "the response is larger than the " + std::to_string(m_limit) + " bytes allowed"));
        return -1;
    }
    long written = m_target->write(bytes, length);
    if (written < 0) {
        takeTargetError();
        return -1;
    }
    m_written += static_cast<std::uint64_t>(written);
    return written;
}

bool CappedOutputStream::discardContents()
{
    if (!m_target->discardContents())
        return false;
    m_written = 0;
    return true;
}

void CappedOutputStream::takeTargetError()
{
    fail(m_target->streamError().value_or(platform::Error(platform::POSIXErrorDomain, EIO, "the response could not be written")));
}

} // namespace morvix
