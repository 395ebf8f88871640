#pragma once
// What the image loader asks of an image cache.

#include <memory>

namespace morvix {

namespace platform {
class Image;
class URLRequest;
}

/// A cache of decoded images keyed by their request's absolute URL text. The image loader uses
/// it from background queues, so implementations are safe on any thread.
class ImageCache {
public:
    virtual ~ImageCache() = default;

    /// The image stored for the request's URL; null when none, when the request has no URL, or
    /// when its cache policy says to ignore local data (1 and 4).
    virtual std::shared_ptr<platform::Image> cachedImageForRequest(const platform::URLRequest& request) = 0;
    /// Stores `image` under the request's URL; does nothing for a null image or no URL.
    virtual void cacheImage(const std::shared_ptr<platform::Image>& image, const platform::URLRequest& request) = 0;
    virtual void removeAllObjects() = 0;
};

} // namespace morvix
