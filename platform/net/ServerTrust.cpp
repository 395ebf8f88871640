#include "platform/net/ServerTrust.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <cstdlib>
#include <mutex>
#include <utility>

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

std::optional<std::string> environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// The system anchors (OpenSSL's default paths), loaded once per process: loading a system
// bundle takes tens of milliseconds, on the one network thread, several times per handshake.
// They are loaded again only when SSL_CERT_FILE or SSL_CERT_DIR names other anchors. The store
// is only read once made, which OpenSSL allows from several threads. The caller owns a reference.
X509_STORE* defaultStore()
{
    static std::mutex mutex;
    static X509_STORE* store = nullptr;
    static std::pair<std::optional<std::string>, std::optional<std::string>> loadedFrom;
    std::pair wanted { environmentValue(X509_get_default_cert_file_env()), environmentValue(X509_get_default_cert_dir_env()) };
    std::lock_guard lock(mutex);
    if (!store || wanted != loadedFrom) {
        X509_STORE* fresh = X509_STORE_new();
        if (!fresh)
            return nullptr;
        X509_STORE_set_default_paths(fresh);
        X509_STORE_free(store);
        store = fresh;
        loadedFrom = std::move(wanted);
    }
    X509_STORE_up_ref(store);
    return store;
}

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

    std::unique_ptr<X509_STORE, StoreDeleter> store(m_anchors ? X509_STORE_new() : defaultStore());
    if (!store)
        return kStatusParameterError;
    if (m_anchors) {
        for (const auto& anchor : *m_anchors)
            X509_STORE_add_cert(store.get(), anchor->x509());
        // A pinned intermediate or leaf must be able to end the chain on its own.
        X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN);
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
