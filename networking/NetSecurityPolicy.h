#pragma once
// Whether a server's TLS trust is accepted, with optional certificate or public-key pinning.

#include "platform/net/PublicKey.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {
class ServerTrust;
}

namespace morvix {

/// How a policy pins the server: not at all, to public keys, or to certificates. The setter
/// takes any value; evaluation refuses values other than these three.
enum class NetSSLPinningMode : unsigned long {
    None = 0,
    PublicKey = 1,
    Certificate = 2,
};

/// Decides whether a server trust presented in a TLS handshake is accepted.
///
/// Every HTTP operation owns one (the default policy unless its owner sets another); the
/// session gives each of its operations one of its own. The policy evaluates the trust with
/// the SSL server policy for the host when `validatesDomainName`, else with the basic X.509
/// policy; `allowInvalidCertificates` waives the validity of the chain; pinning then asks that
/// a pinned certificate (byte for byte) or a pinned public key appears in the server's chain.
///
/// Thread safety: configure the policy before its first evaluation; afterwards it is only read
/// and may serve several operations on the network thread at once.
class NetSecurityPolicy {
public:
    /// The DER certificates of every ".cer" file in the resource directory, sorted by file name,
    /// read once per process; unreadable files are skipped.
    static std::vector<std::string> defaultPinnedCertificates();
    /// Where `defaultPinnedCertificates` looks: the application's resource folder, by default
    /// the folder of the running program. Set it before the first policy with pinning is made.
    static void setResourceDirectory(std::filesystem::path directory);
    static void resetDefaultPinnedCertificatesForTesting();

    /// Where the policy's one log line goes; the standard error stream unless set. Any thread.
    static void setLogHandler(std::function<void(const std::string&)> handler);

    /// No pinning, domain name validated, invalid certificates refused, no pinned certificates.
    static std::shared_ptr<NetSecurityPolicy> defaultPolicy();
    /// A policy with `mode` and the default pinned certificates.
    static std::shared_ptr<NetSecurityPolicy> policyWithPinningMode(NetSSLPinningMode mode);
    /// A plain policy: domain name validated, everything else off or absent.
    static std::shared_ptr<NetSecurityPolicy> create();

    NetSSLPinningMode SSLPinningMode() const { return m_pinningMode; }
    void setSSLPinningMode(NetSSLPinningMode mode) { m_pinningMode = mode; }
    bool allowInvalidCertificates() const { return m_allowInvalidCertificates; }
    void setAllowInvalidCertificates(bool allow) { m_allowInvalidCertificates = allow; }
    bool validatesDomainName() const { return m_validatesDomainName; }
    void setValidatesDomainName(bool validates) { m_validatesDomainName = validates; }

    /// DER blobs; nothing until set (an absent list is stored as an empty one).
    const std::optional<std::vector<std::string>>& pinnedCertificates() const { return m_pinnedCertificates; }
    /// Stores the list without duplicates (first occurrence kept, order kept) and derives the
    /// public keys; a blob that is no certificate yields no key.
    void setPinnedCertificates(std::optional<std::vector<std::string>> certificates);
    /// The keys derived from the pinned certificates, in their order; nothing until certificates are set.
    const std::optional<std::vector<platform::PublicKey>>& pinnedPublicKeys() const { return m_pinnedPublicKeys; }

    /// `evaluateServerTrust(trust, no domain)`.
    bool evaluateServerTrust(platform::ServerTrust& trust) const;
    /// True when `trust` is accepted for `domain`. Replaces the trust's policies and, in
    /// certificate mode, its anchors; the caller answers the challenge with that same trust.
    bool evaluateServerTrust(platform::ServerTrust& trust, const std::optional<std::string>& domain) const;

    /// True when this policy accepts exactly what the default handling of a connection would:
    /// no pinning, invalid certificates refused and the domain name validated.
    bool isDefaultEquivalent() const;

private:
    NetSecurityPolicy() = default;

    NetSSLPinningMode m_pinningMode = NetSSLPinningMode::None;
    bool m_allowInvalidCertificates = false;
    bool m_validatesDomainName = true;
    std::optional<std::vector<std::string>> m_pinnedCertificates;
    std::optional<std::vector<platform::PublicKey>> m_pinnedPublicKeys;
};

} // namespace morvix
