#pragma once
// The default image cache: decoded images in a bounded memory cache.

#include "widgets/images/ImageCache.h"

#include <cstddef>
#include <memory>

namespace morvix {

namespace platform {
class MemoryCache;
}

/// Keeps decoded images in a `platform::MemoryCache`, each costing its pixel width x height x 4
/// bytes. Bounded by default to `kDefaultTotalCostLimit`, since the headless device never
/// signals memory pressure by itself; an image costing more than the limit is not kept. The
/// application may change the limits through `memoryCache()`. Any thread.
class MemoryImageCache final : public ImageCache {
public:
    /// Cache policies that skip the lookup (never the store): reload ignoring local cache data,
    /// and reload ignoring local and remote cache data.
    static constexpr int kReloadIgnoringLocalCacheData = 1;
    static constexpr int kReloadIgnoringLocalAndRemoteCacheData = 4;
    static constexpr std::size_t kDefaultTotalCostLimit = 64u * 1024 * 1024;

    static std::shared_ptr<MemoryImageCache> create();

    std::shared_ptr<platform::Image> cachedImageForRequest(const platform::URLRequest& request) override;
    void cacheImage(const std::shared_ptr<platform::Image>& image, const platform::URLRequest& request) override;
    void removeAllObjects() override;

    /// The store itself, for its limits and counts.
    platform::MemoryCache& memoryCache() { return *m_cache; }

    /// The cost of an image: its decoded bytes.
    static std::size_t costOf(const platform::Image& image);

private:
    MemoryImageCache();
    std::shared_ptr<platform::MemoryCache> m_cache;
};

} // namespace morvix
