#pragma once
// What a URL connection tells the object that started it.

#include "platform/foundation/Error.h"
#include "platform/net/URLRequest.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix::platform {

class AuthenticationChallenge;
class URLConnection;
class URLResponse;

/// A response offered for caching, with the body received so far (the layer keeps no cache).
struct CachedURLResponse {
    std::shared_ptr<const URLResponse> response;
    std::string data;
};

/// Receives a connection's events, all on the network thread, in this order: challenges and
/// redirects, the response, data chunks and upload progress, then exactly one of
/// `connectionDidFinishLoading` and `connectionDidFailWithError`. After the connection has been
/// cancelled nothing more arrives. Every method has a default, so a delegate implements only
/// what it needs.
class URLConnectionDelegate {
public:
    virtual ~URLConnectionDelegate() = default;

    /// Must answer through `challenge.sender()` before returning; without an answer the
    /// connection performs the default handling.
    virtual void connectionWillSendRequestForAuthenticationChallenge(URLConnection& connection, const AuthenticationChallenge& challenge);
    virtual bool connectionShouldUseCredentialStorage(URLConnection&) { return true; }
    /// Called for each redirect with the request about to be sent; returning nothing stops
    /// following and delivers `redirectResponse` as the response.
    virtual std::optional<URLRequest> connectionWillSendRequest(URLConnection&, URLRequest request,
        const std::shared_ptr<const URLResponse>& /*redirectResponse*/) { return request; }
    virtual void connectionDidSendBodyData(URLConnection&, std::int64_t /*bytesWritten*/, std::int64_t /*totalBytesWritten*/,
        std::int64_t /*totalBytesExpectedToWrite*/) { }
    virtual void connectionDidReceiveResponse(URLConnection&, const std::shared_ptr<const URLResponse>&) { }
    virtual void connectionDidReceiveData(URLConnection&, std::string_view) { }
    /// Called before `connectionDidFinishLoading` for successful HTTP GET responses; the answer
    /// is not stored anywhere.
    virtual std::optional<CachedURLResponse> connectionWillCacheResponse(URLConnection&, CachedURLResponse proposed) { return proposed; }
    virtual void connectionDidFinishLoading(URLConnection&) { }
    virtual void connectionDidFailWithError(URLConnection&, const Error&) { }
};

} // namespace morvix::platform
