#pragma once
// The newer embedded browser view, on the web engine.

#include "platform/foundation/Value.h"
#include "platform/ui/screens/WebView.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

class Image;
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
    /// A navigation the delegate allowed but the view will not load (`WKView::refusal` says
    /// why), or a load refused before it began.
    virtual void didRefuseNavigation(WKView&, const std::string& url, const std::string& reason)
    {
        (void)url;
        (void)reason;
    }
};

/// What a script gave back: a value, nothing (no value and no error), or an error.
struct ScriptResult {
    std::optional<Value> value;
    std::optional<std::string> error;
};

/// The newer browser view: a page of the web engine (WebKitGTK) in an off-screen window of the
/// view's size, whose picture the view draws as its own content.
///
/// Loading:
///  1. `loadRequest` and `loadHTMLString` start a load at once (both are also recorded in
///     `loads()`); every navigation, those and the page's own (links, scripts, redirects, new
///     windows), is put to the navigation delegate when the engine reaches it, on a later turn.
///  2. The view itself loads only http, https, data and about URLs, and file URLs of regular
///     files inside the readable folders (`setReadableFolders`; none by default). It refuses any
///     other navigation even when the delegate allows it, and never opens a new window: a
///     new-window navigation is only put to the delegate. A refusal is told to the delegate.
///  3. A load that finishes calls `didFinishNavigation` once; one that fails (not one cancelled
///     by a refusal or replaced by a newer load) calls `didFailNavigation`. A load that never
///     ends calls nothing.
///  4. `currentURL` is the engine's address of the page, after redirects ("about:blank" for
///     HTML without a base URL); nothing before the first load.
///
/// Scripts: `evaluateJavaScript` runs in the page and answers once, on a later turn: a value
/// (numbers, strings, booleans, null, and arrays and objects as JSON values), nothing for
/// undefined, or an error (an exception, a function, a value with no JSON form). A script still
/// running when the view is destroyed is answered with an error on a later turn. A script that
/// never ends never answers.
///
/// Picture: after each finished load, each size change and each script, the view asks the engine
/// for a picture of the page and draws the latest one scaled into its bounds; drawing never
/// waits for one. Before the first picture it draws the labelled box of `WebView`.
///
/// The engine starts with the first load or script (`HeadlessDisplay` provides the display).
/// Where it cannot start, the view stays a stand-in: loads are recorded and never finish, and
/// scripts fail. The navigation delegate is held weakly. Main thread only.
class WKView : public WebView {
public:
    enum class LoadState { None, Loading, Finished, Failed };
    using Completion = std::function<void(ScriptResult)>;

    /// The longest side, in pixels, of the engine's window: larger views draw a picture of
    /// this size scaled up, so that a peer's huge bounds cannot size a huge page picture.
    static constexpr int kMaximumPixelSide = 4096;

    static std::shared_ptr<WKView> create(const Rect& frame = {}, WKViewConfiguration configuration = {});
    ~WKView() override;

    /// Sets up the web engine's process-wide state (its main thread and run loop on this thread
    /// and GLib's default context), which must come before the first script context of the
    /// JavaScriptCore the engine shares: made earlier, such a context leaves every later page load
    /// of the process waiting for good, and the script engine's own timers on a context nobody
    /// turns. Registers the engine's context class and nothing more (no display, no helper
    /// process, a few milliseconds). The script bridge calls it before its first context, a web
    /// view before its engine; later calls do nothing. Main thread.
    static void prepareEngine();
    const char* className() const override { return "WKView"; }

    const WKViewConfiguration& configuration() const { return m_configuration; }

    std::shared_ptr<WKNavigationDelegate> navigationDelegate() const { return m_navigationDelegate.lock(); }
    void setNavigationDelegate(std::weak_ptr<WKNavigationDelegate> delegate) { m_navigationDelegate = std::move(delegate); }

    /// The folders whose files the view may load (resolved and checked like every file a peer
    /// names); empty refuses every file URL.
    void setReadableFolders(std::vector<std::string> folders) { m_readableFolders = std::move(folders); }
    /// Why the view would not load `url`; nothing when it may.
    std::optional<std::string> refusal(const std::string& url) const;

    /// Starts loading `url`. A URL the view refuses is put to the delegate at once, which then
    /// hears of the refusal unless it cancelled it; the answer is false.
    bool loadRequest(const std::string& url);
    /// Starts showing `html`; false when the base URL is refused. No base URL loads it as
    /// "about:blank".
    bool loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL = std::nullopt);

    /// The address of the page shown; nothing before the first load.
    std::optional<std::string> currentURL() const;
    LoadState loadState() const { return m_loadState; }

    void evaluateJavaScript(const std::string& script, Completion completion);

    /// Whether the engine runs for this view (it starts with the first load or script).
    bool hasEngine() const { return m_engine != nullptr; }
    /// The latest picture of the page; null before the first.
    const std::shared_ptr<Image>& snapshot() const { return m_snapshot; }
    /// How many loads and pictures are under way in every view of the process, so that a
    /// picture of the screen can wait for them.
    static std::size_t workInFlight();

    std::string placeholderText() const override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    void layoutSubviews() override;

protected:
    explicit WKView(const Rect& frame, WKViewConfiguration configuration = {});

private:
    struct Engine;
    friend struct Engine;
    /// A script waiting for its answer; its completion is taken by whoever answers first.
    struct PendingScript {
        Completion completion;
    };

    bool ensureEngine();
    void followSize();
    void requestSnapshot();
    void setLoading(bool loading);
    void setSnapshotPending(bool pending);
    NavigationPolicy decide(const NavigationAction& action);
    void loadStarted();
    void loadFinished();
    void loadFailed(const std::string& url, const std::string& error, bool cancelled);
    void snapshotArrived(std::shared_ptr<Image> picture);

    WKViewConfiguration m_configuration;
    std::weak_ptr<WKNavigationDelegate> m_navigationDelegate;
    std::vector<std::string> m_readableFolders;
    std::optional<std::string> m_standInURL; // the address while no engine runs
    LoadState m_loadState = LoadState::None;
    bool m_loadFailed = false; // the current load failed; its end reports no finish
    bool m_loading = false; // counted in workInFlight
    bool m_snapshotPending = false; // counted in workInFlight
    bool m_snapshotStale = false; // the page changed while a picture was being taken
    bool m_engineUnavailable = false;
    std::shared_ptr<Image> m_snapshot;
    std::vector<std::shared_ptr<PendingScript>> m_scripts;
    std::unique_ptr<Engine> m_engine;
};

} // namespace morvix::platform
