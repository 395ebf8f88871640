#pragma once
// Buttons that load their images from URLs through the HTTP layer.

#include "platform/foundation/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Control.h"

#include <cstddef>
#include <functional>
#include <memory>

namespace morvix::platform {
class Button;
class HTTPURLResponse;
class Image;
class OperationQueue;
class Url;
}

namespace morvix {

class NetHTTPRequestOperation;
class NetHTTPResponseSerializer;
class NetImageCache;

/// Downloads a button's image or background image for a control state, as
/// `ImageViewNetworking` does for image views, with a cache, queue and default serializer of
/// its own (the cache falls back to the image views' one).
///
/// Each button has two download slots (image and background image) for each of four state
/// slots: highlighted (state 1), disabled (2), selected (4) and normal (every other state,
/// combinations such as 3 included). Starting a download cancels the one in its slot. A
/// download is applied (with `setImage` or `setBackgroundImage` for the state given) only while
/// it is still the operation in its slot, so an older download that finishes late never
/// replaces a newer image; its image is cached in every case.
///
/// Thread safety: main thread. Handlers run on the operation's completion queue (the main loop)
/// and hold the button weakly; the per-button state may be read from any thread.
class ButtonNetworking final {
public:
    /// (request: null for a cached image, response: null for a cached image, image).
    using SuccessBlock = std::function<void(const platform::URLRequest* request,
        const std::shared_ptr<const platform::HTTPURLResponse>& response, const std::shared_ptr<platform::Image>& image)>;
    using FailureBlock = std::function<void(const platform::Error& error)>;

    /// Loads `url` with "image/*" added to "Accept", showing `placeholder` (when given) until the
    /// image is there.
    static void setImageForState(platform::Button& button, platform::ControlState state, const platform::Url& url,
        std::shared_ptr<platform::Image> placeholder = nullptr);
    /// Cancels the slot's download, then answers from the class cache: with `success` it gets
    /// (null, null, image) and must apply it, without it the button shows it. On a miss the
    /// placeholder (when given) is set and a download is queued; its image goes to `success` or
    /// to the button, a failure to `failure`.
    static void setImageForState(platform::Button& button, platform::ControlState state, platform::URLRequest request,
        std::shared_ptr<platform::Image> placeholder, SuccessBlock success, FailureBlock failure);
    static void setBackgroundImageForState(platform::Button& button, platform::ControlState state, const platform::Url& url,
        std::shared_ptr<platform::Image> placeholder = nullptr);
    static void setBackgroundImageForState(platform::Button& button, platform::ControlState state, platform::URLRequest request,
        std::shared_ptr<platform::Image> placeholder, SuccessBlock success, FailureBlock failure);

    /// Cancel the slot's download and forget it; nothing happens without one.
    static void cancelImageRequestOperationForState(platform::Button& button, platform::ControlState state);
    static void cancelBackgroundImageRequestOperationForState(platform::Button& button, platform::ControlState state);

    /// The slot's running download, or null.
    static std::shared_ptr<NetHTTPRequestOperation> imageRequestOperationForState(const platform::Button& button, platform::ControlState state);
    static std::shared_ptr<NetHTTPRequestOperation> backgroundImageRequestOperationForState(const platform::Button& button,
        platform::ControlState state);

    /// The button's serializer: the extension's own process-wide `NetImageResponseSerializer`
    /// unless set; null restores it.
    static std::shared_ptr<NetHTTPResponseSerializer> imageResponseSerializer(const platform::Button& button);
    static void setImageResponseSerializer(const platform::Button& button, std::shared_ptr<NetHTTPResponseSerializer> serializer);

    /// The cache set with `setSharedImageCache`, or `ImageViewNetworking::sharedImageCache()`.
    /// Any thread.
    static std::shared_ptr<NetImageCache> sharedImageCache();
    static void setSharedImageCache(std::shared_ptr<NetImageCache> cache);

    /// The queue the button downloads run on (default width).
    static std::shared_ptr<platform::OperationQueue> sharedImageRequestOperationQueue();

    ButtonNetworking() = delete;

private:
    enum class Kind { Image, BackgroundImage };
    /// The index of the state's slot for `kind` in the button's table of downloads.
    static std::size_t slot(Kind kind, platform::ControlState state);
    static void load(Kind kind, platform::Button& button, platform::ControlState state, platform::URLRequest request,
        std::shared_ptr<platform::Image> placeholder, SuccessBlock success, FailureBlock failure);
    static void apply(Kind kind, platform::Button& button, platform::ControlState state, std::shared_ptr<platform::Image> image);
    static void cancel(Kind kind, platform::Button& button, platform::ControlState state);
    static std::shared_ptr<NetHTTPRequestOperation> operationInSlot(Kind kind, const platform::Button& button, platform::ControlState state);
    /// Whether `operation` is still the slot's download; forgets it when it is.
    static bool takeIfCurrent(Kind kind, const platform::Button& button, platform::ControlState state,
        const std::shared_ptr<NetHTTPRequestOperation>& operation);
};

} // namespace morvix
