#pragma once
// The newer embedded browser view, on the web engine.

#include "platform/foundation/Clock.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/Value.h"
#include "platform/ui/screens/HeadlessDisplay.h"
#include "platform/ui/screens/WebView.h"

#include <cstddef>
#include <cstdint>
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
    /// Views of one group (a session's browsers) share the engine's web processes; the value
    /// only tells groups apart. Views without one form one group of their own.
    const void* processGroup = nullptr;
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
    enum class Notice { Information, Error };
    /// A line for the log: what the page asked for that the view does not do (printing, a
    /// dialog, credentials, a download), or why the view shows no page (the engine could not
    /// start, or its display was lost). The default writes it to the system log.
    virtual void didNotice(WKView& view, Notice notice, const std::string& text);
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
///     Everything a file page loads (scripts, pictures, style sheets, frames) is held to the same
///     folders by a content filter of the engine; a file page waits until that filter is in.
///  3. A response that is an attachment, or of a type the engine does not show, is not shown
///     and never downloaded: the delegate hears it as a refused navigation. No download starts.
///  4. A load that finishes calls `didFinishNavigation` once; one that fails (not one cancelled
///     by a refusal or replaced by a newer load) calls `didFailNavigation`. A load that never
///     ends calls nothing.
///  5. `currentURL` is the engine's address of the page, after redirects ("about:blank" for
///     HTML without a base URL); nothing before the first load.
///
/// What a page asks of a person goes on without one, as for an application that shows no
/// dialogs, and is told to the delegate (`didNotice`, at most `kMaximumNoticesPerLoad` a load):
/// an alert returns, a confirmation is refused, a prompt answers null, leaving the page is
/// allowed, printing does nothing, and an authentication challenge goes on without credentials
/// (so the server's own answer, a 401 page, is shown).
///
/// Scripts: `evaluateJavaScript` runs in the page and answers once, on a later turn: a value
/// (numbers, strings, booleans, null, and arrays and objects as JSON values), nothing for
/// undefined, or an error (an exception, a function, a value with no JSON form, a value larger
/// than `maximumResultSize` or nested deeper than `kMaximumResultDepth`). A script still running
/// when the view is destroyed is answered with an error on a later turn. A script that never
/// ends never answers.
///
/// Picture: the view asks the engine for a picture of the page after each finished load, each
/// size change and each script, and whenever the page repaints itself (at most once per
/// `kRepaintInterval` on `Clock::current()`). It draws the latest picture at the size it was
/// taken, from its top left corner, clipped to its bounds (white beside it); drawing never waits
/// for one. Before the first picture it draws the labelled box of `WebView`.
///
/// Engine: it starts with the first load or script. Views of one process group share web
/// processes, and a view's process ends with the last view of its group (and at exit), so no
/// page runs on after its view. At most `kMaximumLiveEngines` engines run at once, and their
/// windows hold at most `kMaximumTotalPixels` pixels together: a view past either bound stays a
/// stand-in, with an error told to the delegate, and a view that grows past the pixel bound is
/// drawn at a lower resolution. `HeadlessDisplay` provides the display: while it comes up, the
/// view waits (its latest load and its scripts start once it is up; the wait counts in
/// `workInFlight`). Where the engine cannot start, or its display is lost, the view is a
/// stand-in: loads are recorded and never finish, and scripts fail. The engine's helper processes
/// keep what they cache in the application's caches folder (`BundleInfo::cachesPath`, put into
/// XDG_CACHE_HOME for them when the first engine starts), where the content filters are compiled
/// too (and removed once loaded).
///
/// The navigation delegate is held weakly. Main thread only.
class WKView : public WebView {
public:
    enum class LoadState { None, Loading, Finished, Failed };
    using Completion = std::function<void(ScriptResult)>;

    /// The longest side, in pixels, of the engine's window: larger views draw a picture of
    /// this size scaled up, so that a peer's huge bounds cannot size a huge page picture.
    static constexpr int kMaximumPixelSide = 4096;
    /// How many views run an engine at once.
    static constexpr std::size_t kMaximumLiveEngines = 8;
    /// The pixels of every engine's window together (some 128 MB of pictures).
    static constexpr std::int64_t kMaximumTotalPixels = std::int64_t(32) << 20;
    /// The shortest time between two pictures taken because the page repainted itself.
    static constexpr auto kRepaintInterval = std::chrono::milliseconds(100);
    /// How deeply a script's result may nest arrays and objects.
    static constexpr std::size_t kMaximumResultDepth = 512;
    /// How many lines a page's load may have told to `didNotice`; the rest are dropped.
    static constexpr std::size_t kMaximumNoticesPerLoad = 32;

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
    void setReadableFolders(std::vector<std::string> folders);
    /// The largest script result, in bytes of its text or JSON form; larger ones are errors.
    std::size_t maximumResultSize() const { return m_maximumResultSize; }
    void setMaximumResultSize(std::size_t bytes) { m_maximumResultSize = bytes; }
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
    /// How many loads, pictures and size changes are under way in every view of the process, so
    /// that a picture of the screen can wait for them.
    static std::size_t workInFlight();
    /// How many views of the process run an engine now.
    static std::size_t liveEngines();

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
    /// A load asked for while the display comes up.
    struct PendingLoad {
        std::string url;
        std::optional<std::string> html;
    };
    enum class EngineState { Running, Waiting, Unavailable };
    /// The engine's window for the view's size, and the zoom that lays the page out in points.
    struct PixelSize {
        int width = 1;
        int height = 1;
        double zoom = 1;
    };

    EngineState ensureEngine();
    bool startEngine();
    void becomeStandIn(const std::string& why);
    static void displayChanged(HeadlessDisplay::Change change);
    void startOrQueue(PendingLoad load);
    void startLoad(const PendingLoad& load);
    void standInLoad(const std::string& url);
    void runScript(const std::string& script, Completion completion);
    void failScripts(const std::string& reason);
    PixelSize pixelSize() const;
    void followSize();
    void pageRepainted();
    void requestSnapshot();
    void setLoading(bool loading);
    void setSnapshotPending(bool pending);
    void setResizePending(bool pending);
    void notice(WKNavigationDelegate::Notice notice, const std::string& text);
    NavigationPolicy decide(const NavigationAction& action);
    void responseRefused(const std::string& url, const std::string& reason);
    void filterChanged();
    void loadStarted();
    void loadFinished();
    void loadFailed(const std::string& url, const std::string& error, bool cancelled);
    void snapshotArrived(std::shared_ptr<Image> picture, std::uint64_t sizeGeneration);

    WKViewConfiguration m_configuration;
    std::weak_ptr<WKNavigationDelegate> m_navigationDelegate;
    std::vector<std::string> m_readableFolders;
    std::string m_filterRules; // the engine's content filter for the folders
    std::size_t m_maximumResultSize = std::size_t(256) << 20;
    std::optional<std::string> m_standInURL; // the address while no engine runs
    std::optional<PendingLoad> m_pendingLoad; // the latest load while the display comes up
    std::vector<std::pair<std::string, Completion>> m_waitingScripts; // while the display comes up
    LoadState m_loadState = LoadState::None;
    bool m_loadFailed = false; // the current load failed; its end reports no finish
    bool m_loading = false; // counted in workInFlight
    bool m_snapshotPending = false; // counted in workInFlight
    bool m_resizePending = false; // counted in workInFlight: a new size not yet in a picture
    bool m_snapshotStale = false; // the page changed while a picture was being taken
    bool m_waitingForDisplay = false;
    bool m_engineUnavailable = false;
    std::size_t m_notices = 0; // told to the delegate since the load began
    std::uint64_t m_sizeGeneration = 0; // counts the engine's size changes
    std::uint64_t m_allocatedGeneration = 0; // the size change the engine's window has taken
    TimePoint m_lastSnapshot {};
    Timer m_repaintTimer;
    std::shared_ptr<Image> m_snapshot;
    std::vector<std::shared_ptr<PendingScript>> m_scripts;
    std::unique_ptr<Engine> m_engine;
};

} // namespace morvix::platform
