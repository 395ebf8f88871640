#include "platform/net/MemoryOutputStream.h"

namespace morvix::platform {

long MemoryOutputStream::write(const char* bytes, std::size_t length)
{
    if (!isOpen())
        return -1;
    m_data.append(bytes, length);
    return static_cast<long>(length);
}

bool MemoryOutputStream::discardContents()
{
    m_data.clear();
    return true;
}

} // namespace morvix::platform
