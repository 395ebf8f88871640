#include "platform/net/InputStream.h"

#include <algorithm>
#include <cstring>

namespace morvix::platform {

void InputStream::open()
{
    if (m_status == StreamStatus::NotOpen)
        m_status = StreamStatus::Open;
}

void InputStream::close()
{
    if (m_status != StreamStatus::Error)
        m_status = StreamStatus::Closed;
}

void InputStream::fail(Error error)
{
    m_error = std::move(error);
    m_status = StreamStatus::Error;
}

long DataInputStream::read(char* buffer, std::size_t capacity)
{
    if (streamStatus() == StreamStatus::AtEnd)
        return 0;
    if (streamStatus() != StreamStatus::Open)
        return -1;
    auto count = std::min(capacity, m_data.size() - m_offset);
    std::memcpy(buffer, m_data.data() + m_offset, count);
    m_offset += count;
    if (m_offset == m_data.size())
        setStatus(StreamStatus::AtEnd);
    return static_cast<long>(count);
}

} // namespace morvix::platform
