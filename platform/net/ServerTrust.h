#pragma once
// The trust a TLS server presents, and its evaluation.

#include "platform/net/Certificate.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

/// What an evaluation checks: the SSL server policy (purpose "TLS server" and, when a host is
/// given, that the leaf is valid for it, as a DNS name or an IP literal) or the basic X.509
/// policy (the chain alone, no host and no usage).
class TrustPolicy {
public:
    static TrustPolicy ssl(std::optional<std::string> host) { return TrustPolicy(Kind::SSLServer, std::move(host)); }
    static TrustPolicy basicX509() { return TrustPolicy(Kind::BasicX509, std::nullopt); }

    enum class Kind { SSLServer, BasicX509 };
    Kind kind() const { return m_kind; }
    const std::optional<std::string>& host() const { return m_host; }

private:
    TrustPolicy(Kind kind, std::optional<std::string> host) : m_kind(kind), m_host(std::move(host)) { }
    Kind m_kind;
    std::optional<std::string> m_host;
};

/// The result of an evaluation; the numbers are the platform's.
enum class TrustResult {
    Invalid = 0,
    Proceed = 1,
    Deny = 3,
    Unspecified = 4,
    RecoverableTrustFailure = 5,
    FatalTrustFailure = 6,
    OtherError = 7,
};

/// A certificate chain as a server presented it (leaf first), the policies to evaluate it
/// with and, optionally, the anchors to trust instead of the system's.
///
/// Evaluation builds a chain with OpenSSL up to a trusted anchor: the system store (OpenSSL's
/// default paths, so SSL_CERT_FILE and SSL_CERT_DIR apply; read once per process and again only
/// when either variable changes) or, once anchors are set, those anchors alone; with anchors set, any of them ends a chain, intermediates and leaves
/// included. Success gives status 0 and `Unspecified`, failure status 0 and
/// `RecoverableTrustFailure`.
///
/// Thread safety: one thread at a time (the thread answering the challenge).
class ServerTrust {
public:
    /// The error status of `evaluate` for a trust without certificates.
    static constexpr int kStatusParameterError = -50;

    /// Null when `chain` is empty. The policies are the SSL server policy without a host.
    static std::shared_ptr<ServerTrust> create(std::vector<std::shared_ptr<const Certificate>> chain, TrustPolicy policy);

    void setPolicies(std::vector<TrustPolicy> policies) { m_policies = std::move(policies); }
    const std::vector<TrustPolicy>& policies() const { return m_policies; }
    /// Replaces the system anchors with `anchors` (an empty list trusts nothing).
    void setAnchorCertificates(std::vector<std::shared_ptr<const Certificate>> anchors) { m_anchors = std::move(anchors); }

    /// Evaluates and stores the result; returns the status (0 when the evaluation could run).
    [[nodiscard]] int evaluate(TrustResult& result);

    /// After a successful evaluation the chain that was built (ending at its anchor, which the
    /// server may not have sent); otherwise the chain as presented.
    std::size_t certificateCount() const;
    std::shared_ptr<const Certificate> certificateAtIndex(std::size_t index) const;
    /// The leaf's public key (evaluate first, as the platform wants); nothing when unreadable.
    std::optional<PublicKey> copyPublicKey() const;

    const std::vector<std::shared_ptr<const Certificate>>& presentedChain() const { return m_presented; }
    /// How many times `evaluate` ran (policies that waive the evaluation leave it untouched).
    int evaluationCount() const { return m_evaluations; }
    /// The reason of the last failed evaluation ("certificate has expired"); empty otherwise.
    const std::string& failureReason() const { return m_failureReason; }

private:
    explicit ServerTrust(std::vector<std::shared_ptr<const Certificate>> chain, TrustPolicy policy)
        : m_presented(std::move(chain)), m_policies { std::move(policy) } { }
    const std::vector<std::shared_ptr<const Certificate>>& currentChain() const;

    std::vector<std::shared_ptr<const Certificate>> m_presented;
    std::vector<TrustPolicy> m_policies;
    std::optional<std::vector<std::shared_ptr<const Certificate>>> m_anchors;
    std::vector<std::shared_ptr<const Certificate>> m_built;
    bool m_valid = false;
    int m_evaluations = 0;
    std::string m_failureReason;
};

} // namespace morvix::platform
