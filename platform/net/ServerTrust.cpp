#include "platform/net/ServerTrust.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

namespace morvix::platform {

namespace {

bool isIPLiteral(const std::string& host)
{
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

struct StoreDeleter {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct ContextDeleter {
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
struct StackDeleter {
    void operator()(STACK_OF(X509)* stack) const { sk_X509_free(stack); }
};

} // namespace

std::shared_ptr<ServerTrust> ServerTrust::create(std::vector<std::shared_ptr<const Certificate>> chain, TrustPolicy policy)
{
    if (chain.empty())
        return nullptr;
    return std::shared_ptr<ServerTrust>(new ServerTrust(std::move(chain), std::move(policy)));
}

int ServerTrust::evaluate(TrustResult& result)
{
    ++m_evaluations;
    m_valid = false;
    m_built.clear();
    m_failureReason.clear();
    result = TrustResult::Invalid;
    if (m_presented.empty())
        return kStatusParameterError;

    std::unique_ptr<X509_STORE, StoreDeleter> store(X509_STORE_new());
    if (m_anchors) {
        for (const auto& anchor : *m_anchors)
            X509_STORE_add_cert(store.get(), anchor->x509());
        // A pinned intermediate or leaf must be able to end the chain on its own.
        X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN);
    } else {
        X509_STORE_set_default_paths(store.get());
    }
    std::unique_ptr<STACK_OF(X509), StackDeleter> untrusted(sk_X509_new_null());
    for (std::size_t index = 1; index < m_presented.size(); ++index)
        sk_X509_push(untrusted.get(), m_presented[index]->x509());

    bool valid = true;
    std::vector<std::shared_ptr<const Certificate>> built;
    for (const auto& policy : m_policies) {
        std::unique_ptr<X509_STORE_CTX, ContextDeleter> context(X509_STORE_CTX_new());
        if (!context || X509_STORE_CTX_init(context.get(), store.get(), m_presented[0]->x509(), untrusted.get()) != 1)
            return kStatusParameterError;
        X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context.get());
        if (policy.kind() == TrustPolicy::Kind::SSLServer) {
            X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
            if (policy.host() && isIPLiteral(*policy.host()))
                X509_VERIFY_PARAM_set1_ip_asc(parameters, policy.host()->c_str());
            else if (policy.host() && !policy.host()->empty())
                X509_VERIFY_PARAM_set1_host(parameters, policy.host()->c_str(), policy.host()->size());
        }
        if (X509_verify_cert(context.get()) != 1) {
            valid = false;
            m_failureReason = X509_verify_cert_error_string(X509_STORE_CTX_get_error(context.get()));
            break;
        }
        built.clear();
        STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context.get());
        for (int index = 0; index < sk_X509_num(chain); ++index) {
            if (auto certificate = Certificate::fromX509(sk_X509_value(chain, index)))
                built.push_back(std::move(certificate));
        }
    }
    m_valid = valid;
    if (valid)
        m_built = std::move(built);
    result = valid ? TrustResult::Unspecified : TrustResult::RecoverableTrustFailure;
    return 0;
}

const std::vector<std::shared_ptr<const Certificate>>& ServerTrust::currentChain() const
{
    return m_valid && !m_built.empty() ? m_built : m_presented;
}

std::size_t ServerTrust::certificateCount() const
{
    return currentChain().size();
}

std::shared_ptr<const Certificate> ServerTrust::certificateAtIndex(std::size_t index) const
{
    const auto& chain = currentChain();
    return index < chain.size() ? chain[index] : nullptr;
}

std::optional<PublicKey> ServerTrust::copyPublicKey() const
{
    return m_presented.front()->publicKey();
}

} // namespace morvix::platform
