#pragma once
// "zub.widgets.Browser": web content from a URL or an HTML string, with scripts run on request.

#include "core/base/LogEntry.h"
#include "platform/ui/screens/WKView.h"
#include "widgets/foundation/Control.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class DelegatingWKView;

/// Shows a URL (resolved against the server) or an HTML string in the newer browser view.
///
/// - "url" and "html" clear each other. They load only while the browser has a parent: at once
///   when set, and again, "html" then "url", each time the browser is placed; placing it then
///   runs the scripts queued by "evaluate" in order.
/// - The call "evaluate" {"script": string} runs the script at once with a parent, else queues
///   it; a missing or non-string "script" is ignored. The result goes back as the call
///   "evaluationSucceeded" {"result": [text]} (the text is `platform::objectDescription` of the
///   value) or "evaluationFailed" {} when the script gave no value, or one whose text or
///   description would pass the session's maximum response size (or nest deeper than
///   `platform::WKView::kMaximumResultDepth`). The completion holds the browser, so a result may
///   still be reported after destroy.
/// - A navigation to a URL beginning with "morvix-connect:" is cancelled and, when listened,
///   reported as "morvixconnect" {"url"}; every other one is allowed, and a link or script that
///   opens a new window also hands its URL to `platform::Application::openURL`, when the
///   application can open it (`canOpenURL`, as "morvix.AppLauncher" asks) and it is neither a
///   "file:" nor a "javascript:" URL. A finished load sends "Progress" {} when listened.
/// - The browsers of one session share the web engine's processes.
/// - "get" of "url" reads the page's address (after redirects; nothing before a load,
///   "about:blank" after HTML), not the stored string.
/// - The web view loads http, https, data and about URLs, and files only inside the session's
///   readable folders (the application's folder and the local resource roots); what it refuses,
///   the loads that fail and those that finish, and what the page asked for that nobody answers
///   (dialogs, printing, credentials, downloads) are written to the session log.
///
/// Main thread only.
class Browser : public RemoteClass<Browser, Control>, public platform::WKNavigationDelegate {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Browser";
    /// The prefix of the links the browser reports instead of loading.
    static constexpr std::string_view kConnectScheme = "morvix-connect:";
    /// The older browser view serves platforms whose foundation version is at most this.
    static constexpr double kOlderWebViewFoundationVersion = 1047.25;

    static const PropertyTable& properties();
    /// "morvixconnect", "Progress" and the answers to "evaluate".
    static const WireTable& wire();
    /// `Control`'s names plus "url" and "html".
    static const PropertyNames& remoteObjectProperties();

    Browser(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Browser() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingWKView>& webView() const { return m_wkView; }

    std::optional<std::string> url() const;
    void setURL(std::optional<std::string> url);
    const std::optional<std::string>& html() const { return m_html; }
    void setHTML(std::optional<std::string> html);

    /// The call "evaluate".
    void evaluate(const platform::Value* properties);

    void didMoveToSuperview(const std::shared_ptr<platform::View>& superview) override;

    // WKNavigationDelegate
    platform::NavigationPolicy decidePolicy(platform::WKView& view, const platform::NavigationAction& action) override;
    void didFinishNavigation(platform::WKView& view) override;
    void didFailNavigation(platform::WKView& view, const std::string& error) override;
    void didRefuseNavigation(platform::WKView& view, const std::string& url, const std::string& reason) override;
    void didNotice(platform::WKView& view, Notice notice, const std::string& text) override;

protected:
    void didConstruct() override;

private:
    void loadURL();
    void loadHTML();
    void runScript(const std::string& script);
    void openInApplication(const std::string& url) const;
    std::size_t maximumResultSize() const;
    void log(const std::string& text, LogEntry::Type type) const;

    std::shared_ptr<DelegatingWKView> m_wkView;
    std::optional<std::string> m_url;
    std::optional<std::string> m_html;
    std::vector<std::string> m_evaluateQueue;
    bool m_progressListener = false;
    bool m_morvixconnectListener = false;
};

} // namespace morvix
