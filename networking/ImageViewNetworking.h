#pragma once
// Image views that load their picture from a URL through the HTTP layer.

#include "platform/foundation/Error.h"
#include "platform/net/URLRequest.h"

#include <functional>
#include <memory>

namespace morvix::platform {
class HTTPURLResponse;
class Image;
class ImageView;
class OperationQueue;
class Url;
}

namespace morvix {

class NetHTTPRequestOperation;
class NetHTTPResponseSerializer;
class NetImageCache;

/// Downloads a picture into a `platform::ImageView` with a `NetHTTPRequestOperation`, through a
/// shared in-memory cache. This is the HTTP layer's own image loading for applications; the
/// library's widgets load their images with `ImageViewMorvix`, whose cache, queue and
/// serializer are separate from these.
///
/// Each view has at most one running download. Starting another cancels it; a download that
/// finishes anyway is applied only while the view's current download is for the same URL, and
/// its image is cached in every case.
///
/// Usage:
///     ImageViewNetworking::setImageWithURL(*imageView, url, placeholder);
///
/// Thread safety: main thread. Success and failure handlers run on the operation's completion
/// queue (the main loop) and hold the view weakly; the per-view state may be read from any
/// thread.
class ImageViewNetworking final {
public:
    /// (request, response: null for a cached image, image: null when the body made none).
    using SuccessBlock = std::function<void(const platform::URLRequest& request,
        const std::shared_ptr<const platform::HTTPURLResponse>& response, const std::shared_ptr<platform::Image>& image)>;
    /// (request, response or null, error).
    using FailureBlock = std::function<void(const platform::URLRequest& request,
        const std::shared_ptr<const platform::HTTPURLResponse>& response, const platform::Error& error)>;

    /// Loads `url` with the default cache policy and "image/*" added to "Accept", showing
    /// `placeholder` (when given) until the image is there.
    static void setImageWithURL(platform::ImageView& view, const platform::Url& url, std::shared_ptr<platform::Image> placeholder = nullptr);
    /// Cancels the view's download, then answers from the shared cache: with `success` it gets
    /// the cached image (and must show it), without it the view shows it. On a miss the
    /// placeholder (when given) is shown and a download is queued; its image goes to `success`
    /// or, without one, to the view (a null image is not shown). `failure` hears of a failed
    /// download.
    static void setImageWithURLRequest(platform::ImageView& view, platform::URLRequest request, std::shared_ptr<platform::Image> placeholder,
        SuccessBlock success, FailureBlock failure);
    /// Cancels the view's running download and forgets it; does nothing without one.
    static void cancelImageRequestOperation(platform::ImageView& view);

    /// The view's serializer: a process-wide `NetImageResponseSerializer` unless set.
    static std::shared_ptr<NetHTTPResponseSerializer> imageResponseSerializer(const platform::ImageView& view);
    /// Null restores the default.
    static void setImageResponseSerializer(const platform::ImageView& view, std::shared_ptr<NetHTTPResponseSerializer> serializer);

    /// The cache set with `setSharedImageCache`, or a process-wide `NetMemoryImageCache`.
    static std::shared_ptr<NetImageCache> sharedImageCache();
    /// Null restores the default. Any thread.
    static void setSharedImageCache(std::shared_ptr<NetImageCache> cache);

    /// The view's running download, or null.
    static std::shared_ptr<NetHTTPRequestOperation> imageRequestOperation(const platform::ImageView& view);
    /// The queue the downloads run on (default width).
    static std::shared_ptr<platform::OperationQueue> sharedImageRequestOperationQueue();

    ImageViewNetworking() = delete;

private:
    static void handleSuccess(platform::ImageView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation,
        const platform::URLRequest& request, const std::shared_ptr<platform::Image>& image, const SuccessBlock& success);
    static void handleFailure(platform::ImageView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation,
        const platform::URLRequest& request, const platform::Error& error, const FailureBlock& failure);
    /// Whether the view still waits for `request`'s URL; forgets its download when that is
    /// `operation`.
    static bool takeIfCurrent(platform::ImageView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation,
        const platform::URLRequest& request);
};

/// `request` with "image/*" added to its "Accept" field (after ", " when it has one).
platform::URLRequest NetImageRequestForURL(const platform::Url& url);

} // namespace morvix
