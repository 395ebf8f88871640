#include "widgets/images/MemoryImageCache.h"

#include "platform/foundation/MemoryCache.h"
#include "platform/graphics/Image.h"
#include "platform/net/URLRequest.h"

namespace morvix {

std::shared_ptr<MemoryImageCache> MemoryImageCache::create()
{
    return std::shared_ptr<MemoryImageCache>(new MemoryImageCache);
}

MemoryImageCache::MemoryImageCache()
    : m_cache(platform::MemoryCache::create())
{
    m_cache->setTotalCostLimit(kDefaultTotalCostLimit);
}

std::shared_ptr<platform::Image> MemoryImageCache::cachedImageForRequest(const platform::URLRequest& request)
{
    int policy = request.cachePolicy();
    if (policy == kReloadIgnoringLocalCacheData || policy == kReloadIgnoringLocalAndRemoteCacheData || !request.url())
        return nullptr;
    return m_cache->objectForKey<platform::Image>(request.url()->absoluteString());
}

void MemoryImageCache::cacheImage(const std::shared_ptr<platform::Image>& image, const platform::URLRequest& request)
{
    if (!image || !request.url())
        return;
    m_cache->setObject(image, request.url()->absoluteString(), costOf(*image));
}

void MemoryImageCache::removeAllObjects()
{
    m_cache->removeAllObjects();
}

std::size_t MemoryImageCache::costOf(const platform::Image& image)
{
    return std::size_t(image.pixelWidth()) * std::size_t(image.pixelHeight()) * 4;
}

} // namespace morvix
