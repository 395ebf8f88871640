#pragma once
// HTTP requests the peer has made for it.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "platform/foundation/SessionBudget.h"
#include "platform/net/HTTPHeaders.h"
#include "platform/net/Url.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class DownloadOutputStream;
class MorvixHTTPClient;
class NetHTTPRequestOperation;

namespace platform {
class Error;
class HTTPURLResponse;
class URLRequest;
}

/// "morvix.HttpRequest": the native side of an HTTP request the peer (in practice the script
/// peer) wants made through the session's HTTP client (its headers, cookies, certificates and
/// time-out). "send" {"url", "method", "headers", "data", "timeout" (ms), "maxResponseSize"
/// (bytes)} builds and starts it; "abort" cancels it.
///
/// Events, each sent at once and only while its listener is on:
///  - "StateChange" {"state": "loading"}, then {"state": "headers", "code", "message",
///    "headers"} once per request, when its response arrives (also for a response without
///    body, just before the end state);
///  - "DownloadProgress" {"loaded", "total" (0 when unknown), "lengthComputable"} as the body
///    arrives;
///  - exactly one end state: "finished" {"response": the body as text}; "error" (a failure, a
///    status outside 200 to 299, a body that is not text); "timeout" (the time-out ran out);
///    "aborted" (an "abort" while it ran).
///
/// Rules that protect the peer and the user:
///  1. The method must be an HTTP token, header names tokens and header values free of CR, LF
///     and NUL (numbers and booleans go as their JSON text, other kinds are refused). Otherwise
///     "send" raises "Incorrect Parameter" naming the field, nothing is sent and, when
///     listened, "StateChange" "error" goes first.
///  2. Only http and https URLs are requested, and the local files a relative "url" resolves to
///     when they are regular files inside the folders a peer may read (the script application's
///     folder, the local resource roots; escapes undone and links resolved first); any other URL
///     ends in "StateChange" "error" with nothing read, and the refusal is logged.
///  3. A "timeout" of 1 to 999 ms gives 1 s, larger ones their whole seconds; 0, negative or
///     not a number keeps the session's time-out. There is never "no time-out".
///  4. The response body is kept up to "maxResponseSize" bytes, by default and at most the
///     session's maximum response size (a larger number is clamped, and logged; a negative one
///     or one that is no number raises "Incorrect Parameter" as in rule 1). A larger body, or
///     file, ends in "StateChange" "error" and nothing of it reaches the peer.
///  5. "Host" and the hop-by-hop header fields (Connection, Keep-Alive, Proxy-*, TE, Trailer,
///     Transfer-Encoding, Upgrade) belong to the HTTP layer: given by the peer they are left
///     out, and logged; the other fields are sent.
///  6. A second "send" cancels the request still running; nothing of a replaced or aborted
///     request reaches the peer after that ("aborted" is an aborted request's last event).
///  7. The session's budget for downloads in flight (`platform::SessionBudget`) holds over all
///     of its requests: past `kMaximumDownloads` running at once, a request waits (silently,
///     its time-out not yet running) until an earlier one ends, in the order sent; an "abort"
///     while it waits ends it as "aborted". A body that would take the bytes the session's
///     downloads hold past `kMaximumDownloadBytes` ends its request in "StateChange" "error",
///     as a body past its own cap does. The body is held once: it arrives into memory the
///     request owns and moves from there into the event, whose sending hands it on.
///
/// Destroying the object aborts its request. Main thread.
class MorvixHttpRequest final : public RemoteClass<MorvixHttpRequest> {
public:
    static constexpr std::string_view kRemoteType = "morvix.HttpRequest";

    MorvixHttpRequest(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);
    ~MorvixHttpRequest() override;

    static const PropertyTable& properties();
    /// "StateChange" and "DownloadProgress".
    static const WireTable& wire();

    // Calls.
    void send(const platform::Value* properties);
    void abort(const platform::Value* properties);
    /// "abort", then the base.
    void destroy() override;

    /// The time-out in seconds for a "timeout" in milliseconds (see rule 3); nothing keeps the
    /// session's.
    static std::optional<double> timeoutSeconds(const platform::Value& milliseconds);
    bool isRunning() const;
    /// Whether a "send" waits for a place among the session's downloads (rule 7).
    bool isWaiting() const { return m_wait != nullptr; }

    /// Whether the peer may not set the header field `name` (rule 5); any case.
    static bool isReservedHeader(std::string_view name);

private:
    std::vector<platform::HTTPHeaders::Field> headerFields(const platform::Value* headers);
    std::uint64_t bodyLimit(const platform::Value* given, const MorvixHTTPClient& http);
    std::optional<platform::Url> requestedURL(const platform::Url& resolved, const std::string& given, std::uint64_t limit);
    using Current = std::function<std::shared_ptr<MorvixHttpRequest>()>;
    /// This object while its request is still the one of this moment's generation.
    Current current();
    void queue(platform::URLRequest request, std::uint64_t maximumBodySize);
    void start(platform::URLRequest request, std::uint64_t maximumBodySize, platform::SessionBudget::Share place);
    [[noreturn]] void refuse(const std::string& reason);
    void warn(const std::string& text);
    void reportHeaders(const std::shared_ptr<const platform::HTTPURLResponse>& response);
    void progress(const std::shared_ptr<const platform::HTTPURLResponse>& response, std::int64_t loaded, std::int64_t expected);
    void succeeded(const std::shared_ptr<const platform::HTTPURLResponse>& response);
    void failed(const std::shared_ptr<const platform::HTTPURLResponse>& response, const platform::Error& error);
    void sendState(platform::Value attributes);

    bool m_stateChangeListener = false;
    bool m_downloadProgressListener = false;
    bool m_uploadProgressListener = false; // accepted; no upload progress is reported
    std::shared_ptr<NetHTTPRequestOperation> m_operation;
    // The request's place among the session's downloads and its body while it runs; the wait
    // for a place before that.
    platform::SessionBudget::Wait m_wait;
    platform::SessionBudget::Share m_place;
    std::shared_ptr<DownloadOutputStream> m_body;
    bool m_didReceiveResponse = false;
    // Callbacks carry the generation of their request; a later send or an abort moves it on,
    // so that what an old request still delivers is dropped.
    std::uint64_t m_generation = 0;
};

} // namespace morvix
