#include "platform/net/Certificate.h"

#include <openssl/x509.h>

namespace morvix::platform {

std::shared_ptr<const Certificate> Certificate::fromDER(std::string_view der)
{
    auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
    const auto* end = bytes + der.size();
    X509* certificate = d2i_X509(nullptr, &bytes, static_cast<long>(der.size()));
    if (!certificate)
        return nullptr;
    if (bytes != end) {
        X509_free(certificate);
        return nullptr;
    }
    return std::shared_ptr<const Certificate>(new Certificate(certificate, std::string(der)));
}

std::shared_ptr<const Certificate> Certificate::fromX509(X509* certificate)
{
    unsigned char* der = nullptr;
    int length = i2d_X509(certificate, &der);
    if (length <= 0)
        return nullptr;
    std::string bytes(reinterpret_cast<char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    X509_up_ref(certificate);
    return std::shared_ptr<const Certificate>(new Certificate(certificate, std::move(bytes)));
}

Certificate::~Certificate()
{
    X509_free(m_x509);
}

std::string Certificate::subjectSummary() const
{
    X509_NAME* subject = X509_get_subject_name(m_x509);
    char buffer[256];
    if (X509_NAME_get_text_by_NID(subject, NID_commonName, buffer, sizeof buffer) > 0)
        return buffer;
    char* line = X509_NAME_oneline(subject, nullptr, 0);
    std::string text = line ? line : "";
    OPENSSL_free(line);
    return text;
}

std::optional<PublicKey> Certificate::publicKey() const
{
    EVP_PKEY* key = X509_get0_pubkey(m_x509);
    if (!key)
        return std::nullopt;
    unsigned char* der = nullptr;
    int length = i2d_PUBKEY(key, &der);
    if (length <= 0)
        return std::nullopt;
    PublicKey result(std::string(reinterpret_cast<char*>(der), static_cast<size_t>(length)));
    OPENSSL_free(der);
    return result;
}

} // namespace morvix::platform
