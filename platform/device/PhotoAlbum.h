#pragma once
// The device's saved-photos album.

#include <memory>
#include <vector>

namespace morvix::platform {

class Image;

/// The saved-photos album. The headless device keeps what is written to it in memory, for
/// tests and the embedding application to read. Main thread.
class PhotoAlbum final {
public:
    PhotoAlbum() = delete;

    /// Adds `image` to the album; a null image is ignored.
    static void saveImage(std::shared_ptr<Image> image);
    /// The images saved, oldest first.
    static std::vector<std::shared_ptr<Image>> savedImages();
    static void resetForTesting();
};

} // namespace morvix::platform
