#include "networking/NetSecurityPolicy.h"

#include "platform/net/ServerTrust.h"

#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

namespace morvix {

using platform::Certificate;
using platform::PublicKey;
using platform::ServerTrust;
using platform::TrustPolicy;
using platform::TrustResult;

namespace {

std::mutex s_mutex; // guards the statics below
std::filesystem::path s_resourceDirectory;
std::optional<std::vector<std::string>> s_defaultPinned;
std::function<void(const std::string&)> s_logHandler;

void log(const std::string& line)
{
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard lock(s_mutex);
        handler = s_logHandler;
    }
    if (handler) {
        handler(line);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

bool isValid(ServerTrust& trust)
{
    TrustResult result;
    int status = trust.evaluate(result);
    return status == 0 && (result == TrustResult::Proceed || result == TrustResult::Unspecified);
}

// The public key of one certificate, as the basic X.509 policy sees it; nothing when the
// certificate cannot be wrapped or evaluated (the result of the evaluation does not matter).
std::optional<PublicKey> publicKeyOf(const std::shared_ptr<const Certificate>& certificate)
{
    if (!certificate)
        return std::nullopt;
    auto trust = ServerTrust::create({ certificate }, TrustPolicy::basicX509());
    if (!trust)
        return std::nullopt;
    TrustResult result;
    if (trust->evaluate(result) != 0)
        return std::nullopt;
    return trust->copyPublicKey();
}

// Whether `issuer` issued `subject`: names and key identifiers match, the issuer may sign
// certificates, and its key verifies the subject's signature.
bool issued(const Certificate& issuer, const Certificate& subject)
{
    EVP_PKEY* key = X509_get0_pubkey(issuer.x509());
    return key && X509_check_issued(issuer.x509(), subject.x509()) == X509_V_OK && X509_verify(subject.x509(), key) == 1;
}

// The certificates of `chain` (leaf first) that link up from the leaf, each one signed by the
// next, up to the first that does not. A server may append any certificate to what it sends;
// only a linked one vouches for the leaf whose key the handshake proved.
std::vector<std::shared_ptr<const Certificate>> linkedFromLeaf(const std::vector<std::shared_ptr<const Certificate>>& chain)
{
    std::vector<std::shared_ptr<const Certificate>> linked;
    for (const auto& certificate : chain) {
        if (!certificate || (!linked.empty() && !issued(*certificate, *linked.back())))
            break;
        linked.push_back(certificate);
    }
    return linked;
}

std::filesystem::path programDirectory()
{
    std::error_code ignored;
    auto program = std::filesystem::read_symlink("/proc/self/exe", ignored);
    return ignored ? std::filesystem::current_path() : program.parent_path();
}

std::vector<std::string> readCertificates(const std::filesystem::path& directory)
{
    std::vector<std::filesystem::path> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.path().extension() == ".cer")
            paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> certificates;
    for (const auto& path : paths) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            continue;
        std::ostringstream bytes;
        bytes << in.rdbuf();
        certificates.push_back(bytes.str());
    }
    return certificates;
}

} // namespace

std::vector<std::string> NetSecurityPolicy::defaultPinnedCertificates()
{
    std::lock_guard lock(s_mutex);
    if (!s_defaultPinned)
        s_defaultPinned = readCertificates(s_resourceDirectory.empty() ? programDirectory() : s_resourceDirectory);
    return *s_defaultPinned;
}

void NetSecurityPolicy::setResourceDirectory(std::filesystem::path directory)
{
    std::lock_guard lock(s_mutex);
    s_resourceDirectory = std::move(directory);
}

void NetSecurityPolicy::resetDefaultPinnedCertificatesForTesting()
{
    std::lock_guard lock(s_mutex);
    s_defaultPinned.reset();
}

void NetSecurityPolicy::setLogHandler(std::function<void(const std::string&)> handler)
{
    std::lock_guard lock(s_mutex);
    s_logHandler = std::move(handler);
}

std::shared_ptr<NetSecurityPolicy> NetSecurityPolicy::create()
{
    return std::shared_ptr<NetSecurityPolicy>(new NetSecurityPolicy());
}

std::shared_ptr<NetSecurityPolicy> NetSecurityPolicy::defaultPolicy()
{
    auto policy = create();
    policy->setSSLPinningMode(NetSSLPinningMode::None);
    return policy;
}

std::shared_ptr<NetSecurityPolicy> NetSecurityPolicy::policyWithPinningMode(NetSSLPinningMode mode)
{
    auto policy = create();
    policy->setSSLPinningMode(mode);
    policy->setPinnedCertificates(defaultPinnedCertificates());
    return policy;
}

void NetSecurityPolicy::setPinnedCertificates(std::optional<std::vector<std::string>> certificates)
{
    std::vector<std::string> unique;
    for (auto& blob : certificates.value_or(std::vector<std::string>())) {
        if (std::find(unique.begin(), unique.end(), blob) == unique.end())
            unique.push_back(std::move(blob));
    }
    std::vector<PublicKey> keys;
    for (const auto& blob : unique) {
        if (auto key = publicKeyOf(Certificate::fromDER(blob)))
            keys.push_back(std::move(*key));
    }
    m_pinnedCertificates = std::move(unique);
    m_pinnedPublicKeys = std::move(keys);
}

bool NetSecurityPolicy::isDefaultEquivalent() const
{
    return m_pinningMode == NetSSLPinningMode::None && !m_allowInvalidCertificates && m_validatesDomainName;
}

bool NetSecurityPolicy::evaluateServerTrust(ServerTrust& trust) const
{
    return evaluateServerTrust(trust, std::nullopt);
}

bool NetSecurityPolicy::evaluateServerTrust(ServerTrust& trust, const std::optional<std::string>& domain) const
{
    const std::size_t pinnedCount = m_pinnedCertificates ? m_pinnedCertificates->size() : 0;
    if (domain && m_allowInvalidCertificates && m_validatesDomainName && (m_pinningMode == NetSSLPinningMode::None || pinnedCount == 0)) {
        log("In order to validate a domain name for self signed certificates, you MUST use pinning.");
        return false;
    }
    trust.setPolicies({ m_validatesDomainName ? TrustPolicy::ssl(domain) : TrustPolicy::basicX509() });
    if (m_pinningMode == NetSSLPinningMode::None)
        return m_allowInvalidCertificates || isValid(trust);
    if (!isValid(trust) && !m_allowInvalidCertificates)
        return false;

    static const std::vector<std::string> kNoCertificates;
    static const std::vector<PublicKey> kNoKeys;
    const auto& pinnedCertificates = m_pinnedCertificates ? *m_pinnedCertificates : kNoCertificates;
    const auto& pinnedKeys = m_pinnedPublicKeys ? *m_pinnedPublicKeys : kNoKeys;
    std::vector<std::shared_ptr<const Certificate>> chain;
    for (std::size_t index = 0; index < trust.certificateCount(); ++index)
        chain.push_back(trust.certificateAtIndex(index));

    switch (m_pinningMode) {
    case NetSSLPinningMode::Certificate: {
        std::vector<std::shared_ptr<const Certificate>> anchors;
        for (const auto& blob : pinnedCertificates) {
            // A pinned blob that is no certificate is skipped, as key derivation skips it.
            if (auto certificate = Certificate::fromDER(blob))
                anchors.push_back(std::move(certificate));
        }
        trust.setAnchorCertificates(std::move(anchors));
        if (!isValid(trust))
            return false;
        return std::any_of(chain.begin(), chain.end(), [&](const auto& certificate) {
            return std::find(pinnedCertificates.begin(), pinnedCertificates.end(), certificate->der()) != pinnedCertificates.end();
        });
    }
    case NetSSLPinningMode::PublicKey: {
        // With invalid certificates allowed the chain is the one presented, unverified.
        auto linked = linkedFromLeaf(chain);
        return std::any_of(linked.begin(), linked.end(), [&](const auto& certificate) {
            auto key = publicKeyOf(certificate);
            return key && std::find(pinnedKeys.begin(), pinnedKeys.end(), *key) != pinnedKeys.end();
        });
    }
    case NetSSLPinningMode::None:
        break;
    }
    return false;
}

} // namespace morvix
