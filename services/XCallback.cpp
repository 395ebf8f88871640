#include "services/XCallback.h"

#include "core/base/LogEntry.h"
#include "core/base/OSUtil.h"
#include "core/base/Strings.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "platform/ui/Application.h"

namespace morvix {

using platform::Value;

namespace {

constexpr std::string_view kSourceName = "x-source";
constexpr std::string_view kSuccessName = "x-success";
constexpr std::string_view kErrorName = "x-error";
constexpr std::string_view kCancelName = "x-cancel";

std::string encoded(std::string_view text)
{
    // Our own strings are UTF-8, so encoding them cannot fail.
    return Strings::urlEncodeUsingEncoding(text).value_or("");
}

std::string pair(std::string_view name, std::string_view value)
{
    return encoded(name) + "=" + encoded(value);
}

template<std::string_view const& Name>
std::optional<std::string> constantName(const XCallback&)
{
    return std::string(Name);
}

constexpr EventDeclaration kSuccessEvent {
    .name = "Success",
    .attributes = R"({"name": string, ...})",
    .sentWithoutListen = true,
    .note = "when the other application answers \"x-success\": each parameter of its answer's query, decoded (a name "
            "without a value gets \"\")",
};
constexpr EventDeclaration kCancelEvent {
    .name = "Cancel",
    .attributes = R"({"name": string, ...})",
    .sentWithoutListen = true,
    .note = "when the other application answers \"x-cancel\": each parameter of its answer's query, decoded",
};
constexpr EventDeclaration kErrorEvent {
    .name = "Error",
    .attributes = R"({"name": string, ...})",
    .sentWithoutListen = true,
    .note = "when the other application answers \"x-error\": each parameter of its answer's query, decoded",
};

} // namespace

const WireTable& XCallback::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kSuccessEvent).event(kCancelEvent).event(kErrorEvent);
    return table;
}

XCallback::XCallback(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
    , m_xSource(OSUtil::appName())
{
    registerSelector(&XCallback::call, "call");
}

const PropertyTable& XCallback::properties()
{
    static const PropertyTable table = PropertyTable::extend<XCallback>(BasicObject::properties())
                                           .string("targetScheme", &XCallback::m_targetScheme, &XCallback::m_targetScheme)
                                           .string("targetAction", &XCallback::m_targetAction, &XCallback::m_targetAction)
                                           .dictionary("actionParameters", &XCallback::m_actionParameters, &XCallback::m_actionParameters)
                                           .string("xSource", &XCallback::m_xSource, &XCallback::m_xSource)
                                           .string("xSourceName", nullptr, &constantName<kSourceName>)
                                           .string("xSuccessName", nullptr, &constantName<kSuccessName>)
                                           .string("xErrorName", nullptr, &constantName<kErrorName>)
                                           .string("xCancelName", nullptr, &constantName<kCancelName>);
    return table;
}

const PropertyNames& XCallback::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "targetScheme", "targetAction", "actionParameters", "xSource" });
    return names;
}

void XCallback::call(const Value* properties)
{
    setWithProperties(properties);
    std::string url = requestURL();
    // The answers come back to the application's own scheme, its bundle identifier; without one
    // they have no scheme and no answer can come back.
    if (auto client = this->client(); client && OSUtil::appId().empty())
        client->log(LogEntry("XCallback: the application has no bundle identifier, so no answer to " + url + " can come back",
            LogEntry::Type::Warning));
    auto& application = platform::Application::shared();
    if (application.canOpenURL(url)) {
        application.openURL(url);
        return;
    }
    if (auto client = this->client())
        client->log(LogEntry("Unable to open " + url + " for XCallback", LogEntry::Type::Warning));
}

std::string XCallback::callbackURL(std::string_view kind) const
{
    return OSUtil::appId() + "://x-callback-url/" + encoded(objectId()) + "/" + std::string(kind);
}

std::string XCallback::requestURL()
{
    std::string url = m_targetScheme.value_or("") + "://x-callback-url/" + encoded(m_targetAction.value_or("")) + "?";
    url += pair(kSourceName, m_xSource.value_or(""));
    url += "&" + pair(kSuccessName, callbackURL(kSuccessName));
    url += "&" + pair(kErrorName, callbackURL(kErrorName));
    url += "&" + pair(kCancelName, callbackURL(kCancelName));
    std::string parameters = encodedActionParameters();
    if (!parameters.empty())
        url += "&" + parameters;
    return url;
}

std::string XCallback::encodedActionParameters()
{
    std::string text;
    if (!m_actionParameters || !m_actionParameters->is_object())
        return text;
    for (const auto& [name, value] : m_actionParameters->items()) {
        std::string valueText;
        if (value.is_string()) {
            valueText = value.get<std::string>();
        } else if (value.is_number() || value.is_boolean()) {
            valueText = value.dump();
        } else {
            if (auto client = this->client())
                client->log(LogEntry("x-callback parameter \"" + name + "\" is skipped: it is neither text, a number nor a boolean", LogEntry::Type::Warning));
            continue;
        }
        text += (text.empty() ? "" : "&") + pair(name, valueText);
    }
    return text;
}

Value XCallback::parametersFromQuery(std::string_view query)
{
    Value parameters = Value::object();
    while (!query.empty()) {
        auto end = query.find('&');
        std::string_view part = query.substr(0, end);
        query.remove_prefix(end == std::string_view::npos ? query.size() : end + 1);
        if (part.empty())
            continue;
        auto equals = part.find('=');
        if (equals == std::string_view::npos)
            parameters[percentDecoded(part)] = "";
        else
            parameters[percentDecoded(part.substr(0, equals))] = percentDecoded(part.substr(equals + 1));
    }
    return parameters;
}

void XCallback::callbackWithURL(const platform::Url& url)
{
    auto segments = pathSegments(url);
    if (segments.size() < 2)
        return;
    const std::string& kind = segments[1];
    const EventDeclaration* event = nullptr;
    if (kind == kSuccessName)
        event = &kSuccessEvent;
    else if (kind == kCancelName)
        event = &kCancelEvent;
    else if (kind == kErrorName)
        event = &kErrorEvent;
    if (!event)
        return;
    Notifications::forObject(objectId())->fire(*event, parametersFromQuery(url.query().value_or("")));
}

} // namespace morvix
