#include "widgets/images/ViewScreenshot.h"

#include "platform/graphics/Image.h"
#include "platform/ui/rendering/Renderer.h"

namespace morvix {

std::shared_ptr<platform::Image> ViewScreenshot::screenshot(platform::View& view)
{
    return platform::Renderer::render(view, { .scale = 1 });
}

} // namespace morvix
