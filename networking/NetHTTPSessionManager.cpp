#include "networking/NetHTTPSessionManager.h"

#include "networking/NetHTTPRequestOperationManager.h"
#include "networking/NetHTTPRequestSerializer.h"
#include "networking/NetHTTPResponseSerializer.h"
#include "networking/NetJSONResponseSerializer.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/net/OperationQueue.h"

#include <cstdio>

namespace morvix {

namespace {

[[maybe_unused]] const bool kRegistered = [] {
    platform::KeyedUnarchiver::registerClass(NetHTTPSessionManager::kArchiveClassName, NetURLSessionManager::kArchiveClassName,
        [](platform::KeyedUnarchiver& coder) -> std::shared_ptr<platform::KeyedCoding> { return NetHTTPSessionManager::decode(coder); });
    return true;
}();

} // namespace

std::shared_ptr<NetHTTPSessionManager> NetHTTPSessionManager::manager()
{
    return create();
}

std::shared_ptr<NetHTTPSessionManager> NetHTTPSessionManager::create(std::optional<platform::Url> baseURL,
    std::optional<platform::URLSessionConfiguration> configuration)
{
    std::shared_ptr<NetHTTPSessionManager> manager(new NetHTTPSessionManager(std::move(baseURL), std::move(configuration)));
    manager->setUp();
    return manager;
}

NetHTTPSessionManager::NetHTTPSessionManager(std::optional<platform::Url> baseURL, std::optional<platform::URLSessionConfiguration> configuration)
    : NetURLSessionManager(std::move(configuration))
    , m_baseURL(NetHTTPRequestOperationManager::normalizedBaseURL(std::move(baseURL)))
    , m_requestSerializer(NetHTTPRequestSerializer::serializer())
{
    setResponseSerializer(NetJSONResponseSerializer::serializer());
}

std::shared_ptr<NetURLSessionManager> NetHTTPSessionManager::copy() const
{
    auto copy = create(m_baseURL, session()->configuration());
    if (auto serializer = requestSerializer())
        copy->setRequestSerializer(serializer->copy());
    if (auto serializer = HTTPResponseSerializer())
        copy->setResponseSerializer(serializer->copy());
    return copy;
}

std::shared_ptr<NetHTTPRequestSerializer> NetHTTPSessionManager::requestSerializer() const
{
    std::lock_guard lock(m_serializerMutex);
    return m_requestSerializer;
}

void NetHTTPSessionManager::setRequestSerializer(std::shared_ptr<NetHTTPRequestSerializer> serializer)
{
    std::lock_guard lock(m_serializerMutex);
    m_requestSerializer = std::move(serializer);
}

std::shared_ptr<NetHTTPResponseSerializer> NetHTTPSessionManager::HTTPResponseSerializer() const
{
    return std::dynamic_pointer_cast<NetHTTPResponseSerializer>(responseSerializer());
}

std::string NetHTTPSessionManager::resolvedURLString(const std::string& URLString) const
{
    if (!m_baseURL)
        return URLString;
    auto url = platform::Url::resolve(*m_baseURL, URLString);
    return url ? url->absoluteString() : URLString;
}

NetURLSessionManager::CompletionHandler NetHTTPSessionManager::completionFor(std::shared_ptr<std::weak_ptr<platform::URLSessionDataTask>> holder,
    SuccessBlock success, FailureBlock failure) const
{
    // The task is held weakly, filled in once it exists: the handler lives in the task's
    // delegate, and a strong hold would keep the task alive through it.
    return [holder = std::move(holder), success = std::move(success), failure = std::move(failure)](
               const std::shared_ptr<const platform::URLResponse>&, const std::any& responseObject, const std::optional<platform::Error>& error) {
        auto task = holder->lock();
        if (error) {
            if (failure)
                failure(task, *error);
            return;
        }
        if (success)
            success(task, responseObject);
    };
}

void NetHTTPSessionManager::reportFailure(FailureBlock failure, std::optional<platform::Error> error) const
{
    if (!failure)
        return;
    auto queue = completionQueue();
    if (!queue)
        queue = platform::mainDispatchQueue();
    auto reported = error.value_or(platform::Error(NetURLRequestSerializationErrorDomain, 0));
    queue([failure = std::move(failure), reported = std::move(reported)] { failure(nullptr, reported); });
}

NetURLSessionManager::DataTaskPointer NetHTTPSessionManager::dataTaskWithHTTPMethod(const std::string& method, const std::string& URLString,
    const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure)
{
    std::optional<platform::Error> error;
    auto request = requestSerializer()->requestWithMethod(method, resolvedURLString(URLString), parameters, &error);
    if (!request) {
        reportFailure(std::move(failure), std::move(error));
        return nullptr;
    }
    auto holder = std::make_shared<std::weak_ptr<platform::URLSessionDataTask>>();
    auto task = dataTaskWithRequest(std::move(*request), completionFor(holder, std::move(success), std::move(failure)));
    *holder = task;
    return task;
}

NetURLSessionManager::DataTaskPointer NetHTTPSessionManager::resumed(DataTaskPointer task)
{
    if (task)
        task->resume();
    return task;
}

NetURLSessionManager::DataTaskPointer NetHTTPSessionManager::GET(const std::string& URLString, const std::optional<platform::Value>& parameters,
    SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("GET", URLString, parameters, std::move(success), std::move(failure)));
}

NetURLSessionManager::DataTaskPointer NetHTTPSessionManager::HEAD(const std::string& URLString, const std::optional<platform::Value>& parameters,
    HeadSuccessBlock success, FailureBlock failure)
{
    SuccessBlock wrapped;
    if (success)
        wrapped = [success = std::move(success)](const DataTaskPointer& task, const std::any&) { success(task); };
    return resumed(dataTaskWithHTTPMethod("HEAD", URLString, parameters, std::move(wrapped), std::move(failure)));
}

NetURLSessionManager::DataTaskPointer NetHTTPSessionManager::POST(const std::string& URLString, const std::optional<platform::Value>& parameters,
    SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("POST", URLString, parameters, std::move(success), std::move(failure)));
}

NetURLSessionManager::DataTaskPointer NetHTTPSessionManager::POST(const std::string& URLString, const std::optional<platform::Value>& parameters,
    const std::function<void(NetMultipartFormData&)>& constructingBody, SuccessBlock success, FailureBlock failure)
{
    std::optional<platform::Error> error;
    auto request = requestSerializer()->multipartFormRequestWithMethod("POST", resolvedURLString(URLString), parameters, constructingBody, &error);
    if (!request) {
        reportFailure(std::move(failure), std::move(error));
        return nullptr;
    }
    auto holder = std::make_shared<std::weak_ptr<platform::URLSessionDataTask>>();
    DataTaskPointer task = uploadTaskWithStreamedRequest(std::move(*request), nullptr, completionFor(holder, std::move(success), std::move(failure)));
    *holder = task;
    return resumed(std::move(task));
}

NetURLSessionManager::DataTaskPointer NetHTTPSessionManager::PUT(const std::string& URLString, const std::optional<platform::Value>& parameters,
    SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("PUT", URLString, parameters, std::move(success), std::move(failure)));
}

NetURLSessionManager::DataTaskPointer NetHTTPSessionManager::PATCH(const std::string& URLString, const std::optional<platform::Value>& parameters,
    SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("PATCH", URLString, parameters, std::move(success), std::move(failure)));
}

NetURLSessionManager::DataTaskPointer NetHTTPSessionManager::DELETE(const std::string& URLString, const std::optional<platform::Value>& parameters,
    SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("DELETE", URLString, parameters, std::move(success), std::move(failure)));
}

void NetHTTPSessionManager::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    NetURLSessionManager::encodeWithCoder(coder);
    if (m_baseURL)
        coder.encodeString(m_baseURL->absoluteString(), "baseURL");
    // The configuration can always be archived here; "identifier" is read for archives that
    // hold only the name of a background session.
    coder.encodeObject(session()->configuration(), "sessionConfiguration");
    if (auto serializer = requestSerializer())
        coder.encodeObject(*serializer, "requestSerializer");
    if (auto serializer = std::dynamic_pointer_cast<const platform::KeyedCoding>(responseSerializer()))
        coder.encodeObject(*serializer, "responseSerializer");
}

std::shared_ptr<NetHTTPSessionManager> NetHTTPSessionManager::decode(platform::KeyedUnarchiver& coder)
{
    std::optional<platform::Url> baseURL;
    if (coder.contains("baseURL")) {
        auto text = coder.decodeString("baseURL");
        baseURL = text ? platform::Url::parse(*text) : std::nullopt;
        if (!baseURL) {
            coder.fail(platform::kKeyedArchiveValueError, "\"baseURL\" holds no URL");
            return nullptr;
        }
    }
    std::optional<platform::URLSessionConfiguration> configuration;
    if (coder.contains("sessionConfiguration")) {
        auto decoded = coder.decodeObject<platform::URLSessionConfiguration>("sessionConfiguration");
        if (!decoded)
            return nullptr;
        configuration = *decoded;
    } else if (coder.contains("identifier")) {
        if (auto identifier = coder.decodeString("identifier"))
            configuration = platform::URLSessionConfiguration::backgroundSessionConfiguration(*identifier);
    }
    std::shared_ptr<NetHTTPRequestSerializer> requestSerializer;
    if (coder.contains("requestSerializer"))
        requestSerializer = coder.decodeObject<NetHTTPRequestSerializer>("requestSerializer");
    std::shared_ptr<NetHTTPResponseSerializer> responseSerializer;
    if (coder.contains("responseSerializer"))
        responseSerializer = coder.decodeObject<NetHTTPResponseSerializer>("responseSerializer");
    if (coder.error())
        return nullptr;
    auto manager = create(std::move(baseURL), std::move(configuration));
    if (requestSerializer)
        manager->setRequestSerializer(std::move(requestSerializer));
    if (responseSerializer)
        manager->setResponseSerializer(std::move(responseSerializer));
    return manager;
}

std::string NetHTTPSessionManager::description() const
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    auto base = m_baseURL ? platform::FormatArg(m_baseURL->absoluteString()) : platform::FormatArg(nullptr);
    return platform::format("<%@: %@, baseURL: %@, session: %@, operationQueue: %@>", className(), std::string(address), base,
        session()->description(), operationQueue()->description());
}

} // namespace morvix
