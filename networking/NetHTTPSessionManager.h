#pragma once
// A base-URL HTTP client over session tasks.

#include "networking/NetURLSessionManager.h"
#include "platform/foundation/Value.h"
#include "platform/net/Url.h"

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

class NetHTTPRequestSerializer;
class NetHTTPResponseSerializer;
class NetMultipartFormData;

/// Sends GET, HEAD, POST (plain and multipart), PUT, PATCH and DELETE requests for one service
/// as session tasks: each request is built by the request serializer from a URL string resolved
/// against the base URL, started at once (except `dataTaskWithHTTPMethod`'s), and reported to a
/// success or a failure block.
///
/// Usage:
///     auto client = NetHTTPSessionManager::create(Url::parse("https://h/api"));
///     client->GET("items", Value { { "page", 2 } },
///         [](const auto& task, const std::any& object) { ... },
///         [](const auto& task, const platform::Error& error) { ... });
///     // GET https://h/api/items?page=2, decoded as JSON
///
/// URL strings: a base URL with a path that does not end in "/" gets one, so that "items"
/// resolves below it; one with an empty path ("http://h") is kept as given. A string that starts
/// with "/" replaces the base's path; an absolute string ignores the base. A string that does
/// not parse gives a request without URL, whose task fails with kURLErrorBadURL when it starts.
///
/// Blocks run on the completion queue, in the completion group (see NetURLSessionManager). When
/// the request serializer fails, no task is made: the failure block (if any) is called later on
/// the completion queue, outside any group, with a null task and the error, and the result is
/// null.
///
/// Lifetime and thread safety as NetURLSessionManager.
class NetHTTPSessionManager : public NetURLSessionManager {
public:
    static constexpr const char* kArchiveClassName = "NetHTTPSessionManager";

    using SuccessBlock = std::function<void(const DataTaskPointer& task, const std::any& responseObject)>;
    using HeadSuccessBlock = std::function<void(const DataTaskPointer& task)>;
    /// The task is null when the request could not be built.
    using FailureBlock = std::function<void(const DataTaskPointer& task, const platform::Error& error)>;

    /// A manager without a base URL.
    static std::shared_ptr<NetHTTPSessionManager> manager();
    static std::shared_ptr<NetHTTPSessionManager> create(std::optional<platform::Url> baseURL = std::nullopt,
        std::optional<platform::URLSessionConfiguration> configuration = std::nullopt);

    /// A new manager with the same base URL, the session's configuration and copies of both
    /// serializers.
    std::shared_ptr<NetURLSessionManager> copy() const override;

    const std::optional<platform::Url>& baseURL() const { return m_baseURL; }
    /// NetHTTPRequestSerializer::serializer() unless set.
    std::shared_ptr<NetHTTPRequestSerializer> requestSerializer() const;
    void setRequestSerializer(std::shared_ptr<NetHTTPRequestSerializer> serializer);
    /// The response serializer as an HTTP one; null when one of another kind was set on the base.
    std::shared_ptr<NetHTTPResponseSerializer> HTTPResponseSerializer() const;

    /// Makes a data task for `method` (not started).
    DataTaskPointer dataTaskWithHTTPMethod(const std::string& method, const std::string& URLString,
        const std::optional<platform::Value>& parameters, SuccessBlock success, FailureBlock failure);
    DataTaskPointer GET(const std::string& URLString, const std::optional<platform::Value>& parameters, SuccessBlock success,
        FailureBlock failure);
    /// A HEAD response has no object: the success block gets the task only.
    DataTaskPointer HEAD(const std::string& URLString, const std::optional<platform::Value>& parameters, HeadSuccessBlock success,
        FailureBlock failure);
    DataTaskPointer POST(const std::string& URLString, const std::optional<platform::Value>& parameters, SuccessBlock success,
        FailureBlock failure);
    /// A multipart POST (parameters as fields, then the parts `constructingBody` appends), sent
    /// as a streamed upload.
    DataTaskPointer POST(const std::string& URLString, const std::optional<platform::Value>& parameters,
        const std::function<void(NetMultipartFormData&)>& constructingBody, SuccessBlock success, FailureBlock failure);
    DataTaskPointer PUT(const std::string& URLString, const std::optional<platform::Value>& parameters, SuccessBlock success,
        FailureBlock failure);
    DataTaskPointer PATCH(const std::string& URLString, const std::optional<platform::Value>& parameters, SuccessBlock success,
        FailureBlock failure);
    DataTaskPointer DELETE(const std::string& URLString, const std::optional<platform::Value>& parameters, SuccessBlock success,
        FailureBlock failure);

    /// "<NetHTTPSessionManager: 0x..., baseURL: ..., session: ..., operationQueue: ...>", with
    /// "(null)" for a missing base URL.
    std::string description() const override;

    /// Writes, in this order: the base's values, "baseURL", "sessionConfiguration",
    /// "requestSerializer" and "responseSerializer" (when it can be archived). Decoding takes
    /// the configuration, or else a background one named by "identifier", else the default.
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<NetHTTPSessionManager> decode(platform::KeyedUnarchiver& coder);

protected:
    NetHTTPSessionManager(std::optional<platform::Url> baseURL, std::optional<platform::URLSessionConfiguration> configuration);
    std::string className() const override { return "NetHTTPSessionManager"; }

private:
    std::string resolvedURLString(const std::string& URLString) const;
    CompletionHandler completionFor(std::shared_ptr<std::weak_ptr<platform::URLSessionDataTask>> holder, SuccessBlock success,
        FailureBlock failure) const;
    void reportFailure(FailureBlock failure, std::optional<platform::Error> error) const;
    DataTaskPointer resumed(DataTaskPointer task);

    std::optional<platform::Url> m_baseURL;
    mutable std::mutex m_serializerMutex; // guards m_requestSerializer
    std::shared_ptr<NetHTTPRequestSerializer> m_requestSerializer;
};

} // namespace morvix
