#include "widgets/images/ImageViewMorvix.h"

#include "core/objects/BasicObject.h"
#include "core/objects/ClientContext.h"
#include "core/session/MorvixClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetImageResponseSerializer.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/net/DispatchQueue.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/OperationQueue.h"
#include "platform/net/URLError.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/controls/ImageView.h"
#include "widgets/images/ImageHelper.h"
#include "widgets/images/MemoryImageCache.h"

#include <any>
#include <atomic>
#include <mutex>
#include <unordered_map>

namespace morvix {

using platform::Image;
using platform::Size;
using platform::Value;

namespace {

std::atomic<std::size_t> g_loadsInFlight { 0 };

// Counts a load from its start until the last copy of its state is released; the main-queue
// task that makes the load's last change holds a copy, so the count drops only after it.
struct LoadCount {
    LoadCount() { ++g_loadsInFlight; }
    ~LoadCount() { --g_loadsInFlight; }
    LoadCount(const LoadCount&) = delete;
    LoadCount& operator=(const LoadCount&) = delete;
};

std::mutex g_mutex; // guards the side table, every ViewState's fields and the shared caches

struct SharedCaches {
    std::shared_ptr<ImageCache> custom;
    std::shared_ptr<MemoryImageCache> fallback;
    std::weak_ptr<platform::NotificationCenter> observedCenter;
    platform::ObserverToken memoryWarning;
};

// Never destroyed: a pool thread may finish a load while the process exits.
SharedCaches& sharedCaches()
{
    static auto* caches = new SharedCaches;
    return *caches;
}

void emptyOnMainQueue(const std::weak_ptr<MemoryImageCache>& weakCache)
{
    auto empty = [weakCache] {
        if (auto cache = weakCache.lock())
            cache->removeAllObjects();
    };
    if (platform::MainLoop::main().isMainThread())
        return empty();
    platform::mainDispatchQueue()(empty);
}

// Keeps the default cache registered for memory warnings with the current default centre
// (tests replace the centre). Needs g_mutex.
void observeMemoryWarningsLocked(SharedCaches& caches)
{
    auto center = platform::NotificationCenter::defaultCenter();
    if (caches.observedCenter.lock() == center)
        return;
    caches.observedCenter = center;
    caches.memoryWarning = center->addObserver(platform::Application::kMemoryWarningNotification, nullptr,
        [weak = std::weak_ptr<MemoryImageCache>(caches.fallback)](const platform::Notification&) { emptyOnMainQueue(weak); });
}

void installLoadHookOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        MorvixClient::addLoadHook([] { ImageViewMorvix::sharedImageCache()->removeAllObjects(); });
    });
}

platform::Error badURLError(const std::string& reason)
{
    platform::Error error = platform::makeURLError(platform::kURLErrorBadURL);
    error.setFailureReason(reason);
    return error;
}

std::string describeSize(Size size)
{
    char text[96];
    std::snprintf(text, sizeof text, "%g x %g points", size.width, size.height);
    return text;
}

} // namespace

struct ImageViewMorvix::ViewState {
    std::weak_ptr<platform::ImageView> view;
    // Guarded by g_mutex.
    std::uint64_t generation = 0;
    std::shared_ptr<NetHTTPRequestOperation> operation;
    std::shared_ptr<NetImageResponseSerializer> serializer;
};

struct ImageViewMorvix::Load {
    std::shared_ptr<ViewState> state;
    std::uint64_t generation = 0;
    Value value;
    std::weak_ptr<ClientContext> client;
    SuccessCallback success;
    FailureCallback failure;
    LoadCount count;
    // Set on the global queue before the download starts, read-only afterwards.
    std::optional<double> scale;
    Size targetSize;
    std::optional<platform::URLRequest> request;
};

namespace {

using ViewTable = std::unordered_map<const platform::ImageView*, std::shared_ptr<void>>;

// Never destroyed, as the shared caches.
ViewTable& viewTable()
{
    static auto* table = new ViewTable;
    return *table;
}

std::size_t g_sizeAfterSweep = 0;

} // namespace

std::shared_ptr<ImageViewMorvix::ViewState> ImageViewMorvix::stateFor(const platform::ImageView& view, bool create)
{
    // Needs g_mutex.
    auto& table = viewTable();
    auto found = table.find(&view);
    if (found != table.end()) {
        auto state = std::static_pointer_cast<ViewState>(found->second);
        // A view made where a gone one lived must not inherit its state.
        if (state->view.lock().get() == &view)
            return state;
        table.erase(found);
    }
    if (!create)
        return nullptr;
    // Drop the state of views that have gone, now and then, so the table stays as large as
    // the number of live image views.
    if (table.size() >= 2 * g_sizeAfterSweep + 64) {
        std::erase_if(table, [](const auto& entry) { return std::static_pointer_cast<ViewState>(entry.second)->view.expired(); });
        g_sizeAfterSweep = table.size();
    }
    auto state = std::make_shared<ViewState>();
    state->view = std::static_pointer_cast<platform::ImageView>(const_cast<platform::ImageView&>(view).shared_from_this());
    table.emplace(&view, state);
    return state;
}

bool ImageViewMorvix::isCurrent(const Load& load)
{
    std::lock_guard lock(g_mutex);
    return load.state->generation == load.generation;
}

void ImageViewMorvix::onMainQueue(const LoadPtr& load, std::function<void(platform::ImageView& view)> change,
    const NetHTTPRequestOperation* finished)
{
    platform::mainDispatchQueue()([load, change = std::move(change), finished] {
        auto view = load->state->view.lock();
        if (view && isCurrent(*load))
            change(*view);
        // Forgotten even when the view has gone: the view's state holds the download, whose
        // handlers hold this load.
        if (finished)
            forgetOperation(*load, finished);
    });
}

void ImageViewMorvix::fail(const LoadPtr& load, const platform::Error& error, const NetHTTPRequestOperation* finished,
    std::shared_ptr<const platform::HTTPURLResponse> response)
{
    onMainQueue(load, [load, error, response](platform::ImageView&) {
        if (load->failure)
            load->failure(load->request, response, error);
    }, finished);
}

void ImageViewMorvix::setImageWithProperties(const std::shared_ptr<platform::ImageView>& view, const Value& value,
    const std::shared_ptr<ClientContext>& client, SuccessCallback success, FailureCallback failure)
{
    if (!view)
        return;
    auto load = std::make_shared<Load>();
    std::shared_ptr<NetHTTPRequestOperation> running;
    {
        std::lock_guard lock(g_mutex);
        load->state = stateFor(*view, true);
        load->generation = ++load->state->generation;
        running = std::move(load->state->operation);
    }
    if (running)
        running->cancel();
    load->value = value;
    load->client = client;
    load->success = std::move(success);
    load->failure = std::move(failure);
    if (!value.is_array() || value.size() < 3 || !value[0].is_string())
        return fail(load, badURLError("an image value is [path, width, height, scale?] with a text path"));
    platform::globalDispatchQueue()([load] { async_setImageWithProperties(load); });
}

void ImageViewMorvix::loadIcon(BasicObject& object, const std::shared_ptr<platform::ImageView>& holder, const Value& value,
    std::function<void(BasicObject&, std::shared_ptr<platform::Image>)> show)
{
    auto finish = [weak = object.weak_from_this(), show = std::move(show)](std::shared_ptr<platform::Image> image) {
        auto self = weak.lock();
        if (self && !self->isDisposed())
            show(*self, std::move(image));
    };
    setImageWithProperties(holder, value, object.client(),
        [finish](const auto&, const auto&, const std::shared_ptr<platform::Image>& loaded) { finish(loaded); },
        [finish](const auto&, const auto&, const platform::Error&) { finish(nullptr); });
}

void ImageViewMorvix::cancelImageRequestOperation(const platform::ImageView& view)
{
    std::shared_ptr<NetHTTPRequestOperation> running;
    {
        std::lock_guard lock(g_mutex);
        auto state = stateFor(view, false);
        if (!state)
            return;
        ++state->generation;
        running = std::move(state->operation);
    }
    if (running)
        running->cancel();
}

std::shared_ptr<ImageCache> ImageViewMorvix::sharedImageCache()
{
    installLoadHookOnce();
    std::lock_guard lock(g_mutex);
    auto& caches = sharedCaches();
    if (caches.custom)
        return caches.custom;
    if (!caches.fallback)
        caches.fallback = MemoryImageCache::create();
    observeMemoryWarningsLocked(caches);
    return caches.fallback;
}

void ImageViewMorvix::setSharedImageCache(std::shared_ptr<ImageCache> cache)
{
    installLoadHookOnce();
    std::lock_guard lock(g_mutex);
    sharedCaches().custom = std::move(cache);
}

std::shared_ptr<NetImageResponseSerializer> ImageViewMorvix::imageResponseSerializer(const platform::ImageView& view)
{
    {
        std::lock_guard lock(g_mutex);
        auto state = stateFor(view, false);
        if (state && state->serializer)
            return state->serializer;
    }
    static const auto fallback = NetImageResponseSerializer::serializer();
    return fallback;
}

void ImageViewMorvix::setImageResponseSerializer(const platform::ImageView& view, std::shared_ptr<NetImageResponseSerializer> serializer)
{
    std::lock_guard lock(g_mutex);
    stateFor(view, true)->serializer = std::move(serializer);
}

std::size_t ImageViewMorvix::loadsInFlight()
{
    return g_loadsInFlight.load();
}

std::shared_ptr<platform::OperationQueue> ImageViewMorvix::sharedImageRequestOperationQueue()
{
    static const auto queue = platform::OperationQueue::create();
    return queue;
}

void ImageViewMorvix::async_setImageWithProperties(const LoadPtr& load)
{
    if (!isCurrent(*load))
        return;
    load->scale = imageScale(load->value);
    setupImageResponseSerializerWithScale(*load, load->scale);
    auto client = load->client.lock();
    load->request = createURLRequestWith(load->value, client.get());
    if (client && !platform::MainLoop::main().isMainThread()) {
        // The session may have let go of itself meanwhile, leaving this the last reference; a
        // session ends on the main thread, where its views are taken down.
        platform::mainDispatchQueue()([client = std::move(client)] { });
    }
    load->targetSize = computeTargetSize(load->value);
    if (!load->request)
        return fail(load, badURLError("the image path \"" + load->value[0].get<std::string>() + "\" resolves to no URL"));
    if (auto cached = sharedImageCache()->cachedImageForRequest(*load->request))
        return applyCachedImage(load, cached);
    applyPlaceholder(load, load->targetSize);
    retrieveImageWithRequest(load);
}

std::optional<double> ImageViewMorvix::imageScale(const Value& value)
{
    if (value.size() < 4)
        return std::nullopt;
    double scale = value[3].is_number() || value[3].is_boolean() ? sizeValueFrom(value[3]) : 0;
    return scale <= 1.0 ? 1.0 : scale;
}

void ImageViewMorvix::setupImageResponseSerializerWithScale(const Load& load, std::optional<double> scale)
{
    auto serializer = NetImageResponseSerializer::serializer();
    serializer->setImageScale(scale.value_or(1.0));
    std::lock_guard lock(g_mutex);
    if (load.state->generation == load.generation)
        load.state->serializer = std::move(serializer);
}

std::optional<platform::URLRequest> ImageViewMorvix::createURLRequestWith(const Value& value, const ClientContext* client)
{
    if (!client || !value[0].is_string())
        return std::nullopt;
    auto url = client->relativeURLToServer(value[0].get<std::string>());
    if (!url)
        return std::nullopt;
    return imageURLRequest(url->absoluteString());
}

platform::URLRequest ImageViewMorvix::imageURLRequest(const std::string& url)
{
    platform::URLRequest request(platform::Url::parse(url));
    (void)request.headers().add("Accept", "image/*");
    return request;
}

Size ImageViewMorvix::computeTargetSize(const Value& value)
{
    return { sizeValueFrom(value[1]), sizeValueFrom(value[2]) };
}

double ImageViewMorvix::sizeValueFrom(const Value& item)
{
    if (item.is_boolean())
        return item.get<bool>() ? 1 : 0;
    if (!item.is_number())
        return 0;
    double number = item.get<double>();
    return number > 0 ? number : 0; // negative sizes count as 0
}

void ImageViewMorvix::applyPlaceholder(const LoadPtr& load, Size size)
{
    auto placeholder = size.width > 0 && size.height > 0 ? createPlaceholder(size) : nullptr;
    onMainQueue(load, [placeholder](platform::ImageView& view) { view.setImage(placeholder); });
}

std::shared_ptr<Image> ImageViewMorvix::createPlaceholder(Size size)
{
    return ImageHelper::createPlaceholder(size);
}

std::shared_ptr<Image> ImageViewMorvix::fit(const Load& load, const std::shared_ptr<Image>& image,
    std::optional<double> scale, std::optional<platform::Error>& error)
{
    if (!image)
        return nullptr;
    Size fitted = ImageHelper::projectedSize(*image, load.targetSize, scale);
    double screenScale = platform::Screen::main().scale();
    if (fitted != image->size() && !ImageHelper::fitsPixelLimits({ fitted.width * screenScale, fitted.height * screenScale })) {
        error = platform::makeURLError(platform::kURLErrorCannotDecodeContentData,
            load.request ? load.request->url()->absoluteString() : std::string());
        error->setFailureReason("the image fitted to " + describeSize(fitted) + " is larger than an image may be");
        return nullptr;
    }
    return ImageHelper::projectImage(image, load.targetSize, scale);
}

void ImageViewMorvix::applyCachedImage(const LoadPtr& load, const std::shared_ptr<Image>& image)
{
    std::optional<platform::Error> error;
    auto fitted = fit(*load, image, load->scale, error);
    if (error)
        return fail(load, *error);
    onMainQueue(load, [load, fitted](platform::ImageView& view) {
        if (load->success)
            load->success(std::nullopt, nullptr, fitted);
        else
            view.setImage(fitted);
    });
}

void ImageViewMorvix::retrieveImageWithRequest(const LoadPtr& load)
{
    auto operation = NetHTTPRequestOperation::create(*load->request);
    operation->setCompletionQueue(platform::globalDispatchQueue());
    // The handlers hold the load, whose view is held weakly; the operation they are given is
    // the one that finished, so they need not hold it.
    operation->setCompletionBlockWithSuccess(
        [load](const std::shared_ptr<NetHTTPRequestOperation>& finished, const std::any& object) {
            auto image = object.type() == typeid(std::shared_ptr<Image>) ? std::any_cast<std::shared_ptr<Image>>(object) : nullptr;
            handleSuccess(load, finished, image);
        },
        [load](const std::shared_ptr<NetHTTPRequestOperation>& finished, const platform::Error& error) {
            handleFailure(load, finished, error);
        });
    {
        std::lock_guard lock(g_mutex);
        if (load->state->generation != load->generation)
            return;
        operation->setResponseSerializer(load->state->serializer);
        load->state->operation = operation;
    }
    sharedImageRequestOperationQueue()->addOperation(operation);
}

void ImageViewMorvix::handleSuccess(const LoadPtr& load, const std::shared_ptr<NetHTTPRequestOperation>& operation,
    const std::shared_ptr<Image>& image)
{
    // The decoded image is cached before any fitting, even when the view has moved on.
    if (image)
        sharedImageCache()->cacheImage(image, *load->request);
    if (!isCurrent(*load))
        return;
    std::optional<platform::Error> error;
    auto fitted = fit(*load, image, image ? std::optional(image->scale()) : std::nullopt, error);
    auto response = operation->response();
    if (error)
        return fail(load, *error, operation.get(), response);
    onMainQueue(load, [load, fitted, response](platform::ImageView& view) {
        if (load->success)
            load->success(load->request, response, fitted);
        else if (fitted)
            view.setImage(fitted);
    }, operation.get());
}

void ImageViewMorvix::handleFailure(const LoadPtr& load, const std::shared_ptr<NetHTTPRequestOperation>& operation,
    const platform::Error& error)
{
    if (!isCurrent(*load))
        return;
    fail(load, error, operation.get(), operation->response());
}

void ImageViewMorvix::forgetOperation(const Load& load, const NetHTTPRequestOperation* operation)
{
    std::shared_ptr<NetHTTPRequestOperation> forgotten;
    std::lock_guard lock(g_mutex);
    if (load.state->operation.get() == operation)
        forgotten = std::move(load.state->operation);
}

} // namespace morvix
