#pragma once
// What the HTTP layer sends.

#include "platform/net/HTTPHeaders.h"
#include "platform/net/Url.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

class InputStream;

/// One request: a URL (possibly none), a method, header fields, an optional body given as
/// bytes or as a stream, and the settings of the transfer. Value type: copies share the body
/// stream. Any thread.
class URLRequest {
public:
    /// "No time-out": any interval of zero, below zero or above `kMaximumTimeoutInterval`.
    static constexpr double kMaximumTimeoutInterval = 1e6;
    static constexpr double kDefaultTimeoutInterval = 60;

    URLRequest() = default;
    explicit URLRequest(std::optional<Url> url) : m_url(std::move(url)) { }

    const std::optional<Url>& url() const { return m_url; }
    void setURL(std::optional<Url> url) { m_url = std::move(url); }

    /// "GET" unless set.
    const std::string& method() const { return m_method; }
    void setMethod(std::string method) { m_method = std::move(method); }

    const HTTPHeaders& headers() const { return m_headers; }
    HTTPHeaders& headers() { return m_headers; }
    std::optional<std::string> valueForHeader(std::string_view name) const { return m_headers.value(name); }
    /// Refuses a field HTTPHeaders refuses (the request is then unchanged) and says why.
    std::optional<Error> setValueForHeader(std::string value, std::string_view name) { return m_headers.set(name, std::move(value)); }

    /// The body as bytes; setting it drops a body stream.
    const std::optional<std::string>& body() const { return m_body; }
    void setBody(std::optional<std::string> body);
    /// The body as a stream, read from the network thread; setting it drops body bytes.
    const std::shared_ptr<InputStream>& bodyStream() const { return m_bodyStream; }
    void setBodyStream(std::shared_ptr<InputStream> stream);

    /// Seconds without any byte moving before the transfer fails with "timed out" (an idle
    /// time-out, not a limit on the whole transfer); 60 by default.
    double timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }
    /// False when `timeoutInterval` means "no time-out".
    bool hasTimeout() const { return m_timeoutInterval > 0 && m_timeoutInterval <= kMaximumTimeoutInterval; }

    /// Whether stored cookies are sent and received cookies stored; on by default.
    bool shouldHandleCookies() const { return m_shouldHandleCookies; }
    void setShouldHandleCookies(bool handle) { m_shouldHandleCookies = handle; }

    /// Carried for callers that set them; the transfer does not act on them.
    int cachePolicy() const { return m_cachePolicy; }
    void setCachePolicy(int policy) { m_cachePolicy = policy; }
    bool shouldUsePipelining() const { return m_shouldUsePipelining; }
    void setShouldUsePipelining(bool use) { m_shouldUsePipelining = use; }
    bool allowsCellularAccess() const { return m_allowsCellularAccess; }
    void setAllowsCellularAccess(bool allows) { m_allowsCellularAccess = allows; }
    int networkServiceType() const { return m_networkServiceType; }
    void setNetworkServiceType(int type) { m_networkServiceType = type; }

    /// "<URLRequest: GET http://...>" for logs.
    std::string description() const;

private:
    std::optional<Url> m_url;
    std::string m_method = "GET";
    HTTPHeaders m_headers;
    std::optional<std::string> m_body;
    std::shared_ptr<InputStream> m_bodyStream;
    double m_timeoutInterval = kDefaultTimeoutInterval;
    bool m_shouldHandleCookies = true;
    int m_cachePolicy = 0;
    bool m_shouldUsePipelining = false;
    bool m_allowsCellularAccess = true;
    int m_networkServiceType = 0;
};

} // namespace morvix::platform
