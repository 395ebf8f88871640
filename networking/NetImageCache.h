#pragma once
// The in-memory image cache of the image-view and button extensions.

#include "platform/foundation/NotificationCenter.h"

#include <cstddef>
#include <memory>

namespace morvix::platform {
class Image;
class MemoryCache;
class URLRequest;
}

namespace morvix {

/// Where the image-view and button extensions keep downloaded images, keyed by request. Kept
/// apart from the widget module's image cache. Implementations are called from the main thread
/// and from completion queues, so they must be safe on any thread.
class NetImageCache {
public:
    virtual ~NetImageCache() = default;

    /// The image stored for `request`'s URL; null on a miss, and always null when the request's
    /// cache policy says to ignore cached data (1 and 4).
    virtual std::shared_ptr<platform::Image> cachedImageForRequest(const platform::URLRequest& request) = 0;
    /// Stores `image` for `request`'s URL; does nothing when the image is null or the request
    /// has no URL.
    virtual void cacheImage(std::shared_ptr<platform::Image> image, const platform::URLRequest& request) = 0;
};

/// The default `NetImageCache`: a `platform::MemoryCache` keyed by the URL's absolute text,
/// bounded to `kTotalCostLimit` bytes of decoded pixels (4 bytes a pixel), least recently used
/// images out first. It empties itself on `platform::Application::kMemoryWarningNotification`.
/// Any thread.
class NetMemoryImageCache final : public NetImageCache {
public:
    static constexpr std::size_t kTotalCostLimit = 64u * 1024 * 1024;

    static std::shared_ptr<NetMemoryImageCache> create();

    std::shared_ptr<platform::Image> cachedImageForRequest(const platform::URLRequest& request) override;
    void cacheImage(std::shared_ptr<platform::Image> image, const platform::URLRequest& request) override;
    void removeAllObjects();
    /// The number of images held.
    std::size_t count() const;

private:
    NetMemoryImageCache();

    std::shared_ptr<platform::MemoryCache> m_cache;
    platform::ObserverToken m_memoryWarning;
};

} // namespace morvix
