#pragma once
// The settings a URL session applies to its tasks.

#include "platform/foundation/KeyedCoding.h"
#include "platform/net/HTTPHeaders.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

/// What a URL session is made with: default, or background with an identifier, and the
/// settings the session applies to every request of its tasks (the idle time-out, cookie
/// handling and extra header fields a request does not set itself). Background sessions run
/// in the process like any other; the identifier names them. Keyed archives hold it as
/// "URLSessionConfiguration". Value type; any thread.
class URLSessionConfiguration final : public KeyedCoding {
public:
    static constexpr const char* kArchiveClassName = "URLSessionConfiguration";

    static URLSessionConfiguration defaultSessionConfiguration() { return URLSessionConfiguration(); }
    static URLSessionConfiguration backgroundSessionConfiguration(std::string identifier);

    /// Nothing for a default configuration.
    const std::optional<std::string>& identifier() const { return m_identifier; }

    /// Seconds without a byte moving before a task fails with "timed out"; 60 by default.
    double timeoutIntervalForRequest() const { return m_timeoutIntervalForRequest; }
    void setTimeoutIntervalForRequest(double seconds) { m_timeoutIntervalForRequest = seconds; }
    /// Whether requests send and store cookies; on by default.
    bool HTTPShouldSetCookies() const { return m_HTTPShouldSetCookies; }
    void setHTTPShouldSetCookies(bool set) { m_HTTPShouldSetCookies = set; }
    /// Header fields added to each request that lacks them; none by default.
    const HTTPHeaders& HTTPAdditionalHeaders() const { return m_HTTPAdditionalHeaders; }
    void setHTTPAdditionalHeaders(HTTPHeaders headers) { m_HTTPAdditionalHeaders = std::move(headers); }

    bool operator==(const URLSessionConfiguration& other) const;

    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    /// The configuration a keyed archive holds (the decoder registered for its class name);
    /// null, with the unarchiver's error set, for values of the wrong kind.
    static std::shared_ptr<URLSessionConfiguration> decode(KeyedUnarchiver& coder);

private:
    URLSessionConfiguration() = default;

    std::optional<std::string> m_identifier;
    double m_timeoutIntervalForRequest = 60;
    bool m_HTTPShouldSetCookies = true;
    HTTPHeaders m_HTTPAdditionalHeaders;
};

} // namespace morvix::platform
