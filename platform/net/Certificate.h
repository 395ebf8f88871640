#pragma once
// An X.509 certificate.

#include "platform/net/PublicKey.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

typedef struct x509_st X509;

namespace morvix::platform {

/// An X.509 certificate, kept both as its DER bytes and as the OpenSSL object. Immutable;
/// shared as `std::shared_ptr<const Certificate>`; any thread.
class Certificate {
public:
    /// Null when `der` is not exactly one DER certificate (trailing bytes are refused).
    static std::shared_ptr<const Certificate> fromDER(std::string_view der);
    /// Takes a reference of its own on `certificate`.
    static std::shared_ptr<const Certificate> fromX509(X509* certificate);
    ~Certificate();
    Certificate(const Certificate&) = delete;
    Certificate& operator=(const Certificate&) = delete;

    const std::string& der() const { return m_der; }
    /// The subject's common name, or the whole subject when it has none.
    std::string subjectSummary() const;
    /// The subject public key; nothing when OpenSSL cannot read it.
    std::optional<PublicKey> publicKey() const;
    X509* x509() const { return m_x509; }

private:
    Certificate(X509* certificate, std::string der) : m_x509(certificate), m_der(std::move(der)) { }

    X509* m_x509;
    std::string m_der;
};

} // namespace morvix::platform
