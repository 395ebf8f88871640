#include "platform/graphics/Color.h"

namespace morvix::platform {

Color Color::fromHex(std::uint32_t rgb, float alpha)
{
    return { ((rgb >> 16) & 0xff) / 255.0f, ((rgb >> 8) & 0xff) / 255.0f, (rgb & 0xff) / 255.0f, alpha };
}

} // namespace morvix::platform
