#include "networking/ImageViewNetworking.h"

#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetImageCache.h"
#include "networking/NetImageResponseSerializer.h"
#include "networking/NetViewStateTable.h"
#include "platform/foundation/MainLoop.h"
#include "platform/graphics/Image.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/OperationQueue.h"
#include "platform/ui/controls/ImageView.h"

#include <mutex>

namespace morvix {

namespace {

struct ViewState {
    std::shared_ptr<NetHTTPRequestOperation> operation;
    std::shared_ptr<NetHTTPResponseSerializer> serializer;
};

NetViewStateTable<ViewState>& states()
{
    static auto* table = new NetViewStateTable<ViewState>;
    return *table;
}

std::mutex s_cacheMutex; // guards s_cache
std::shared_ptr<NetImageCache> s_cache;

bool sameURL(const platform::URLRequest& first, const platform::URLRequest& second)
{
    if (!first.url() || !second.url())
        return false;
    return first.url()->absoluteString() == second.url()->absoluteString();
}

} // namespace

platform::URLRequest NetImageRequestForURL(const platform::Url& url)
{
    platform::URLRequest request(url);
    (void)request.headers().add("Accept", "image/*");
    return request;
}

void ImageViewNetworking::setImageWithURL(platform::ImageView& view, const platform::Url& url, std::shared_ptr<platform::Image> placeholder)
{
    setImageWithURLRequest(view, NetImageRequestForURL(url), std::move(placeholder), nullptr, nullptr);
}

void ImageViewNetworking::setImageWithURLRequest(platform::ImageView& view, platform::URLRequest request,
    std::shared_ptr<platform::Image> placeholder, SuccessBlock success, FailureBlock failure)
{
    platform::assertOnMainThread();
    cancelImageRequestOperation(view);
    if (auto cached = sharedImageCache()->cachedImageForRequest(request)) {
        if (success)
            success(request, nullptr, cached);
        else
            view.setImage(cached);
        return;
    }
    if (placeholder)
        view.setImage(std::move(placeholder));

    auto operation = NetHTTPRequestOperation::create(request);
    operation->setResponseSerializer(imageResponseSerializer(view));
    std::weak_ptr<platform::ImageView> weakView = std::static_pointer_cast<platform::ImageView>(view.shared_from_this());
    operation->setCompletionBlockWithSuccess(
        [weakView, request, success](const std::shared_ptr<NetHTTPRequestOperation>& finished, const std::any& object) {
            auto view = weakView.lock();
            if (!view)
                return;
            auto image = std::any_cast<std::shared_ptr<platform::Image>>(&object);
            handleSuccess(*view, finished, request, image ? *image : nullptr, success);
        },
        [weakView, request, failure](const std::shared_ptr<NetHTTPRequestOperation>& finished, const platform::Error& error) {
            if (auto view = weakView.lock())
                handleFailure(*view, finished, request, error, failure);
        });
    states().with(view, [&](ViewState& state) { state.operation = operation; });
    sharedImageRequestOperationQueue()->addOperation(operation);
}

bool ImageViewNetworking::takeIfCurrent(platform::ImageView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation,
    const platform::URLRequest& request)
{
    return states().with(view, [&](ViewState& state) {
        if (!state.operation || !sameURL(request, state.operation->request()))
            return false;
        if (state.operation == operation)
            state.operation = nullptr;
        return true;
    });
}

void ImageViewNetworking::handleSuccess(platform::ImageView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation,
    const platform::URLRequest& request, const std::shared_ptr<platform::Image>& image, const SuccessBlock& success)
{
    if (takeIfCurrent(view, operation, request)) {
        if (success)
            success(request, operation->response(), image);
        else if (image)
            view.setImage(image);
    }
    sharedImageCache()->cacheImage(image, request);
}

void ImageViewNetworking::handleFailure(platform::ImageView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation,
    const platform::URLRequest& request, const platform::Error& error, const FailureBlock& failure)
{
    if (takeIfCurrent(view, operation, request) && failure)
        failure(request, operation->response(), error);
}

void ImageViewNetworking::cancelImageRequestOperation(platform::ImageView& view)
{
    auto running = states().with(view, [](ViewState& state) { return std::exchange(state.operation, nullptr); });
    if (running)
        running->cancel();
}

std::shared_ptr<NetHTTPResponseSerializer> ImageViewNetworking::imageResponseSerializer(const platform::ImageView& view)
{
    static const std::shared_ptr<NetHTTPResponseSerializer> shared = NetImageResponseSerializer::serializer();
    auto own = states().with(view, [](ViewState& state) { return state.serializer; });
    return own ? own : shared;
}

void ImageViewNetworking::setImageResponseSerializer(const platform::ImageView& view, std::shared_ptr<NetHTTPResponseSerializer> serializer)
{
    states().with(view, [&](ViewState& state) { state.serializer = std::move(serializer); });
}

std::shared_ptr<NetImageCache> ImageViewNetworking::sharedImageCache()
{
    {
        std::lock_guard lock(s_cacheMutex);
        if (s_cache)
            return s_cache;
    }
    static const std::shared_ptr<NetImageCache> fallback = NetMemoryImageCache::create();
    return fallback;
}

void ImageViewNetworking::setSharedImageCache(std::shared_ptr<NetImageCache> cache)
{
    std::lock_guard lock(s_cacheMutex);
    s_cache = std::move(cache);
}

std::shared_ptr<NetHTTPRequestOperation> ImageViewNetworking::imageRequestOperation(const platform::ImageView& view)
{
    return states().with(view, [](ViewState& state) { return state.operation; });
}

std::shared_ptr<platform::OperationQueue> ImageViewNetworking::sharedImageRequestOperationQueue()
{
    static const std::shared_ptr<platform::OperationQueue> queue = platform::OperationQueue::create();
    return queue;
}

} // namespace morvix
