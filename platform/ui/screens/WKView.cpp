#include "platform/ui/screens/WKView.h"

#include "platform/foundation/ConfinedFile.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SystemLog.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/screens/HeadlessDisplay.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace morvix::platform {

namespace {

// Loads and pictures under way in every view; main thread only.
std::size_t s_workInFlight = 0;

// The engine's context, shared by every view that runs at the same time, so that they share
// one network process and one cookie jar. It is ephemeral (nothing is written to disk) and
// goes, with its network process, when the last view goes.
struct SharedContext {
    WebKitWebContext* context = nullptr;
    std::size_t users = 0;
};

SharedContext& sharedContext()
{
    static SharedContext shared;
    return shared;
}

WebKitWebContext* acquireContext()
{
    SharedContext& shared = sharedContext();
    if (!shared.context) {
        shared.context = webkit_web_context_new_ephemeral();
        webkit_web_context_set_cache_model(shared.context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    }
    ++shared.users;
    return shared.context;
}

void releaseContext()
{
    SharedContext& shared = sharedContext();
    if (shared.users == 0 || --shared.users > 0)
        return;
    g_object_unref(shared.context);
    shared.context = nullptr;
}

std::string schemeOf(const std::string& url)
{
    auto colon = url.find(':');
    if (colon == std::string::npos)
        return {};
    std::string scheme = url.substr(0, colon);
    for (char& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme;
}

bool isCancellation(const GError* error)
{
    return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)
        || g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)
        || g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
}

// Numbers come back as doubles; whole ones within the exact range of a double become integers,
// so that 42 reads "42" and not "42.0".
Value numberValue(double number)
{
    constexpr double kExactIntegers = 9007199254740992.0; // 2^53
    if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < kExactIntegers)
        return Value(static_cast<std::int64_t>(number));
    return Value(number);
}

ScriptResult scriptResult(JSCValue* value)
{
    if (jsc_value_is_undefined(value))
        return {};
    if (jsc_value_is_null(value))
        return { Value(nullptr), std::nullopt };
    if (jsc_value_is_boolean(value))
        return { Value(static_cast<bool>(jsc_value_to_boolean(value))), std::nullopt };
    if (jsc_value_is_number(value))
        return { numberValue(jsc_value_to_double(value)), std::nullopt };
    if (jsc_value_is_string(value)) {
        gchar* text = jsc_value_to_string(value);
        ScriptResult result { Value(text ? text : ""), std::nullopt };
        g_free(text);
        return result;
    }
    if (jsc_value_is_function(value))
        return { std::nullopt, std::string("a function has no value to hand back") };
    if (jsc_value_is_object(value)) {
        gchar* json = jsc_value_to_json(value, 0);
        if (!json) {
            jsc_context_clear_exception(jsc_value_get_context(value));
            return { std::nullopt, std::string("the result has no value to hand back") };
        }
        Value parsed = Value::parse(json, nullptr, false);
        g_free(json);
        if (parsed.is_discarded())
            return { std::nullopt, std::string("the result has no value to hand back") };
        return { std::move(parsed), std::nullopt };
    }
    return { std::nullopt, std::string("the result has no value to hand back") };
}


// What a picture's arrival needs.
struct SnapshotRequest {
    std::weak_ptr<WKView> view;
    double scale = 1;
};

} // namespace

void WKView::prepareEngine()
{
    static const bool prepared = [] {
        g_type_class_unref(g_type_class_ref(webkit_web_context_get_type()));
        return true;
    }();
    (void)prepared;
}

/// The engine's objects for one view: the off-screen window and the page in it, signals that
/// reach the view, and the cancellable that ends the view's pending requests with it.
struct WKView::Engine {
    Engine(WKView& owner, const WKViewConfiguration& configuration);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer owner);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* navigation, gpointer owner);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer owner);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer owner);
    static void onSizeAllocate(GtkWidget*, GdkRectangle*, gpointer owner);
    static void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer owner);
    /// What an evaluation's completion needs; the view is held weakly.
    struct ScriptCall {
        std::weak_ptr<WKView> view;
        std::shared_ptr<PendingScript> script;
    };
    static void onScriptFinished(GObject* source, GAsyncResult* result, gpointer data);
    static void onSnapshotFinished(GObject* source, GAsyncResult* result, gpointer data);

    WKView& owner;
    GtkWidget* window = nullptr;
    WebKitWebView* webView = nullptr;
    GCancellable* cancellable = nullptr;
    int pixelWidth = 0;
    int pixelHeight = 0;
    double zoom = 1;
};

WKView::Engine::Engine(WKView& view, const WKViewConfiguration& configuration)
    : owner(view)
    , cancellable(g_cancellable_new())
{
    WebKitSettings* settings = webkit_settings_new_with_settings(
        "enable-javascript", TRUE,
        // Otherwise a script's window.open or a scripted click on a new-window link never
        // reaches the navigation delegate.
        "javascript-can-open-windows-automatically", TRUE,
        "media-playback-allows-inline", static_cast<gboolean>(configuration.allowsInlineMediaPlayback),
        "hardware-acceleration-policy", WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER,
        "enable-page-cache", FALSE,
        "allow-file-access-from-file-urls", FALSE,
        "allow-universal-access-from-file-urls", FALSE,
        nullptr);
    webView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", acquireContext(), "settings", settings, nullptr));
    g_object_unref(settings);
    window = gtk_offscreen_window_new();
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(webView));
    g_signal_connect(webView, "decide-policy", G_CALLBACK(onDecidePolicy), &owner);
    g_signal_connect(webView, "create", G_CALLBACK(onCreate), &owner);
    g_signal_connect(webView, "load-changed", G_CALLBACK(onLoadChanged), &owner);
    g_signal_connect(webView, "load-failed", G_CALLBACK(onLoadFailed), &owner);
    g_signal_connect(webView, "size-allocate", G_CALLBACK(onSizeAllocate), &owner);
    g_signal_connect(webView, "web-process-terminated", G_CALLBACK(onWebProcessTerminated), &owner);
    gtk_widget_show_all(window);
}

WKView::Engine::~Engine()
{
    g_cancellable_cancel(cancellable);
    g_signal_handlers_disconnect_by_data(webView, &owner);
    gtk_widget_destroy(window);
    g_object_unref(cancellable);
    releaseContext();
}

namespace {

NavigationAction navigationAction(WebKitNavigationAction* navigation, bool hasTargetFrame)
{
    const gchar* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(navigation));
    NavigationAction action;
    action.url = uri ? uri : "";
    bool link = webkit_navigation_action_get_navigation_type(navigation) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED;
    action.type = link ? NavigationAction::Type::LinkActivated : NavigationAction::Type::Other;
    action.hasTargetFrame = hasTargetFrame;
    return action;
}

} // namespace

gboolean WKView::Engine::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer owner)
{
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
        return FALSE; // the engine's own choice: show what it can, download nothing
    auto* navigation = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    bool newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
    if (static_cast<WKView*>(owner)->decide(navigationAction(navigation, !newWindow)) == NavigationPolicy::Allow)
        webkit_policy_decision_use(decision);
    else
        webkit_policy_decision_ignore(decision);
    return TRUE;
}

// A script's window.open asks for a page of its own without a policy decision first: it is put
// to the delegate as a new-window navigation, and no page is made.
GtkWidget* WKView::Engine::onCreate(WebKitWebView*, WebKitNavigationAction* navigation, gpointer owner)
{
    static_cast<WKView*>(owner)->decide(navigationAction(navigation, false));
    return nullptr;
}

void WKView::Engine::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer owner)
{
    auto* view = static_cast<WKView*>(owner);
    switch (event) {
    case WEBKIT_LOAD_STARTED:
        view->loadStarted();
        return;
    case WEBKIT_LOAD_REDIRECTED:
    case WEBKIT_LOAD_COMMITTED:
        return;
    case WEBKIT_LOAD_FINISHED:
        view->loadFinished();
        return;
    }
}

gboolean WKView::Engine::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer owner)
{
    static_cast<WKView*>(owner)->loadFailed(uri ? uri : "", error ? error->message : "unknown error", isCancellation(error));
    return TRUE; // no error page: the failure is reported instead
}

void WKView::Engine::onSizeAllocate(GtkWidget*, GdkRectangle*, gpointer owner)
{
    auto* view = static_cast<WKView*>(owner);
    if (view->m_loadState == LoadState::Finished || view->m_loadState == LoadState::Failed)
        view->requestSnapshot();
}

void WKView::Engine::onWebProcessTerminated(WebKitWebView* webView, WebKitWebProcessTerminationReason reason, gpointer owner)
{
    const gchar* uri = webkit_web_view_get_uri(webView);
    std::string why = reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "exceeded its memory limit" : "ended";
    systemLog("web view: the page's process " + why + " (" + std::string(uri ? uri : "no page") + ")");
    auto* view = static_cast<WKView*>(owner);
    if (view->m_loadState == LoadState::Loading)
        view->loadFailed(uri ? uri : "", "the page's process " + why, false);
    view->setLoading(false);
}

void WKView::Engine::onScriptFinished(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<ScriptCall> call(static_cast<ScriptCall*>(data));
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    ScriptResult answer;
    if (value) {
        answer = scriptResult(value);
        g_object_unref(value);
    } else {
        answer.error = error ? error->message : "the script failed";
        g_clear_error(&error);
    }
    auto completion = std::move(call->script->completion);
    call->script->completion = nullptr;
    if (auto view = call->view.lock()) {
        std::erase(view->m_scripts, call->script);
        view->requestSnapshot(); // a script may change the page
    }
    if (completion)
        completion(std::move(answer));
}

void WKView::Engine::onSnapshotFinished(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<SnapshotRequest> request(static_cast<SnapshotRequest*>(data));
    GError* error = nullptr;
    cairo_surface_t* surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, &error);
    auto picture = surface ? Image::adopt(surface, request->scale) : nullptr;
    if (error && !isCancellation(error))
        systemLog(std::string("web view: no picture of the page (") + error->message + ")");
    g_clear_error(&error);
    if (auto view = request->view.lock())
        view->snapshotArrived(std::move(picture));
}

std::shared_ptr<WKView> WKView::create(const Rect& frame, WKViewConfiguration configuration)
{
    return std::shared_ptr<WKView>(new WKView(frame, configuration));
}

WKView::WKView(const Rect& frame, WKViewConfiguration configuration)
    : WebView(frame)
    , m_configuration(configuration)
{
}

WKView::~WKView()
{
    setLoading(false);
    setSnapshotPending(false);
    m_engine.reset();
    // The engine may never answer for a page that is gone.
    for (auto& script : m_scripts) {
        if (!script->completion)
            continue;
        MainLoop::main().post([completion = std::move(script->completion)] {
            completion({ std::nullopt, std::string("the web view went away") });
        });
        script->completion = nullptr;
    }
}

std::size_t WKView::workInFlight()
{
    return s_workInFlight;
}

void WKView::setLoading(bool loading)
{
    if (loading == m_loading)
        return;
    m_loading = loading;
    loading ? ++s_workInFlight : --s_workInFlight;
}

void WKView::setSnapshotPending(bool pending)
{
    if (pending == m_snapshotPending)
        return;
    m_snapshotPending = pending;
    pending ? ++s_workInFlight : --s_workInFlight;
}

bool WKView::ensureEngine()
{
    if (m_engine)
        return true;
    prepareEngine();
    if (m_engineUnavailable || !HeadlessDisplay::ensureToolkit()) {
        m_engineUnavailable = true;
        return false;
    }
    m_engine = std::make_unique<Engine>(*this, m_configuration);
    followSize();
    return true;
}

void WKView::followSize()
{
    if (!m_engine)
        return;
    Size size = bounds().size;
    double scale = std::max(Screen::main().scale(), 1.0);
    auto pixels = [&](double points) {
        double wanted = std::isfinite(points) ? std::ceil(std::max(points, 1.0) * scale) : 1;
        return static_cast<int>(std::min<double>(wanted, kMaximumPixelSide));
    };
    int width = pixels(size.width);
    int height = pixels(size.height);
    // The page is laid out in the view's points and drawn at the screen's scale: a window
    // `scale` times the size, zoomed by as much. A clamped window zooms less.
    double zoom = scale;
    if (size.width > 0 && std::isfinite(size.width))
        zoom = std::min(zoom, width / size.width);
    if (size.height > 0 && std::isfinite(size.height))
        zoom = std::min(zoom, height / size.height);
    zoom = std::max(zoom, 0.01);
    if (width == m_engine->pixelWidth && height == m_engine->pixelHeight && zoom == m_engine->zoom)
        return;
    m_engine->pixelWidth = width;
    m_engine->pixelHeight = height;
    m_engine->zoom = zoom;
    gtk_widget_set_size_request(GTK_WIDGET(m_engine->webView), width, height);
    gtk_window_resize(GTK_WINDOW(m_engine->window), width, height);
    webkit_web_view_set_zoom_level(m_engine->webView, zoom);
}

std::optional<std::string> WKView::refusal(const std::string& url) const
{
    std::string scheme = schemeOf(url);
    if (scheme == "http" || scheme == "https" || scheme == "data" || scheme == "about")
        return std::nullopt;
    if (scheme != "file")
        return "the web view loads no \"" + scheme + "\" URLs";
    auto file = ConfinedFile::locate(url, m_readableFolders, ConfinedFile::kDefaultMaximumSize);
    if (file)
        return std::nullopt;
    return file.reason;
}

NavigationPolicy WKView::decide(const NavigationAction& action)
{
    // The delegate may drop the last reference to this view.
    auto self = shared_from_this();
    auto delegate = navigationDelegate();
    if (delegate && delegate->decidePolicy(*this, action) == NavigationPolicy::Cancel)
        return NavigationPolicy::Cancel;
    if (!action.hasTargetFrame)
        return NavigationPolicy::Cancel; // the view shows one page and opens no windows
    if (auto reason = refusal(action.url)) {
        if (delegate)
            delegate->didRefuseNavigation(*this, action.url, *reason);
        return NavigationPolicy::Cancel;
    }
    return NavigationPolicy::Allow;
}

bool WKView::loadRequest(const std::string& url)
{
    if (refusal(url)) {
        // Put to the delegate like any navigation, which then hears of the refusal, unless it
        // cancelled the load itself.
        decide({ url, NavigationAction::Type::Other, true });
        return false;
    }
    loadURL(url);
    if (!ensureEngine()) {
        // The stand-in: the delegate decides at once, and nothing finishes.
        if (decide({ url, NavigationAction::Type::Other, true }) == NavigationPolicy::Allow) {
            m_standInURL = url;
            m_loadState = LoadState::Loading;
        }
        return true;
    }
    setLoading(true);
    webkit_web_view_load_uri(m_engine->webView, url.c_str());
    return true;
}

bool WKView::loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL)
{
    bool hasBase = baseURL && !baseURL->empty();
    if (hasBase) {
        if (auto reason = refusal(*baseURL)) {
            if (auto delegate = navigationDelegate())
                delegate->didRefuseNavigation(*this, *baseURL, *reason);
            return false;
        }
    }
    WebView::loadHTMLString(html, hasBase ? *baseURL : std::string());
    if (!ensureEngine()) {
        std::string url = hasBase ? *baseURL : "about:blank";
        if (decide({ url, NavigationAction::Type::Other, true }) == NavigationPolicy::Allow) {
            m_standInURL = url;
            m_loadState = LoadState::Loading;
        }
        return true;
    }
    setLoading(true);
    webkit_web_view_load_html(m_engine->webView, html.c_str(), hasBase ? baseURL->c_str() : nullptr);
    return true;
}

std::optional<std::string> WKView::currentURL() const
{
    if (!m_engine)
        return m_standInURL;
    const gchar* uri = webkit_web_view_get_uri(m_engine->webView);
    if (!uri || !*uri)
        return std::nullopt;
    return std::string(uri);
}

void WKView::loadStarted()
{
    m_loadState = LoadState::Loading;
    m_loadFailed = false;
    setLoading(true);
}

void WKView::loadFinished()
{
    auto self = shared_from_this();
    setLoading(false);
    requestSnapshot();
    if (m_loadFailed)
        return;
    m_loadState = LoadState::Finished;
    setNeedsDisplay();
    if (auto delegate = navigationDelegate())
        delegate->didFinishNavigation(*this);
}

void WKView::loadFailed(const std::string& url, const std::string& error, bool cancelled)
{
    auto self = shared_from_this();
    m_loadFailed = true;
    if (cancelled)
        return; // refused, or replaced by a newer load: the newer one reports
    m_loadState = LoadState::Failed;
    setNeedsDisplay();
    if (auto delegate = navigationDelegate())
        delegate->didFailNavigation(*this, url.empty() ? error : url + ": " + error);
}

void WKView::evaluateJavaScript(const std::string& script, Completion completion)
{
    if (!ensureEngine()) {
        MainLoop::main().post([completion = std::move(completion)] {
            if (completion)
                completion({ std::nullopt, std::string("no web engine") });
        });
        return;
    }
    auto pending = std::make_shared<PendingScript>(PendingScript { std::move(completion) });
    m_scripts.push_back(pending);
    auto* call = new Engine::ScriptCall { std::static_pointer_cast<WKView>(shared_from_this()), std::move(pending) };
    webkit_web_view_evaluate_javascript(m_engine->webView, script.data(), static_cast<gssize>(script.size()), nullptr,
        nullptr, m_engine->cancellable, Engine::onScriptFinished, call);
}

void WKView::requestSnapshot()
{
    if (!m_engine || m_loadState == LoadState::None)
        return;
    if (m_snapshotPending) {
        m_snapshotStale = true;
        return;
    }
    m_snapshotStale = false;
    setSnapshotPending(true);
    auto* request = new SnapshotRequest { std::static_pointer_cast<WKView>(shared_from_this()), m_engine->zoom };
    webkit_web_view_get_snapshot(m_engine->webView, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE,
        m_engine->cancellable, Engine::onSnapshotFinished, request);
}

void WKView::snapshotArrived(std::shared_ptr<Image> picture)
{
    setSnapshotPending(false);
    if (picture) {
        m_snapshot = std::move(picture);
        setNeedsDisplay();
    }
    if (m_snapshotStale)
        requestSnapshot();
}

void WKView::layoutSubviews()
{
    WebView::layoutSubviews();
    followSize();
}

void WKView::draw(GraphicsContext& context, const Rect& rect)
{
    followSize();
    if (!m_snapshot) {
        WebView::draw(context, rect);
        return;
    }
    context.drawImage(*m_snapshot, bounds());
}

std::string WKView::placeholderText() const
{
    std::string text = WebView::placeholderText();
    switch (m_loadState) {
    case LoadState::None:
    case LoadState::Loading:
        return text;
    case LoadState::Finished:
        return text + " (finished)";
    case LoadState::Failed:
        return text + " (failed)";
    }
    return text;
}

} // namespace morvix::platform
