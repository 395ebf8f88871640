#pragma once
// Loads the images the peer names into image views, through a process-wide cache.

#include "platform/foundation/Value.h"
#include "platform/graphics/Size.h"
#include "platform/net/URLRequest.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

class BasicObject;
class ClientContext;
class ImageCache;
class NetHTTPRequestOperation;
class NetImageResponseSerializer;

namespace platform {
class Error;
class HTTPURLResponse;
class Image;
class ImageView;
class OperationQueue;
}

/// Loads an image value [path, width, height, scale?] into a `platform::ImageView`: resolves the
/// path for the session, answers from the shared `ImageCache` or shows a transparent placeholder
/// of the requested size while the image downloads, caches the decoded image and fits it.
/// Every image the peer names goes through `setImageWithProperties`.
///
/// Where each step runs:
///  1. the caller (the main thread): the view's running download is cancelled;
///  2. the global queue: scale, serializer, request, cache lookup, placeholder;
///  3. one process-wide operation queue: the download, completing on the global queue;
///  4. the main queue: every change of the view and every callback.
///
/// Rules:
///  1. A view has at most one load; of two calls on one view only the last one sets an image or
///     reaches a callback, even when both name the same URL. A cancelled load reaches nothing.
///  2. Nothing reaches a view that has gone, nor its callbacks.
///  3. A value of fewer than three items, a first item that is not a text, or a path that
///     resolves to no URL ends in the failure callback with a bad-URL error (-1000).
///  4. Sizes are bounded before anything is allocated: a placeholder beyond the image limits is
///     not made, and a fitted image beyond them ends in the failure callback.
///  5. A failed download keeps the placeholder; without a failure callback it is dropped.
///
/// The per-view state (the running download and the view's serializer) lives in a side table of
/// this class, guarded by its mutex and dropped once the view has gone.
///
/// Thread safety: `setImageWithProperties` and `cancelImageRequestOperation` on the main thread;
/// the rest on any thread.
class ImageViewMorvix final {
public:
    using SuccessCallback = std::function<void(const std::optional<platform::URLRequest>& request,
        const std::shared_ptr<const platform::HTTPURLResponse>& response, const std::shared_ptr<platform::Image>& image)>;
    using FailureCallback = std::function<void(const std::optional<platform::URLRequest>& request,
        const std::shared_ptr<const platform::HTTPURLResponse>& response, const platform::Error& error)>;

    ImageViewMorvix() = delete;

    /// Loads `value` for the session `client`. With a success callback the fitted image goes to
    /// it (with no request and no response when it came from the cache) instead of the view.
    static void setImageWithProperties(const std::shared_ptr<platform::ImageView>& view, const platform::Value& value,
        const std::shared_ptr<ClientContext>& client, SuccessCallback success = {}, FailureCallback failure = {});
    /// Loads the icon `value` into `holder` for `object`'s session, as the frame's pages and
    /// actions and the tab and tool items do: `show` receives the image, or null after a
    /// failure, unless `object` has been destroyed by then.
    static void loadIcon(BasicObject& object, const std::shared_ptr<platform::ImageView>& holder, const platform::Value& value,
        std::function<void(BasicObject& object, std::shared_ptr<platform::Image> image)> show);
    /// Cancels the view's running load and forgets it; nothing when there is none.
    static void cancelImageRequestOperation(const platform::ImageView& view);

    /// The cache set with `setSharedImageCache`, else the default `MemoryImageCache`, which
    /// empties itself on memory warnings. Whichever is in use empties on every session load.
    static std::shared_ptr<ImageCache> sharedImageCache();
    /// Null goes back to the default cache.
    static void setSharedImageCache(std::shared_ptr<ImageCache> cache);

    /// The view's serializer, else the process-wide default one. Each load gives the view a
    /// fresh serializer at the value's scale.
    static std::shared_ptr<NetImageResponseSerializer> imageResponseSerializer(const platform::ImageView& view);
    static void setImageResponseSerializer(const platform::ImageView& view, std::shared_ptr<NetImageResponseSerializer> serializer);

    /// Loads started and not yet ended (image set, callback called, or dropped), process-wide.
    /// A load ends on the main queue after its last change of the view.
    static std::size_t loadsInFlight();

private:
    struct ViewState;
    struct Load;
    using LoadPtr = std::shared_ptr<Load>;

    static std::shared_ptr<ViewState> stateFor(const platform::ImageView& view, bool create);
    static bool isCurrent(const Load& load);
    /// Runs `change` on the main queue when the view is there and the load still current;
    /// then forgets `finished` when it is still the view's download.
    static void onMainQueue(const LoadPtr& load, std::function<void(platform::ImageView& view)> change,
        const NetHTTPRequestOperation* finished = nullptr);
    static void fail(const LoadPtr& load, const platform::Error& error, const NetHTTPRequestOperation* finished = nullptr,
        std::shared_ptr<const platform::HTTPURLResponse> response = nullptr);

    static void async_setImageWithProperties(const LoadPtr& load);
    static std::optional<double> imageScale(const platform::Value& value);
    static void setupImageResponseSerializerWithScale(const Load& load, std::optional<double> scale);
    static std::optional<platform::URLRequest> createURLRequestWith(const platform::Value& value, const ClientContext* client);
    static platform::URLRequest imageURLRequest(const std::string& url);
    static platform::Size computeTargetSize(const platform::Value& value);
    static double sizeValueFrom(const platform::Value& item);
    static void applyPlaceholder(const LoadPtr& load, platform::Size size);
    static std::shared_ptr<platform::Image> createPlaceholder(platform::Size size);
    static void applyCachedImage(const LoadPtr& load, const std::shared_ptr<platform::Image>& image);
    static void retrieveImageWithRequest(const LoadPtr& load);
    static void handleSuccess(const LoadPtr& load, const std::shared_ptr<NetHTTPRequestOperation>& operation,
        const std::shared_ptr<platform::Image>& image);
    static void handleFailure(const LoadPtr& load, const std::shared_ptr<NetHTTPRequestOperation>& operation,
        const platform::Error& error);
    /// The image fitted to the load's target; an error naming the size when it would be beyond
    /// the image limits.
    static std::shared_ptr<platform::Image> fit(const Load& load, const std::shared_ptr<platform::Image>& image,
        std::optional<double> scale, std::optional<platform::Error>& error);
    static void forgetOperation(const Load& load, const NetHTTPRequestOperation* operation);

    static std::shared_ptr<platform::OperationQueue> sharedImageRequestOperationQueue();
};

} // namespace morvix
