#include "widgets/containers/Browser.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixHTTPClient.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/ObjectDescription.h"
#include "platform/net/Url.h"
#include "platform/ui/Application.h"
#include "widgets/delegating/DelegatingWKView.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cmath>
#include <limits>

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kMorvixconnectEvent {
    .listen = "morvixconnect",
    .name = "morvixconnect",
    .attributes = R"({"url": string})",
    .note = "when the page goes to a URL beginning with \"morvix-connect:\" (which is not loaded), with the whole URL",
};
constexpr EventDeclaration kProgressEvent {
    .listen = "Progress",
    .name = "Progress",
    .note = "when a page has finished loading",
};
constexpr EventDeclaration kEvaluationSucceededCall {
    .name = "evaluationSucceeded",
    .attributes = R"({"result": [string]})",
    .sentWithoutListen = true,
    .note = "the answer to \"evaluate\": the script's result as text",
    .operation = EventDeclaration::Operation::Call,
};
constexpr EventDeclaration kEvaluationFailedCall {
    .name = "evaluationFailed",
    .sentWithoutListen = true,
    .note = "the answer to \"evaluate\" when the script gave no result or failed",
    .operation = EventDeclaration::Operation::Call,
};

} // namespace

const WireTable& Browser::wire()
{
    static const WireTable table = WireTable::extend(Control::wire())
                                       .event(kMorvixconnectEvent)
                                       .event(kProgressEvent)
                                       .event(kEvaluationSucceededCall)
                                       .event(kEvaluationFailedCall);
    return table;
}

const PropertyTable& Browser::properties()
{
    static const PropertyTable table = PropertyTable::extend<Browser>(Control::properties())
                                           .string("url", &Browser::setURL, &Browser::url)
                                           .string("html", &Browser::setHTML, &Browser::html)
                                           .flag("progressListener", &Browser::m_progressListener)
                                           .flag("morvixconnectListener", &Browser::m_morvixconnectListener);
    return table;
}

const PropertyNames& Browser::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(), { "url", "html" });
    return names;
}

Browser::Browser(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
{
    // The headless platform's foundation version is above the threshold, so the older view's
    // path is never taken and is not built: only the newer view runs scripts the way the
    // results are reported.
    bool older = std::floor(platform::DeviceInfo::kFoundationVersionNumber) <= kOlderWebViewFoundationVersion;
    assert(!older && "the older browser view is not built");
    (void)older;
    // A session's browsers share web processes; the session only tells the groups apart.
    m_wkView = DelegatingWKView::create({}, { .allowsInlineMediaPlayback = true, .processGroup = this->client().get() });
    registerSelector(&Browser::evaluate, "evaluate");
}

Browser::~Browser() = default;

void Browser::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<Browser>(shared_from_this());
    m_wkView->setNavigationDelegate(std::static_pointer_cast<platform::WKNavigationDelegate>(self));
    m_wkView->setLayoutDelegate(self);
}

std::shared_ptr<platform::View> Browser::view() const
{
    return m_wkView;
}

std::optional<std::string> Browser::url() const
{
    return m_wkView->currentURL();
}

void Browser::setURL(std::optional<std::string> url)
{
    m_url = std::move(url);
    if (m_url)
        m_html.reset();
    if (parent())
        loadURL();
}

void Browser::setHTML(std::optional<std::string> html)
{
    m_html = std::move(html);
    if (m_html)
        m_url.reset();
    if (parent())
        loadHTML();
}

void Browser::loadURL()
{
    if (!m_url)
        return;
    auto client = this->client();
    std::optional<platform::Url> resolved = client ? client->relativeURLToServer(*m_url) : std::nullopt;
    if (!resolved) {
        log("cannot resolve the url \"" + *m_url + "\"; nothing loaded", LogEntry::Type::Warning);
        return;
    }
    // A file the peer names is read only inside the application's folders, as everywhere.
    if (auto http = client->httpClient())
        m_wkView->setReadableFolders(http->readableFolders());
    m_wkView->loadRequest(resolved->absoluteString());
}

void Browser::loadHTML()
{
    if (m_html)
        m_wkView->loadHTMLString(*m_html);
}

void Browser::log(const std::string& text, LogEntry::Type type) const
{
    if (auto client = this->client())
        client->log(LogEntry("browser " + objectId() + ": " + text, type));
}

void Browser::didMoveToSuperview(const std::shared_ptr<platform::View>& superview)
{
    RemoteClass::didMoveToSuperview(superview);
    if (!parent())
        return;
    loadHTML();
    loadURL();
    auto queue = std::move(m_evaluateQueue);
    m_evaluateQueue.clear();
    for (const auto& script : queue)
        runScript(script);
}

void Browser::evaluate(const Value* properties)
{
    if (!properties || !properties->is_object())
        return;
    auto script = properties->find("script");
    if (script == properties->end() || !script->is_string())
        return;
    if (parent())
        runScript(script->get<std::string>());
    else
        m_evaluateQueue.push_back(script->get<std::string>());
}

std::size_t Browser::maximumResultSize() const
{
    auto client = this->client();
    auto http = client ? client->httpClient() : nullptr;
    auto bytes = http ? http->maximumResponseSize() : MorvixClient::kDefaultMaximumResponseSize;
    return static_cast<std::size_t>(std::min<std::uint64_t>(bytes, std::numeric_limits<std::size_t>::max()));
}

void Browser::runScript(const std::string& script)
{
    auto self = std::static_pointer_cast<Browser>(shared_from_this());
    std::size_t maximum = maximumResultSize();
    m_wkView->setMaximumResultSize(maximum);
    m_wkView->evaluateJavaScript(script, [self, maximum](platform::ScriptResult result) {
        std::optional<std::string> text;
        if (result.value) {
            text = platform::objectDescription(*result.value, maximum, platform::WKView::kMaximumResultDepth);
            if (!text)
                result.error = "its description is larger than " + std::to_string(maximum) + " bytes";
        }
        if (result.error)
            self->log("a script's result is not sent: " + *result.error, LogEntry::Type::Debug);
        auto notification = self->notificationForObject();
        if (!notification)
            return;
        if (text)
            notification->fire(kEvaluationSucceededCall, Value { { "result", Value::array({ std::move(*text) }) } });
        else
            notification->fire(kEvaluationFailedCall, Value::object());
    });
}

void Browser::openInApplication(const std::string& url) const
{
    // A page may open windows as often as it likes: what it opens goes to the application only
    // when the application opens such URLs, and never a file or a script of the page's.
    std::string scheme = url.substr(0, url.find(':'));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto& application = platform::Application::shared();
    if (scheme == "file" || scheme == "javascript" || !application.canOpenURL(url)) {
        log("the page's new window is not opened: no application opens \"" + url.substr(0, 200) + "\"", LogEntry::Type::Warning);
        return;
    }
    application.openURL(url);
}

platform::NavigationPolicy Browser::decidePolicy(platform::WKView&, const platform::NavigationAction& action)
{
    if (action.url.starts_with(kConnectScheme)) {
        if (m_morvixconnectListener) {
            if (auto notification = notificationForObject())
                notification->fire(kMorvixconnectEvent, Value { { "url", action.url } });
        }
        return platform::NavigationPolicy::Cancel;
    }
    if (!action.hasTargetFrame)
        openInApplication(action.url);
    return platform::NavigationPolicy::Allow;
}

void Browser::didFinishNavigation(platform::WKView& view)
{
    log("loaded " + view.currentURL().value_or("a page"), LogEntry::Type::Debug);
    if (!m_progressListener)
        return;
    if (auto notification = notificationForObject())
        notification->fire(kProgressEvent, Value::object());
}

void Browser::didFailNavigation(platform::WKView&, const std::string& error)
{
    log("loading failed: " + error, LogEntry::Type::Warning);
}

void Browser::didRefuseNavigation(platform::WKView&, const std::string& url, const std::string& reason)
{
    log("refused to load \"" + url + "\": " + reason, LogEntry::Type::Warning);
}

void Browser::didNotice(platform::WKView&, Notice notice, const std::string& text)
{
    switch (notice) {
    case Notice::Information:
        log(text, LogEntry::Type::Info);
        return;
    case Notice::Error:
        log(text, LogEntry::Type::Error);
        return;
    }
}

} // namespace morvix
