#include "services/MorvixHttpRequest.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "core/session/MorvixHTTPClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "platform/foundation/Error.h"
#include "platform/net/HTTPRequestCheck.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLError.h"
#include "platform/net/URLRequest.h"

#include <cctype>
#include <cmath>

namespace morvix {

using platform::Value;

namespace {

// The property `key` when it is given and not null.
const Value* present(const Value* properties, const char* key)
{
    if (!properties || !properties->is_object())
        return nullptr;
    auto found = properties->find(key);
    if (found == properties->end() || found->is_null())
        return nullptr;
    return &*found;
}

// Whether `text` starts with a scheme of its own ("file:", "http:"), as opposed to a path
// that the session resolves.
bool hasOwnScheme(const std::string& text)
{
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (char character : text) {
        if (character == ':')
            return true;
        if (!std::isalnum(static_cast<unsigned char>(character)) && character != '+' && character != '-' && character != '.')
            return false;
    }
    return false;
}

} // namespace

MorvixHttpRequest::MorvixHttpRequest(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    registerSelector(&MorvixHttpRequest::send, "send");
    registerSelector(&MorvixHttpRequest::abort, "abort");
}

MorvixHttpRequest::~MorvixHttpRequest()
{
    ++m_generation;
    if (m_operation)
        m_operation->cancel();
}

const PropertyTable& MorvixHttpRequest::properties()
{
    static const PropertyTable table = PropertyTable::extend<MorvixHttpRequest>(BasicObject::properties())
                                           .flag("stateChangeListener", &MorvixHttpRequest::m_stateChangeListener)
                                           .flag("downloadProgressListener", &MorvixHttpRequest::m_downloadProgressListener)
                                           .flag("uploadProgressListener", &MorvixHttpRequest::m_uploadProgressListener);
    return table;
}

std::optional<double> MorvixHttpRequest::timeoutSeconds(const Value& milliseconds)
{
    auto number = platform::numberValue(milliseconds);
    if (!number || !std::isfinite(*number) || std::trunc(*number) < 1)
        return std::nullopt;
    double seconds = std::trunc(std::trunc(*number) / 1000);
    return std::clamp(seconds, 1.0, platform::URLRequest::kMaximumTimeoutInterval);
}

bool MorvixHttpRequest::isRunning() const
{
    return m_operation && m_operation->isExecuting();
}

void MorvixHttpRequest::send(const Value* properties)
{
    auto url = present(properties, "url");
    if (!url || !url->is_string())
        return;
    auto client = this->client();
    auto http = client ? client->httpClient() : nullptr;
    auto resolved = http ? http->relativeURLToServer(url->get<std::string>()) : std::nullopt;
    if (!resolved)
        return;
    // Whatever this send becomes, the request before it is over.
    ++m_generation;
    if (auto previous = std::exchange(m_operation, nullptr))
        previous->cancel();

    std::string method = "GET";
    if (auto given = present(properties, "method")) {
        if (!given->is_string())
            refuse("\"method\" must be text, got " + given->dump());
        method = given->get<std::string>();
    }
    std::vector<platform::HTTPHeaders::Field> fields;
    if (auto headers = present(properties, "headers")) {
        if (!headers->is_object())
            refuse("\"headers\" must be an object, got " + headers->dump());
        for (const auto& [name, value] : headers->items()) {
            if (value.is_string())
                fields.emplace_back(name, value.get<std::string>());
            else if (value.is_number() || value.is_boolean())
                fields.emplace_back(name, value.dump());
            else
                refuse("the header \"" + name + "\" must be text, a number or a boolean, got " + value.dump());
        }
    }
    if (auto error = platform::HTTPRequestCheck::validate(method, fields))
        refuse(error->failureReason().value_or(error->description()));
    auto data = present(properties, "data");
    if (data && !data->is_string())
        refuse("\"data\" must be text, got " + data->dump());

    // A server must not read the user's files through the client: only a path the session
    // resolved to its own local files may be a file URL.
    if (!resolved->isHTTP() && !(resolved->isFileURL() && !hasOwnScheme(url->get<std::string>()))) {
        if (auto entry = LogEntry::entryWithWarning("HttpRequest " + objectId() + " refused \"" + resolved->absoluteString()
                + "\": only http and https URLs and the application's own files are requested"))
            client->log(*entry);
        Value state = Value::object();
        state["state"] = "error";
        sendState(std::move(state));
        return;
    }

    auto request = http->requestWithURL(*resolved);
    request.setMethod(method);
    for (auto& [name, value] : fields)
        (void)request.setValueForHeader(std::move(value), name); // validated above
    if (data)
        request.setBody(data->get<std::string>());
    if (auto timeout = present(properties, "timeout")) {
        if (auto seconds = timeoutSeconds(*timeout))
            request.setTimeoutInterval(*seconds);
    }
    start(std::move(request));
}

void MorvixHttpRequest::refuse(const std::string& reason)
{
    // A peer waiting for the end of its request learns that it ended.
    Value state = Value::object();
    state["state"] = "error";
    sendState(std::move(state));
    RemoteException::throwIncorrectParameter("HttpRequest %@ send: %@", objectId(), reason);
}

void MorvixHttpRequest::start(platform::URLRequest request)
{
    auto client = this->client();
    auto http = client ? client->httpClient() : nullptr;
    if (!http)
        return;
    m_didReceiveResponse = false;
    std::weak_ptr<MorvixHttpRequest> weak = std::static_pointer_cast<MorvixHttpRequest>(shared_from_this());
    auto current = [weak, generation = m_generation]() -> std::shared_ptr<MorvixHttpRequest> {
        auto self = weak.lock();
        return self && self->m_generation == generation ? self : nullptr;
    };
    using Response = std::shared_ptr<const platform::HTTPURLResponse>;
    m_operation = http->newOperationWithRequestAndProgress(
        std::move(request),
        [current](const platform::URLRequest&, const Response& response, const std::optional<std::string>& text) {
            if (auto self = current())
                self->succeeded(response, text);
        },
        [current](const platform::URLRequest&, const Response& response, const platform::Error& error) {
            if (auto self = current())
                self->failed(response, error);
        },
        [current](const platform::URLRequest&, const Response& response, std::int64_t loaded, std::int64_t expected) {
            if (auto self = current())
                self->progress(response, loaded, expected);
        });
    m_operation->start();
}

void MorvixHttpRequest::abort(const Value*)
{
    ++m_generation;
    auto operation = std::exchange(m_operation, nullptr);
    if (!operation)
        return;
    bool executing = operation->isExecuting();
    operation->cancel();
    if (!executing)
        return;
    Value state = Value::object();
    state["state"] = "aborted";
    sendState(std::move(state));
}

void MorvixHttpRequest::destroy()
{
    abort(nullptr);
    RemoteClass::destroy();
}

void MorvixHttpRequest::sendState(Value attributes)
{
    if (m_stateChangeListener)
        Notifications::forObject(objectId())->fireEvent("StateChange", std::move(attributes));
}

void MorvixHttpRequest::reportHeaders(const std::shared_ptr<const platform::HTTPURLResponse>& response)
{
    if (m_didReceiveResponse || !response)
        return;
    m_didReceiveResponse = true;
    Value loading = Value::object();
    loading["state"] = "loading";
    sendState(std::move(loading));
    Value headers = Value::object();
    for (const auto& [name, value] : response->allHeaderFields().fields()) {
        auto found = headers.find(name);
        if (found == headers.end())
            headers[name] = value;
        else
            *found = found->get<std::string>() + ", " + value;
    }
    Value state = Value::object();
    state["state"] = "headers";
    state["code"] = response->statusCode();
    state["message"] = platform::HTTPURLResponse::localizedStringForStatusCode(response->statusCode());
    state["headers"] = std::move(headers);
    sendState(std::move(state));
}

void MorvixHttpRequest::progress(const std::shared_ptr<const platform::HTTPURLResponse>& response, std::int64_t loaded,
    std::int64_t expected)
{
    reportHeaders(response);
    if (!m_downloadProgressListener)
        return;
    Value attributes = Value::object();
    attributes["loaded"] = loaded;
    attributes["total"] = expected < 0 ? 0 : expected;
    attributes["lengthComputable"] = expected != -1;
    Notifications::forObject(objectId())->fireEvent("DownloadProgress", std::move(attributes));
}

void MorvixHttpRequest::succeeded(const std::shared_ptr<const platform::HTTPURLResponse>& response, const std::optional<std::string>& text)
{
    m_operation.reset();
    reportHeaders(response);
    Value state = Value::object();
    state["state"] = text ? "finished" : "error";
    if (text)
        state["response"] = *text;
    sendState(std::move(state));
}

void MorvixHttpRequest::failed(const std::shared_ptr<const platform::HTTPURLResponse>& response, const platform::Error& error)
{
    m_operation.reset();
    reportHeaders(response);
    Value state = Value::object();
    state["state"] = error.code() == platform::kURLErrorTimedOut ? "timeout" : "error";
    sendState(std::move(state));
}

} // namespace morvix
