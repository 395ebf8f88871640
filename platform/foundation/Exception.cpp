#include "platform/foundation/Exception.h"

namespace morvix::platform {

Exception::Exception(std::string name, std::string reason, Value userInfo)
    : std::runtime_error(name + ": " + reason)
    , m_name(std::move(name))
    , m_reason(std::move(reason))
    , m_userInfo(std::move(userInfo))
{
}

} // namespace morvix::platform
