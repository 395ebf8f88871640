#include "core/objects/RemoteException.h"

namespace morvix {

RemoteException::RemoteException(std::string name, std::string reason, platform::Value userInfo)
    : platform::Exception(std::move(name), std::move(reason), std::move(userInfo))
{
}

} // namespace morvix
