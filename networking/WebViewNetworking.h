#pragma once
// Web views that load their pages through the HTTP layer.

#include "networking/NetURLConnectionOperation.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {
class HTTPURLResponse;
class WebView;
}

namespace morvix {

class NetHTTPRequestOperation;
class NetHTTPRequestSerializer;
class NetHTTPResponseSerializer;

/// Fetches a page with a `NetHTTPRequestOperation` and hands its bytes to a web view's
/// `loadData`, with the response's URL as the base URL. Each view has at most one load running;
/// a new one cancels it.
///
/// Rules:
///  1. The operation is started on the calling thread, then the view's delegate hears
///     `webViewDidStartLoad`.
///  2. On success the page is loaded, then the delegate hears `webViewDidFinishLoad`.
///  3. On failure `failure` gets the error; nothing is loaded and the delegate hears nothing.
///     A page whose text cannot be decoded (or encoded back) in its character set is a failure
///     with `NetURLErrorCannotDecodeContentData` in `NetURLResponseSerializationErrorDomain`:
///     a blank page is never reported as loaded.
///
/// Thread safety: main thread. Handlers run on the operation's completion queue (the main loop)
/// and hold the view weakly.
class WebViewNetworking final {
public:
    /// (response, body) to the bytes to show.
    using DataSuccessBlock = std::function<std::string(const std::shared_ptr<const platform::HTTPURLResponse>& response, const std::string& data)>;
    /// (response, page text as UTF-8) to the text to show.
    using StringSuccessBlock = std::function<std::string(const std::shared_ptr<const platform::HTTPURLResponse>& response, const std::string& html)>;
    using FailureBlock = std::function<void(const platform::Error& error)>;

    /// Loads `request` (passed through the view's request serializer first) and shows the body,
    /// or what `success` makes of it, as `mimeType` in `textEncodingName`; either, when not
    /// given, is the response's own. `progress` becomes the operation's download progress block.
    static void loadRequest(platform::WebView& view, const platform::URLRequest& request, std::optional<std::string> mimeType,
        std::optional<std::string> textEncodingName, NetURLConnectionOperation::ProgressBlock progress, DataSuccessBlock success,
        FailureBlock failure);
    /// Loads `request` as text: decoded in the response's character set when the platform knows
    /// it and as UTF-8 otherwise, replaced by what `success` makes of it (when given), encoded
    /// back in the same character set and shown.
    static void loadRequest(platform::WebView& view, const platform::URLRequest& request, NetURLConnectionOperation::ProgressBlock progress,
        StringSuccessBlock success, FailureBlock failure);

    /// The view's running load, or null.
    static std::shared_ptr<NetHTTPRequestOperation> HTTPRequestOperation(const platform::WebView& view);
    /// A process-wide `NetHTTPRequestSerializer` unless set; null restores it.
    static std::shared_ptr<NetHTTPRequestSerializer> requestSerializer(const platform::WebView& view);
    static void setRequestSerializer(const platform::WebView& view, std::shared_ptr<NetHTTPRequestSerializer> serializer);
    /// A process-wide `NetHTTPResponseSerializer` unless set; null restores it.
    static std::shared_ptr<NetHTTPResponseSerializer> responseSerializer(const platform::WebView& view);
    static void setResponseSerializer(const platform::WebView& view, std::shared_ptr<NetHTTPResponseSerializer> serializer);

    WebViewNetworking() = delete;

private:
    /// (response, body) to the bytes to show, or nothing with `error` set.
    using Transform = std::function<std::optional<std::string>(const std::shared_ptr<const platform::HTTPURLResponse>& response,
        const std::string& data, std::optional<platform::Error>& error)>;
    static void load(platform::WebView& view, const platform::URLRequest& request, std::optional<std::string> mimeType,
        std::optional<std::string> textEncodingName, NetURLConnectionOperation::ProgressBlock progress, Transform transform,
        FailureBlock failure);
    static void show(platform::WebView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation, std::string data,
        const std::optional<std::string>& mimeType, const std::optional<std::string>& textEncodingName);
};

} // namespace morvix
