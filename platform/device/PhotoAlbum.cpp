#include "platform/device/PhotoAlbum.h"

#include "platform/graphics/Image.h"

namespace morvix::platform {

namespace {

std::vector<std::shared_ptr<Image>>& saved()
{
    static std::vector<std::shared_ptr<Image>> images;
    return images;
}

} // namespace

void PhotoAlbum::saveImage(std::shared_ptr<Image> image)
{
    if (image)
        saved().push_back(std::move(image));
}

std::vector<std::shared_ptr<Image>> PhotoAlbum::savedImages()
{
    return saved();
}

void PhotoAlbum::resetForTesting()
{
    saved().clear();
}

} // namespace morvix::platform
