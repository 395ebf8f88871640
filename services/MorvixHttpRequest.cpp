#include "services/MorvixHttpRequest.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "core/protocol/ProtocolString.h"
#include "core/session/CappedOutputStream.h"
#include "core/session/DownloadOutputStream.h"
#include "core/session/MorvixHTTPClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "platform/foundation/ConfinedFile.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/WireNumber.h"
#include "platform/net/HTTPRequestCheck.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/StringEncoding.h"
#include "platform/net/URLError.h"
#include "platform/net/URLRequest.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

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

// The body as text: decoded from the response's character set, UTF-8 when it names none. A
// UTF-8 body is checked where it lies and moved, not copied.
std::optional<std::string> bodyText(std::string bytes, const platform::HTTPURLResponse* response)
{
    platform::StringEncoding encoding = platform::kUTF8StringEncoding;
    if (response && response->textEncodingName()) {
        if (auto named = platform::stringEncodingForIANACharsetName(*response->textEncodingName()))
            encoding = named;
    }
    if (encoding != platform::kUTF8StringEncoding)
        return platform::decodeString(bytes, encoding);
    if (!ProtocolString::isValidUTF8(bytes))
        return std::nullopt;
    return bytes;
}

constexpr EventDeclaration kStateChangeEvent {
    .listen = "StateChange",
    .name = "StateChange",
    .attributes = R"({"state": string, "code": number, "message": string, "headers": object, "response": string})",
    .note = "as a request started by \"send\" goes on: \"loading\" at the first data, then \"headers\" with \"code\", "
            "\"message\" and \"headers\"; at the end \"finished\" with \"response\" (the body as text), \"timeout\", "
            "\"error\", or \"aborted\" after \"abort\". Each state carries only its own keys",
};
constexpr EventDeclaration kDownloadProgressEvent {
    .listen = "DownloadProgress",
    .name = "DownloadProgress",
    .attributes = R"({"loaded": number, "total": number, "lengthComputable": boolean})",
    .note = "as the body arrives: bytes so far, bytes expected (0 when unknown)",
};

} // namespace

const WireTable& MorvixHttpRequest::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kStateChangeEvent).event(kDownloadProgressEvent);
    return table;
}

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
    m_wait.reset();
    m_place.release();
    m_body.reset();
    if (auto previous = std::exchange(m_operation, nullptr))
        previous->cancel();

    std::string method = "GET";
    if (auto given = present(properties, "method")) {
        if (!given->is_string())
            refuse("\"method\" must be text, got " + given->dump());
        method = given->get<std::string>();
    }
    auto fields = headerFields(present(properties, "headers"));
    if (auto error = platform::HTTPRequestCheck::validate(method, fields))
        refuse(error->failureReason().value_or(error->description()));
    auto data = present(properties, "data");
    if (data && !data->is_string())
        refuse("\"data\" must be text, got " + data->dump());
    std::uint64_t limit = bodyLimit(present(properties, "maxResponseSize"), *http);

    auto target = requestedURL(*resolved, url->get<std::string>(), limit);
    if (!target) {
        Value state = Value::object();
        state["state"] = "error";
        sendState(std::move(state));
        return;
    }
    auto request = http->requestWithURL(*target);
    request.setMethod(method);
    for (auto& [name, value] : fields)
        (void)request.setValueForHeader(std::move(value), name); // validated above
    if (data)
        request.setBody(data->get<std::string>());
    if (auto timeout = present(properties, "timeout")) {
        if (auto seconds = timeoutSeconds(*timeout))
            request.setTimeoutInterval(*seconds);
    }
    queue(std::move(request), limit);
}

std::vector<platform::HTTPHeaders::Field> MorvixHttpRequest::headerFields(const Value* headers)
{
    std::vector<platform::HTTPHeaders::Field> fields;
    if (!headers)
        return fields;
    if (!headers->is_object())
        refuse("\"headers\" must be an object, got " + headers->dump());
    for (const auto& [name, value] : headers->items()) {
        if (isReservedHeader(name)) {
            warn("the header \"" + name + "\" is the HTTP layer's own and is not sent");
            continue;
        }
        if (value.is_string())
            fields.emplace_back(name, value.get<std::string>());
        else if (value.is_number() || value.is_boolean())
            fields.emplace_back(name, value.dump());
        else
            refuse("the header \"" + name + "\" must be text, a number or a boolean, got " + value.dump());
    }
    return fields;
}

bool MorvixHttpRequest::isReservedHeader(std::string_view name)
{
    static constexpr std::string_view kReserved[] = { "Host", "Connection", "Keep-Alive", "TE", "Trailer", "Transfer-Encoding", "Upgrade" };
    constexpr std::string_view kProxyPrefix = "Proxy-";
    for (auto reserved : kReserved) {
        if (platform::HTTPHeaders::namesEqual(name, reserved))
            return true;
    }
    return name.size() >= kProxyPrefix.size() && platform::HTTPHeaders::namesEqual(name.substr(0, kProxyPrefix.size()), kProxyPrefix);
}

std::uint64_t MorvixHttpRequest::bodyLimit(const Value* given, const MorvixHTTPClient& http)
{
    std::uint64_t maximum = http.maximumResponseSize();
    if (!given)
        return maximum;
    auto bytes = platform::WireNumber::count(*given, 0, std::numeric_limits<std::int64_t>::max());
    if (!bytes)
        refuse("\"maxResponseSize\" must be a number of bytes from 0 on, got " + given->dump());
    if (static_cast<std::uint64_t>(*bytes) <= maximum)
        return static_cast<std::uint64_t>(*bytes);
    warn("\"maxResponseSize\" " + given->dump() + " is clamped to the session's maximum response size " + std::to_string(maximum));
    return maximum;
}

std::optional<platform::Url> MorvixHttpRequest::requestedURL(const platform::Url& resolved, const std::string& given, std::uint64_t limit)
{
    if (resolved.isHTTP())
        return resolved;
    // A server must not read the user's files through the client: only a path the session
    // resolved to its own local files may be a file URL, and only inside the folders a peer
    // may read (the HTTP client logs what it refuses there).
    if (!resolved.isFileURL() || hasOwnScheme(given)) {
        warn("refused \"" + resolved.absoluteString() + "\": only http and https URLs and the application's own files are requested");
        return std::nullopt;
    }
    auto client = this->client();
    auto http = client ? client->httpClient() : nullptr;
    auto file = http ? http->locateLocalFile(resolved, limit) : platform::ConfinedFile::Result();
    if (!http || !file)
        return std::nullopt;
    // The file checked is the file read: its resolved path, links and all undone.
    return platform::Url::fileURL(file.path);
}

void MorvixHttpRequest::warn(const std::string& text)
{
    auto client = this->client();
    if (!client)
        return;
    if (auto entry = LogEntry::entryWithWarning("HttpRequest " + objectId() + " " + text))
        client->log(*entry);
}

void MorvixHttpRequest::refuse(const std::string& reason)
{
    // A peer waiting for the end of its request learns that it ended.
    Value state = Value::object();
    state["state"] = "error";
    sendState(std::move(state));
    RemoteException::throwIncorrectParameter("HttpRequest %@ send: %@", objectId(), reason);
}

MorvixHttpRequest::Current MorvixHttpRequest::current()
{
    std::weak_ptr<MorvixHttpRequest> weak = std::static_pointer_cast<MorvixHttpRequest>(shared_from_this());
    return [weak, generation = m_generation]() -> std::shared_ptr<MorvixHttpRequest> {
        auto self = weak.lock();
        return self && self->m_generation == generation ? self : nullptr;
    };
}

void MorvixHttpRequest::queue(platform::URLRequest request, std::uint64_t maximumBodySize)
{
    auto client = this->client();
    if (!client)
        return;
    // A place that comes after this request was replaced or aborted goes back at once.
    m_wait = client->sessionBudget()->whenDownloadPlaceFree(
        [current = current(), request = std::move(request), maximumBodySize](platform::SessionBudget::Share place) mutable {
            if (auto self = current())
                self->start(std::move(request), maximumBodySize, std::move(place));
        });
}

void MorvixHttpRequest::start(platform::URLRequest request, std::uint64_t maximumBodySize, platform::SessionBudget::Share place)
{
    m_wait.reset();
    auto client = this->client();
    auto http = client ? client->httpClient() : nullptr;
    if (!http)
        return;
    m_didReceiveResponse = false;
    m_place = std::move(place);
    m_body = DownloadOutputStream::create(client->sessionBudget()->share(platform::SessionBudget::Resource::DownloadBytes));
    auto current = this->current();
    using Response = std::shared_ptr<const platform::HTTPURLResponse>;
    m_operation = http->newOperationWithRequestAndOutput(
        std::move(request),
        [current](const platform::URLRequest&, const Response& response) {
            if (auto self = current())
                self->succeeded(response);
        },
        [current](const platform::URLRequest&, const Response& response, const platform::Error& error) {
            if (auto self = current())
                self->failed(response, error);
        },
        CappedOutputStream::create(m_body, std::min(maximumBodySize, http->maximumResponseSize())));
    std::weak_ptr<NetHTTPRequestOperation> operation = m_operation;
    m_operation->setDownloadProgressBlock([current, operation](std::int64_t, std::int64_t loaded, std::int64_t expected) {
        auto self = current();
        auto running = operation.lock();
        if (self && running)
            self->progress(running->response(), loaded, expected);
    });
    m_operation->start();
}

void MorvixHttpRequest::abort(const Value*)
{
    ++m_generation;
    bool waiting = std::exchange(m_wait, nullptr) != nullptr;
    m_place.release();
    m_body.reset();
    auto operation = std::exchange(m_operation, nullptr);
    bool executing = operation && operation->isExecuting();
    if (operation)
        operation->cancel();
    if (!executing && !waiting)
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
        Notifications::forObject(objectId())->fire(kStateChangeEvent, std::move(attributes));
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
    Notifications::forObject(objectId())->fire(kDownloadProgressEvent, std::move(attributes));
}

void MorvixHttpRequest::succeeded(const std::shared_ptr<const platform::HTTPURLResponse>& response)
{
    m_operation.reset();
    m_place.release();
    // The body still counts among the session's downloads until the event hands it on.
    auto body = m_body ? m_body->takeBody() : DownloadOutputStream::Body();
    m_body.reset();
    reportHeaders(response);
    auto text = bodyText(std::move(body.bytes), response.get());
    Value state = Value::object();
    state["state"] = text ? "finished" : "error";
    if (text)
        state["response"] = std::move(*text);
    sendState(std::move(state));
}

void MorvixHttpRequest::failed(const std::shared_ptr<const platform::HTTPURLResponse>& response, const platform::Error& error)
{
    m_operation.reset();
    m_place.release();
    m_body.reset();
    reportHeaders(response);
    Value state = Value::object();
    state["state"] = error.code() == platform::kURLErrorTimedOut ? "timeout" : "error";
    sendState(std::move(state));
}

} // namespace morvix
