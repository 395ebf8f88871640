#include "platform/ui/ImagePickerController.h"

#include <array>
#include <atomic>

namespace morvix::platform {

namespace {

std::array<std::atomic<bool>, 3> s_available { true, false, true };

} // namespace

bool ImagePickerController::isSourceTypeAvailable(ImagePickerSourceType source)
{
    auto index = static_cast<std::size_t>(source);
    return index < s_available.size() && s_available[index];
}

void ImagePickerController::setSourceTypeAvailable(ImagePickerSourceType source, bool available)
{
    auto index = static_cast<std::size_t>(source);
    if (index < s_available.size())
        s_available[index] = available;
}

void ImagePickerController::resetAvailabilityForTesting()
{
    s_available[0] = true;
    s_available[1] = false;
    s_available[2] = true;
}

} // namespace morvix::platform
