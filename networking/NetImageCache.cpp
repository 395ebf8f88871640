#include "networking/NetImageCache.h"

#include "platform/foundation/MemoryCache.h"
#include "platform/graphics/Image.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Application.h"

namespace morvix {

namespace {

// The request's cache policies that ignore cached data: reload ignoring the local cache (1), and
// ignoring local and remote caches (4).
bool ignoresCachedData(const platform::URLRequest& request)
{
    return request.cachePolicy() == 1 || request.cachePolicy() == 4;
}

std::size_t decodedSize(const platform::Image& image)
{
    return static_cast<std::size_t>(image.pixelWidth()) * static_cast<std::size_t>(image.pixelHeight()) * 4;
}

} // namespace

std::shared_ptr<NetMemoryImageCache> NetMemoryImageCache::create()
{
    auto cache = std::shared_ptr<NetMemoryImageCache>(new NetMemoryImageCache);
    // The observer holds the cache weakly: a warning may be posted while the cache goes.
    cache->m_memoryWarning = platform::NotificationCenter::defaultCenter()->addObserver(
        platform::Application::kMemoryWarningNotification, nullptr,
        [weak = std::weak_ptr<NetMemoryImageCache>(cache)](const platform::Notification&) {
            if (auto self = weak.lock())
                self->removeAllObjects();
        });
    return cache;
}

NetMemoryImageCache::NetMemoryImageCache()
    : m_cache(platform::MemoryCache::create())
{
    m_cache->setTotalCostLimit(kTotalCostLimit);
}

std::shared_ptr<platform::Image> NetMemoryImageCache::cachedImageForRequest(const platform::URLRequest& request)
{
    if (ignoresCachedData(request) || !request.url())
        return nullptr;
    return m_cache->objectForKey<platform::Image>(request.url()->absoluteString());
}

void NetMemoryImageCache::cacheImage(std::shared_ptr<platform::Image> image, const platform::URLRequest& request)
{
    if (!image || !request.url())
        return;
    std::size_t cost = decodedSize(*image);
    m_cache->setObject(std::move(image), request.url()->absoluteString(), cost);
}

void NetMemoryImageCache::removeAllObjects()
{
    m_cache->removeAllObjects();
}

std::size_t NetMemoryImageCache::count() const
{
    return m_cache->count();
}

} // namespace morvix
