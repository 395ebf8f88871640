#include "platform/graphics/FontDescriptor.h"

namespace morvix::platform {

std::string FontDescriptor::familyName() const
{
    return familyNames.empty() ? std::string() : familyNames.front();
}

} // namespace morvix::platform
