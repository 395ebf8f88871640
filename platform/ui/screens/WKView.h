#pragma once
// The stand-in of the newer embedded browser view.

#include "platform/foundation/Value.h"
#include "platform/ui/screens/WebView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

class WKView;

/// How the newer browser view is set up when it is made.
struct WKViewConfiguration {
    bool allowsInlineMediaPlayback = false;
};

/// One navigation the view asks its navigation delegate about.
struct NavigationAction {
    enum class Type { LinkActivated, Other };
    std::string url;
    Type type = Type::Other;
    /// False for a link that opens a new window.
    bool hasTargetFrame = true;
};

enum class NavigationPolicy { Cancel, Allow };

/// Decides the view's navigations and hears how its loads end. Every call has a default: allow,
/// and ignore the ends.
class WKNavigationDelegate {
public:
    virtual ~WKNavigationDelegate() = default;
    virtual NavigationPolicy decidePolicy(WKView&, const NavigationAction&) { return NavigationPolicy::Allow; }
    virtual void didFinishNavigation(WKView&) { }
    virtual void didFailNavigation(WKView&, const std::string& error) { (void)error; }
};

/// What a script gave back: a value, nothing (no value and no error), or an error.
struct ScriptResult {
    std::optional<Value> value;
    std::optional<std::string> error;
};

/// Runs scripts for a view's current page. `reset` is called for every allowed navigation: the
/// next script runs in a fresh context. Main thread only.
class ScriptEngine {
public:
    virtual ~ScriptEngine() = default;
    virtual void reset() = 0;
    virtual ScriptResult evaluate(const std::string& script) = 0;
};

/// The newer browser view's stand-in. The headless platform has no web engine: nothing is
/// fetched, parsed or drawn beyond the labelled box of `WebView`, which also names the load's
/// state once it has finished or failed.
///
/// 1. `loadRequest` and `loadHTMLString` are navigations of type Other, and `activateLink` (a
///    person's tap on a link in the page) one of type LinkActivated; each is put to the
///    navigation delegate first. A cancelled one changes nothing. An allowed one is recorded in
///    `loads()`, sets `currentURL()` ("about:blank" for HTML without a base URL) and starts a
///    fresh script context; a new-window link (`LinkTarget::NewWindow`) loads nothing here.
/// 2. A load finishes only when a test or the embedding application says so with
///    `finishNavigation()` or `failNavigation(error)`; a newer load drops the pending one.
///    Nothing reports a finish by itself.
/// 3. `evaluateJavaScript` answers on a later main-loop turn: first from the script responder,
///    when one is installed and knows the script, else from the script engine (without one:
///    an error). The page's objects (`document`, `location`) do not exist for scripts.
///
/// The navigation delegate is held weakly. Main thread only.
class WKView : public WebView {
public:
    enum class LoadState { None, Loading, Finished, Failed };
    enum class LinkTarget { SameFrame, NewWindow };
    using Completion = std::function<void(ScriptResult)>;
    /// Answers a script it knows, or nothing to let the engine run it.
    using ScriptResponder = std::function<std::optional<ScriptResult>(const std::string& script)>;

    static std::shared_ptr<WKView> create(const Rect& frame = {}, WKViewConfiguration configuration = {});
    const char* className() const override { return "WKView"; }

    const WKViewConfiguration& configuration() const { return m_configuration; }

    std::shared_ptr<WKNavigationDelegate> navigationDelegate() const { return m_navigationDelegate.lock(); }
    void setNavigationDelegate(std::weak_ptr<WKNavigationDelegate> delegate) { m_navigationDelegate = std::move(delegate); }

    void loadRequest(const std::string& url);
    void loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL = std::nullopt);
    void activateLink(const std::string& url, LinkTarget target);

    /// The URL of the page shown; nothing before the first allowed load.
    const std::optional<std::string>& currentURL() const { return m_currentURL; }
    LoadState loadState() const { return m_loadState; }
    /// Ends the pending load and tells the delegate; nothing without a pending load.
    void finishNavigation();
    void failNavigation(const std::string& error);

    void evaluateJavaScript(const std::string& script, Completion completion);
    void setScriptResponder(ScriptResponder responder) { m_scriptResponder = std::move(responder); }
    void setScriptEngine(std::unique_ptr<ScriptEngine> engine) { m_scriptEngine = std::move(engine); }

    std::string placeholderText() const override;

protected:
    explicit WKView(const Rect& frame, WKViewConfiguration configuration = {});

private:
    /// Puts the navigation to the delegate; true when it may go ahead.
    bool allows(const NavigationAction& action);
    void beginNavigation(std::string url);

    WKViewConfiguration m_configuration;
    std::weak_ptr<WKNavigationDelegate> m_navigationDelegate;
    std::optional<std::string> m_currentURL;
    LoadState m_loadState = LoadState::None;
    ScriptResponder m_scriptResponder;
    std::unique_ptr<ScriptEngine> m_scriptEngine;
};

} // namespace morvix::platform
