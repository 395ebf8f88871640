#pragma once
// An answer to an authentication challenge.

#include <memory>
#include <string>

namespace morvix::platform {

class ServerTrust;

/// A user name and password, or an accepted server trust. Value type; any thread.
class URLCredential {
public:
    URLCredential(std::string user, std::string password) : m_user(std::move(user)), m_password(std::move(password)) { }
    /// The credential that accepts `trust` (a tag: the connection proceeds with the handshake).
    static URLCredential forTrust(std::shared_ptr<ServerTrust> trust);

    const std::string& user() const { return m_user; }
    const std::string& password() const { return m_password; }
    const std::shared_ptr<ServerTrust>& serverTrust() const { return m_trust; }
    bool isForTrust() const { return static_cast<bool>(m_trust); }

private:
    URLCredential() = default;
    std::string m_user;
    std::string m_password;
    std::shared_ptr<ServerTrust> m_trust;
};

inline URLCredential URLCredential::forTrust(std::shared_ptr<ServerTrust> trust)
{
    URLCredential credential;
    credential.m_trust = std::move(trust);
    return credential;
}

} // namespace morvix::platform
