#include "platform/net/OutputStream.h"

namespace morvix::platform {

void OutputStream::open()
{
    if (m_status == StreamStatus::Error || isOpen())
        return;
    m_status = StreamStatus::Open;
}

void OutputStream::close()
{
    if (m_status != StreamStatus::Error)
        m_status = StreamStatus::Closed;
}

void OutputStream::fail(Error error)
{
    m_error = std::move(error);
    m_status = StreamStatus::Error;
}

} // namespace morvix::platform
