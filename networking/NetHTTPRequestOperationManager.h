#pragma once
// What the HTTP operations of one service share, and the factory that makes them.

#include "networking/NetHTTPRequestOperation.h"
#include "platform/foundation/KeyedCoding.h"
#include "platform/foundation/Value.h"
#include "platform/net/DispatchGroup.h"
#include "platform/net/DispatchQueue.h"
#include "platform/net/URLCredential.h"
#include "platform/net/Url.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {
class OperationQueue;
}

namespace morvix {

class NetHTTPRequestSerializer;
class NetMultipartFormData;
class NetHTTPResponseSerializer;
class NetNetworkReachabilityManager;
class NetSecurityPolicy;

/// Makes HTTP request operations for one service: each gets the manager's response
/// serializer, credential settings, security policy, completion queue and group, and the
/// one-line methods (GET, HEAD, POST, PUT, PATCH, DELETE) put it on the manager's operation
/// queue, which starts it.
///
/// Usage:
///     auto manager = NetHTTPRequestOperationManager::create(Url::parse("https://h/api"));
///     manager->GET("items", Value { { "page", 2 } },
///         [](const auto& operation, const std::any& object) { ... },
///         [](const auto& operation, const platform::Error& error) { ... });
///     // GET https://h/api/items?page=2, decoded as JSON
///
/// Sharing: the security policy and the response serializer are the same objects in every
/// operation made, so changing the policy changes it for operations made earlier too; the
/// reachability manager is the process-wide shared one, so every manager shares its single
/// status block. Configure serializers before making operations: they are then used
/// concurrently.
///
/// Thread safety: the manager takes no lock. Configure it, then make operations from one
/// thread at a time.
class NetHTTPRequestOperationManager : public std::enable_shared_from_this<NetHTTPRequestOperationManager>, public platform::KeyedCoding {
public:
    using SuccessBlock = NetHTTPRequestOperation::SuccessBlock;
    /// Called with a null operation when no operation could be made.
    using FailureBlock = NetHTTPRequestOperation::FailureBlock;
    using HeadSuccessBlock = std::function<void(const std::shared_ptr<NetHTTPRequestOperation>& operation)>;

    /// A manager without a base URL.
    static std::shared_ptr<NetHTTPRequestOperationManager> manager();
    /// A manager for `baseURL`. A base URL with a path that does not end in "/" gets one, so
    /// that relative strings resolve below it ("/app" + "x" is "/app/x"); one with an empty path
    /// ("http://h") is kept as given.
    static std::shared_ptr<NetHTTPRequestOperationManager> create(std::optional<platform::Url> baseURL);
    /// `url` with a trailing slash added when its path is not empty and does not end in one, so
    /// that relative paths resolve below it rather than beside it.
    static std::optional<platform::Url> normalizedBaseURL(std::optional<platform::Url> url);
    virtual ~NetHTTPRequestOperationManager() = default;
    NetHTTPRequestOperationManager(const NetHTTPRequestOperationManager&) = delete;
    NetHTTPRequestOperationManager& operator=(const NetHTTPRequestOperationManager&) = delete;

    /// A new manager with the same base URL and copies of both serializers; everything else
    /// has the defaults.
    virtual std::shared_ptr<NetHTTPRequestOperationManager> copy() const;

    // Archiving: "baseURL" (when there is one), "requestSerializer" and "responseSerializer".
    // Decoding makes a manager for the archived base URL, then replaces both serializers with
    // the archived ones (any request or HTTP response serializer).
    static constexpr const char* kArchiveClassName = "NetHTTPRequestOperationManager";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    virtual void decodeWithCoder(platform::KeyedUnarchiver& coder);

    const std::optional<platform::Url>& baseURL() const { return m_baseURL; }
    /// `NetHTTPRequestSerializer::serializer()` unless set.
    const std::shared_ptr<NetHTTPRequestSerializer>& requestSerializer() const { return m_requestSerializer; }
    void setRequestSerializer(std::shared_ptr<NetHTTPRequestSerializer> serializer) { m_requestSerializer = std::move(serializer); }
    /// `NetJSONResponseSerializer::serializer()` unless set.
    const std::shared_ptr<NetHTTPResponseSerializer>& responseSerializer() const { return m_responseSerializer; }
    void setResponseSerializer(std::shared_ptr<NetHTTPResponseSerializer> serializer) { m_responseSerializer = std::move(serializer); }
    /// A queue of its own, with the default settings.
    const std::shared_ptr<platform::OperationQueue>& operationQueue() const { return m_operationQueue; }
    void setOperationQueue(std::shared_ptr<platform::OperationQueue> queue) { m_operationQueue = std::move(queue); }
    /// True unless set.
    bool shouldUseCredentialStorage() const { return m_shouldUseCredentialStorage; }
    void setShouldUseCredentialStorage(bool use) { m_shouldUseCredentialStorage = use; }
    const std::optional<platform::URLCredential>& credential() const { return m_credential; }
    void setCredential(std::optional<platform::URLCredential> credential) { m_credential = std::move(credential); }
    /// `NetSecurityPolicy::defaultPolicy()` unless set.
    const std::shared_ptr<NetSecurityPolicy>& securityPolicy() const { return m_securityPolicy; }
    void setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy) { m_securityPolicy = std::move(policy); }
    /// `NetNetworkReachabilityManager::sharedManager()` unless set.
    const std::shared_ptr<NetNetworkReachabilityManager>& reachabilityManager() const { return m_reachabilityManager; }
    void setReachabilityManager(std::shared_ptr<NetNetworkReachabilityManager> manager) { m_reachabilityManager = std::move(manager); }
    /// Empty (the main loop) unless set.
    const platform::DispatchQueue& completionQueue() const { return m_completionQueue; }
    void setCompletionQueue(platform::DispatchQueue queue) { m_completionQueue = std::move(queue); }
    /// Null (the operations' shared group) unless set.
    const std::shared_ptr<platform::DispatchGroup>& completionGroup() const { return m_completionGroup; }
    void setCompletionGroup(std::shared_ptr<platform::DispatchGroup> group) { m_completionGroup = std::move(group); }

    /// A new operation for `request`, neither started nor queued, with the manager's response
    /// serializer, credential settings, security policy, completion queue and group, and with
    /// `success` and `failure` installed.
    std::shared_ptr<NetHTTPRequestOperation> HTTPRequestOperationWithRequest(platform::URLRequest request,
        SuccessBlock success, FailureBlock failure);

    /// Resolves `URLString` against the base URL, builds the request with the request
    /// serializer and makes the operation as above (not queued). When the request serializer
    /// fails, no operation is made: `failure` is called later, on the completion queue, with a
    /// null operation and the error, and the result is null.
    std::shared_ptr<NetHTTPRequestOperation> HTTPRequestOperationWithHTTPMethod(const std::string& method,
        const std::string& URLString, const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure);

    /// Each makes its operation as `HTTPRequestOperationWithHTTPMethod` does with its method,
    /// adds it to the operation queue and returns it (null when none could be made).
    std::shared_ptr<NetHTTPRequestOperation> GET(const std::string& URLString, const std::optional<platform::Value>& parameters,
        SuccessBlock success, FailureBlock failure);
    /// The success block is given the operation only: a HEAD response has no object.
    std::shared_ptr<NetHTTPRequestOperation> HEAD(const std::string& URLString, const std::optional<platform::Value>& parameters,
        HeadSuccessBlock success, FailureBlock failure);
    std::shared_ptr<NetHTTPRequestOperation> POST(const std::string& URLString, const std::optional<platform::Value>& parameters,
        SuccessBlock success, FailureBlock failure);
    /// A multipart POST: parameters as fields, then the parts `constructingBody` appends
    /// (NetHTTPRequestSerializer::multipartFormRequestWithMethod); queued as above.
    std::shared_ptr<NetHTTPRequestOperation> POST(const std::string& URLString, const std::optional<platform::Value>& parameters,
        const std::function<void(NetMultipartFormData&)>& constructingBody, SuccessBlock success, FailureBlock failure);
    std::shared_ptr<NetHTTPRequestOperation> PUT(const std::string& URLString, const std::optional<platform::Value>& parameters,
        SuccessBlock success, FailureBlock failure);
    std::shared_ptr<NetHTTPRequestOperation> PATCH(const std::string& URLString, const std::optional<platform::Value>& parameters,
        SuccessBlock success, FailureBlock failure);
    std::shared_ptr<NetHTTPRequestOperation> DELETE(const std::string& URLString, const std::optional<platform::Value>& parameters,
        SuccessBlock success, FailureBlock failure);

    /// "<NetHTTPRequestOperationManager: 0x..., baseURL: ..., operationQueue: ...>", with
    /// "(null)" for a missing base URL.
    std::string description() const;

protected:
    explicit NetHTTPRequestOperationManager(std::optional<platform::Url> baseURL);
    /// The class name used by `description`.
    virtual std::string className() const { return "NetHTTPRequestOperationManager"; }
    /// A manager of the concrete class for `baseURL`, with the defaults; `copy` fills it in.
    virtual std::shared_ptr<NetHTTPRequestOperationManager> makeWithBaseURL(std::optional<platform::Url> baseURL) const;

private:
    std::shared_ptr<NetHTTPRequestOperation> enqueue(const std::string& method, const std::string& URLString,
        const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure);
    std::string resolvedURLString(const std::string& URLString) const;
    /// The operation for `request`, or (without a request) null after scheduling `failure`
    /// with `error` on the completion queue.
    std::shared_ptr<NetHTTPRequestOperation> operationOrFailure(std::optional<platform::URLRequest> request,
        std::optional<platform::Error> error, SuccessBlock success, FailureBlock failure);

    bool m_shouldUseCredentialStorage = true;
    std::optional<platform::Url> m_baseURL;
    std::shared_ptr<NetHTTPRequestSerializer> m_requestSerializer;
    std::shared_ptr<NetHTTPResponseSerializer> m_responseSerializer;
    std::shared_ptr<platform::OperationQueue> m_operationQueue;
    std::optional<platform::URLCredential> m_credential;
    std::shared_ptr<NetSecurityPolicy> m_securityPolicy;
    std::shared_ptr<NetNetworkReachabilityManager> m_reachabilityManager;
    platform::DispatchQueue m_completionQueue;
    std::shared_ptr<platform::DispatchGroup> m_completionGroup;
};

} // namespace morvix
