#include "networking/NetHTTPRequestOperationManager.h"

#include "networking/NetArchiving.h"
#include "networking/NetHTTPRequestSerializer.h"
#include "networking/NetJSONResponseSerializer.h"
#include "networking/NetNetworkReachabilityManager.h"
#include "networking/NetSecurityPolicy.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/net/OperationQueue.h"

#include <cstdio>

namespace morvix {

std::optional<platform::Url> NetHTTPRequestOperationManager::normalizedBaseURL(std::optional<platform::Url> url)
{
    if (url && !url->path().empty() && !url->absoluteString().ends_with("/"))
        return url->appendingEmptyComponent();
    return url;
}

std::shared_ptr<NetHTTPRequestOperationManager> NetHTTPRequestOperationManager::manager()
{
    return create(std::nullopt);
}

std::shared_ptr<NetHTTPRequestOperationManager> NetHTTPRequestOperationManager::create(std::optional<platform::Url> baseURL)
{
    return std::shared_ptr<NetHTTPRequestOperationManager>(new NetHTTPRequestOperationManager(std::move(baseURL)));
}

NetHTTPRequestOperationManager::NetHTTPRequestOperationManager(std::optional<platform::Url> baseURL)
    : m_baseURL(normalizedBaseURL(std::move(baseURL)))
    , m_requestSerializer(NetHTTPRequestSerializer::serializer())
    , m_responseSerializer(NetJSONResponseSerializer::serializer())
    , m_operationQueue(platform::OperationQueue::create())
    , m_securityPolicy(NetSecurityPolicy::defaultPolicy())
    , m_reachabilityManager(NetNetworkReachabilityManager::sharedManager())
{
}

std::shared_ptr<NetHTTPRequestOperationManager> NetHTTPRequestOperationManager::makeWithBaseURL(std::optional<platform::Url> baseURL) const
{
    return create(std::move(baseURL));
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetHTTPRequestOperationManager>("",
    [](platform::KeyedUnarchiver& coder) -> std::shared_ptr<NetHTTPRequestOperationManager> {
        if (!coder.contains("baseURL"))
            return NetHTTPRequestOperationManager::create(std::nullopt);
        auto text = coder.decodeString("baseURL");
        auto url = text ? platform::Url::parse(*text) : std::nullopt;
        if (!url) {
            coder.fail(platform::kKeyedArchiveValueError, "\"baseURL\" holds no URL");
            return nullptr;
        }
        return NetHTTPRequestOperationManager::create(std::move(url));
    });

} // namespace

void NetHTTPRequestOperationManager::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    if (m_baseURL)
        coder.encodeString(m_baseURL->absoluteString(), "baseURL");
    if (m_requestSerializer)
        coder.encodeObject(*m_requestSerializer, "requestSerializer");
    if (m_responseSerializer)
        coder.encodeObject(*m_responseSerializer, "responseSerializer");
}

void NetHTTPRequestOperationManager::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    if (coder.contains("requestSerializer")) {
        if (auto serializer = coder.decodeObject<NetHTTPRequestSerializer>("requestSerializer"))
            m_requestSerializer = std::move(serializer);
    }
    if (coder.contains("responseSerializer")) {
        if (auto serializer = coder.decodeObject<NetHTTPResponseSerializer>("responseSerializer"))
            m_responseSerializer = std::move(serializer);
    }
}

std::shared_ptr<NetHTTPRequestOperationManager> NetHTTPRequestOperationManager::copy() const
{
    auto copy = makeWithBaseURL(m_baseURL);
    copy->m_requestSerializer = m_requestSerializer ? m_requestSerializer->copy() : nullptr;
    copy->m_responseSerializer = m_responseSerializer ? m_responseSerializer->copy() : nullptr;
    return copy;
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::HTTPRequestOperationWithRequest(platform::URLRequest request,
    SuccessBlock success, FailureBlock failure)
{
    auto operation = NetHTTPRequestOperation::create(std::move(request));
    operation->setResponseSerializer(m_responseSerializer);
    operation->setShouldUseCredentialStorage(m_shouldUseCredentialStorage);
    operation->setCredential(m_credential);
    operation->setSecurityPolicy(m_securityPolicy);
    operation->setCompletionBlockWithSuccess(std::move(success), std::move(failure));
    operation->setCompletionQueue(m_completionQueue);
    operation->setCompletionGroup(m_completionGroup);
    return operation;
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::HTTPRequestOperationWithHTTPMethod(const std::string& method,
    const std::string& URLString, const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure)
{
    std::optional<platform::Error> error;
    auto request = m_requestSerializer->requestWithMethod(method, resolvedURLString(URLString), parameters, &error);
    return operationOrFailure(std::move(request), std::move(error), std::move(success), std::move(failure));
}

std::string NetHTTPRequestOperationManager::resolvedURLString(const std::string& URLString) const
{
    if (!m_baseURL)
        return URLString;
    auto url = platform::Url::resolve(*m_baseURL, URLString);
    return url ? url->absoluteString() : URLString;
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::operationOrFailure(std::optional<platform::URLRequest> request,
    std::optional<platform::Error> error, SuccessBlock success, FailureBlock failure)
{
    if (request)
        return HTTPRequestOperationWithRequest(std::move(*request), std::move(success), std::move(failure));
    if (failure) {
        auto queue = m_completionQueue ? m_completionQueue : platform::mainDispatchQueue();
        auto reported = error.value_or(platform::Error(NetURLRequestSerializationErrorDomain, 0));
        queue([failure = std::move(failure), reported = std::move(reported)] { failure(nullptr, reported); });
    }
    return nullptr;
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::enqueue(const std::string& method, const std::string& URLString,
    const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure)
{
    auto operation = HTTPRequestOperationWithHTTPMethod(method, URLString, parameters, std::move(success), std::move(failure));
    if (operation && m_operationQueue)
        m_operationQueue->addOperation(operation);
    return operation;
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::GET(const std::string& URLString,
    const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure)
{
    return enqueue("GET", URLString, parameters, std::move(success), std::move(failure));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::HEAD(const std::string& URLString,
    const std::optional<platform::Value>& parameters, HeadSuccessBlock success, FailureBlock failure)
{
    SuccessBlock wrapped;
    if (success)
        wrapped = [success = std::move(success)](const auto& operation, const std::any&) { success(operation); };
    return enqueue("HEAD", URLString, parameters, std::move(wrapped), std::move(failure));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::POST(const std::string& URLString,
    const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure)
{
    return enqueue("POST", URLString, parameters, std::move(success), std::move(failure));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::POST(const std::string& URLString,
    const std::optional<platform::Value>& parameters, const std::function<void(NetMultipartFormData&)>& constructingBody,
    SuccessBlock success, FailureBlock failure)
{
    std::optional<platform::Error> error;
    auto request = m_requestSerializer->multipartFormRequestWithMethod("POST", resolvedURLString(URLString), parameters, constructingBody, &error);
    auto operation = operationOrFailure(std::move(request), std::move(error), std::move(success), std::move(failure));
    if (operation && m_operationQueue)
        m_operationQueue->addOperation(operation);
    return operation;
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::PUT(const std::string& URLString,
    const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure)
{
    return enqueue("PUT", URLString, parameters, std::move(success), std::move(failure));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::PATCH(const std::string& URLString,
    const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure)
{
    return enqueue("PATCH", URLString, parameters, std::move(success), std::move(failure));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::DELETE(const std::string& URLString,
    const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure)
{
    return enqueue("DELETE", URLString, parameters, std::move(success), std::move(failure));
}

std::string NetHTTPRequestOperationManager::description() const
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    auto base = m_baseURL ? platform::FormatArg(m_baseURL->absoluteString()) : platform::FormatArg(nullptr);
    auto queue = m_operationQueue ? platform::FormatArg(m_operationQueue->description()) : platform::FormatArg(nullptr);
    return platform::format("<%@: %@, baseURL: %@, operationQueue: %@>", className(), std::string(address), base, queue);
}

} // namespace morvix
