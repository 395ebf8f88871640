#pragma once
// Picking pictures from the device's sources.

namespace morvix::platform {

/// Where a picture comes from, by the platform's numbers.
enum class ImagePickerSourceType {
    PhotoLibrary = 0,
    Camera = 1,
    SavedPhotosAlbum = 2,
};

/// The picture picker. So far only which sources the device offers: the headless device has no
/// camera unless the embedding application (or a test) declares one; the photo library and the
/// saved-photos album are there. Any thread.
class ImagePickerController {
public:
    static bool isSourceTypeAvailable(ImagePickerSourceType source);
    static void setSourceTypeAvailable(ImagePickerSourceType source, bool available);
    /// Back to the defaults: camera off, the other two on.
    static void resetAvailabilityForTesting();
};

} // namespace morvix::platform
