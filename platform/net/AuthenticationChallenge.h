#pragma once
// A connection's question about trust or credentials.

#include "platform/net/URLCredential.h"

#include <memory>
#include <string>

namespace morvix::platform {

class AuthenticationChallenge;
class ServerTrust;
class URLResponse;

/// The authentication methods a protection space names.
inline constexpr const char* AuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";
inline constexpr const char* AuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";
inline constexpr const char* AuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";

/// Where a challenge comes from: host, port, protocol, method and, for server trust, the trust.
struct ProtectionSpace {
    std::string host;
    int port = 0;
    std::string protocol;
    std::string authenticationMethod;
    std::string realm;
    std::shared_ptr<ServerTrust> serverTrust;
};

/// Who a challenge is answered to (the connection). Each answer is given at most once, on the
/// thread that received the challenge, before the challenge callback returns.
class AuthenticationChallengeSender {
public:
    virtual ~AuthenticationChallengeSender() = default;
    virtual void useCredential(const URLCredential& credential, const AuthenticationChallenge& challenge) = 0;
    virtual void continueWithoutCredential(const AuthenticationChallenge& challenge) = 0;
    virtual void cancelAuthenticationChallenge(const AuthenticationChallenge& challenge) = 0;
    virtual void performDefaultHandling(const AuthenticationChallenge& challenge) = 0;
};

/// One challenge. Borrowed for the duration of the challenge callback; do not keep it.
class AuthenticationChallenge {
public:
    AuthenticationChallenge(ProtectionSpace space, int previousFailureCount, AuthenticationChallengeSender& sender)
        : m_space(std::move(space)), m_previousFailureCount(previousFailureCount), m_sender(sender) { }

    const ProtectionSpace& protectionSpace() const { return m_space; }
    int previousFailureCount() const { return m_previousFailureCount; }
    AuthenticationChallengeSender& sender() const { return m_sender; }

private:
    ProtectionSpace m_space;
    int m_previousFailureCount;
    AuthenticationChallengeSender& m_sender;
};

} // namespace morvix::platform
