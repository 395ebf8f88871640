#include "platform/ui/screens/WKView.h"

#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/ConfinedFile.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SystemLog.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace morvix::platform {

namespace {

// Loads, pictures and size changes under way in every view; main thread only.
std::size_t s_workInFlight = 0;

// The longest excerpt of a page's text (a dialog's message) that goes into a notice.
constexpr std::size_t kNoticeExcerpt = 200;

// The engine's context, shared by every view that runs at the same time, so that they share
// one network process and one cookie jar. It is ephemeral (nothing of the pages is written to
// disk) and goes, with its network process, when the last view goes.
struct SharedContext {
    WebKitWebContext* context = nullptr;
    std::size_t users = 0;
};

SharedContext& sharedContext()
{
    static SharedContext shared;
    return shared;
}

// The application's caches folder, where the engine's helper processes keep what they cache
// (the media framework's plugin registry, the settings cache) and where content filters are
// compiled; the temporary folder when the application has none.
std::string cachesFolder()
{
    std::string folder = BundleInfo::main().cachesPath;
    if (!folder.empty())
        return folder;
    const char* temporary = std::getenv("TMPDIR");
    return temporary && *temporary ? temporary : "/tmp";
}

// `onDownload` hears the downloads the engine starts.
WebKitWebContext* acquireContext(GCallback onDownload)
{
    SharedContext& shared = sharedContext();
    if (!shared.context) {
        // Read by the helper processes the engine starts from now on, which inherit the
        // environment; set on the main thread before the first of them starts.
        static const bool cachesPointed = [] {
            std::string folder = cachesFolder();
            const char* current = std::getenv("XDG_CACHE_HOME");
            if (!current || folder != current)
                ::setenv("XDG_CACHE_HOME", folder.c_str(), 1);
            return true;
        }();
        (void)cachesPointed;
        shared.context = webkit_web_context_new_ephemeral();
        webkit_web_context_set_cache_model(shared.context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
        g_signal_connect(shared.context, "download-started", onDownload, nullptr);
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

// At most `kNoticeExcerpt` bytes of `text`, cut at a character's start, in quotes.
std::string excerpt(const char* text)
{
    std::string whole = text ? text : "";
    if (whole.size() <= kNoticeExcerpt)
        return "\"" + whole + "\"";
    std::size_t end = kNoticeExcerpt;
    while (end > 0 && (static_cast<unsigned char>(whole[end]) & 0xc0) == 0x80)
        --end;
    return "\"" + whole.substr(0, end) + "...\"";
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

ScriptResult failure(std::string reason)
{
    return { std::nullopt, std::move(reason) };
}

// The result's text or JSON form is taken from the engine whole; beyond `maximumSize` bytes it
// goes no further than that (no value is made of it).
ScriptResult scriptResult(JSCValue* value, std::size_t maximumSize)
{
    auto tooLarge = [maximumSize] { return failure("the result is larger than " + std::to_string(maximumSize) + " bytes"); };
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
        std::string_view view = text ? text : "";
        ScriptResult result = view.size() > maximumSize ? tooLarge() : ScriptResult { Value(std::string(view)), std::nullopt };
        g_free(text);
        return result;
    }
    if (jsc_value_is_function(value))
        return failure("a function has no value to hand back");
    if (!jsc_value_is_object(value))
        return failure("the result has no value to hand back");
    gchar* json = jsc_value_to_json(value, 0);
    if (!json) {
        jsc_context_clear_exception(jsc_value_get_context(value));
        return failure("the result has no value to hand back");
    }
    std::string_view text = json;
    ScriptResult result;
    if (text.size() > maximumSize) {
        result = tooLarge();
    } else if (platform::jsonNestingDepth(text, WKView::kMaximumResultDepth) > WKView::kMaximumResultDepth) {
        result = failure("the result nests deeper than " + std::to_string(WKView::kMaximumResultDepth) + " levels");
    } else {
        Value parsed = Value::parse(text, nullptr, false);
        result = parsed.is_discarded() ? failure("the result has no value to hand back") : ScriptResult { std::move(parsed), std::nullopt };
    }
    g_free(json);
    return result;
}

bool isAttachment(WebKitURIResponse* response)
{
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    const char* disposition = headers ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
    if (!disposition)
        return false;
    std::string_view text = disposition;
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    std::string_view kind = text.substr(0, text.find_first_of("; \t"));
    return std::equal(kind.begin(), kind.end(), "attachment", "attachment" + 10,
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The content filters that hold a file page's loads to its readable folders: one per set of
// folders, compiled by the engine once. The compiled file is removed as soon as the filter is
// loaded, so nothing stays in the caches folder.
struct ContentFilter {
    WebKitUserContentFilter* filter = nullptr;
    bool compiling = false;
    bool failed = false;
};

struct ContentFilters {
    /// How many filters are kept; past it, those no engine uses are dropped.
    static constexpr std::size_t kKept = 16;
    WebKitUserContentFilterStore* store = nullptr;
    std::map<std::string, ContentFilter> filters; // by their rules
    std::uint64_t compiled = 0;
};

ContentFilters& contentFilters()
{
    static ContentFilters filters;
    return filters;
}

std::string regexEscaped(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        if (std::string_view(".*+?()[]{}|\\^$").find(c) != std::string_view::npos)
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// Blocks every file URL, then lets through those inside the folders, each as the engine writes
// its URL: resolved, escaped, compared with case. A folder that does not resolve lets nothing
// through, and a URL written otherwise than the engine writes it is blocked.
std::string confinementRules(const std::vector<std::string>& folders)
{
    Value rules = Value::array();
    Value block;
    block["trigger"]["url-filter"] = "^file:";
    block["action"]["type"] = "block";
    rules.push_back(std::move(block));
    for (const auto& folder : folders) {
        std::error_code error;
        auto resolved = std::filesystem::canonical(folder, error);
        if (error || !std::filesystem::is_directory(resolved, error))
            continue;
        std::string path = resolved.string();
        if (!path.ends_with('/'))
            path += '/';
        gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
        if (!uri)
            continue;
        Value allow;
        allow["trigger"]["url-filter"] = "^" + regexEscaped(uri);
        allow["trigger"]["url-filter-is-case-sensitive"] = true;
        allow["action"]["type"] = "ignore-previous-rules";
        rules.push_back(std::move(allow));
        g_free(uri);
    }
    return rules.dump();
}

void onFilterRemoved(GObject*, GAsyncResult*, gpointer) { }

// What a picture's arrival needs.
struct SnapshotRequest {
    std::weak_ptr<WKView> view;
    double scale = 1;
    std::uint64_t sizeGeneration = 0;
};

} // namespace

void WKNavigationDelegate::didNotice(WKView&, Notice, const std::string& text)
{
    systemLog("web view: " + text);
}

void WKView::prepareEngine()
{
    static const bool prepared = [] {
        g_type_class_unref(g_type_class_ref(webkit_web_context_get_type()));
        return true;
    }();
    (void)prepared;
}

/// The engine's objects for one view: the off-screen window and the page in it, signals that
/// reach the view, the content filter of its folders, and the cancellable that ends the view's
/// pending requests with it.
struct WKView::Engine {
    Engine(WKView& owner, const WKViewConfiguration& configuration, Engine* related);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    /// Every engine that runs, in the order they were made.
    static std::vector<Engine*>& live();
    static std::int64_t totalPixels();

    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer owner);
    static void decideNavigation(WKView& view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* navigation, gpointer owner);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer owner);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer owner);
    static void onSizeAllocate(GtkWidget*, GdkRectangle*, gpointer owner);
    static gboolean onDamage(GtkWidget*, GdkEvent*, gpointer owner);
    static void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer owner);
    static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer owner);
    static gboolean onPrint(WebKitWebView*, WebKitPrintOperation*, gpointer owner);
    static gboolean onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer owner);
    static gboolean onAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer owner);
    static void onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer);
    static void terminateWebProcessesAtExit();
    static void onFilterCompiled(GObject* source, GAsyncResult* result, gpointer data);
    /// What an evaluation's completion needs; the view is held weakly.
    struct ScriptCall {
        std::weak_ptr<WKView> view;
        std::shared_ptr<PendingScript> script;
        std::size_t maximumResultSize = 0;
    };
    static void onScriptFinished(GObject* source, GAsyncResult* result, gpointer data);
    static void onSnapshotFinished(GObject* source, GAsyncResult* result, gpointer data);

    /// Whether the content filter of the view's folders is in, so that file pages may load.
    bool filterCurrent() const { return installedRules == wantedRules; }
    void releaseHeldDecisions();

    WKView& owner;
    const void* group = nullptr;
    GtkWidget* window = nullptr;
    WebKitWebView* webView = nullptr;
    WebKitUserContentManager* userContent = nullptr;
    GCancellable* cancellable = nullptr;
    std::string wantedRules; // the content filter the view's folders call for
    std::optional<std::string> installedRules; // the one in place
    // Navigations to file URLs waiting for the content filter, each holding a reference.
    std::vector<std::pair<WebKitPolicyDecision*, WebKitPolicyDecisionType>> heldDecisions;
    int pixelWidth = 0;
    int pixelHeight = 0;
    double zoom = 1;
};

// Ends the web processes of the engines still running when the process exits, so that no page
// (one that runs a script for good, say) goes on after it.
void WKView::Engine::terminateWebProcessesAtExit()
{
    for (auto* engine : live())
        webkit_web_view_terminate_web_process(engine->webView);
}

void WKView::Engine::onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer)
{
    webkit_download_cancel(download);
    const gchar* uri = webkit_uri_request_get_uri(webkit_download_get_request(download));
    std::string text = "a download of " + std::string(uri ? uri : "a page") + " was cancelled";
    WebKitWebView* webView = webkit_download_get_web_view(download);
    for (auto* engine : live()) {
        if (engine->webView == webView) {
            engine->owner.notice(WKNavigationDelegate::Notice::Information, text);
            return;
        }
    }
    systemLog("web view: " + text);
}

std::vector<WKView::Engine*>& WKView::Engine::live()
{
    static std::vector<Engine*> engines;
    return engines;
}

std::int64_t WKView::Engine::totalPixels()
{
    std::int64_t total = 0;
    for (auto* engine : live())
        total += std::int64_t(engine->pixelWidth) * engine->pixelHeight;
    return total;
}

WKView::Engine::Engine(WKView& view, const WKViewConfiguration& configuration, Engine* related)
    : owner(view)
    , group(configuration.processGroup)
    , userContent(webkit_user_content_manager_new())
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
    // A view related to another of its group shares its web process (and its context).
    WebKitWebContext* context = acquireContext(G_CALLBACK(onDownloadStarted));
    webView = related
        ? WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related->webView, "settings", settings,
            "user-content-manager", userContent, nullptr))
        : WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings,
            "user-content-manager", userContent, nullptr));
    g_object_unref(settings);
    window = gtk_offscreen_window_new();
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(webView));
    g_signal_connect(webView, "decide-policy", G_CALLBACK(onDecidePolicy), &owner);
    g_signal_connect(webView, "create", G_CALLBACK(onCreate), &owner);
    g_signal_connect(webView, "load-changed", G_CALLBACK(onLoadChanged), &owner);
    g_signal_connect(webView, "load-failed", G_CALLBACK(onLoadFailed), &owner);
    g_signal_connect(webView, "size-allocate", G_CALLBACK(onSizeAllocate), &owner);
    g_signal_connect(webView, "web-process-terminated", G_CALLBACK(onWebProcessTerminated), &owner);
    g_signal_connect(webView, "script-dialog", G_CALLBACK(onScriptDialog), &owner);
    g_signal_connect(webView, "print", G_CALLBACK(onPrint), &owner);
    g_signal_connect(webView, "run-file-chooser", G_CALLBACK(onRunFileChooser), &owner);
    g_signal_connect(webView, "authenticate", G_CALLBACK(onAuthenticate), &owner);
    g_signal_connect(window, "damage-event", G_CALLBACK(onDamage), &owner);
    gtk_widget_show_all(window);
    live().push_back(this);
    // Registered once the engine is set up, so that it runs before the engine's own exit handlers.
    static const bool exitHandled = [] {
        std::atexit(terminateWebProcessesAtExit);
        return true;
    }();
    (void)exitHandled;
}

WKView::Engine::~Engine()
{
    std::erase(live(), this);
    for (auto& [decision, type] : heldDecisions) {
        webkit_policy_decision_ignore(decision);
        g_object_unref(decision);
    }
    g_cancellable_cancel(cancellable);
    g_signal_handlers_disconnect_by_data(webView, &owner);
    g_signal_handlers_disconnect_by_data(window, &owner);
    // The page's process ends with the last view of its group, at once: left to itself it
    // lingers for seconds, or runs on with a page that never yields.
    bool shared = std::any_of(live().begin(), live().end(), [this](Engine* other) { return other->group == group; });
    if (!shared)
        webkit_web_view_terminate_web_process(webView);
    gtk_widget_destroy(window);
    g_object_unref(userContent);
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

// Why a response is not shown; nothing when it may be.
std::optional<std::string> responseRefusal(WebKitResponsePolicyDecision* decision)
{
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
    if (isAttachment(response))
        return "it is an attachment, and the web view downloads nothing";
    if (webkit_response_policy_decision_is_mime_type_supported(decision))
        return std::nullopt;
    const gchar* type = webkit_uri_response_get_mime_type(response);
    return "the web view does not show \"" + std::string(type ? type : "unknown") + "\" content";
}

} // namespace

gboolean WKView::Engine::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer owner)
{
    auto* view = static_cast<WKView*>(owner);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        auto reason = responseRefusal(response);
        if (!reason)
            return FALSE; // the engine shows it
        webkit_policy_decision_ignore(decision);
        const gchar* uri = webkit_uri_request_get_uri(webkit_response_policy_decision_get_request(response));
        view->responseRefused(uri ? uri : "", *reason);
        return TRUE;
    }
    auto* navigation = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const gchar* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(navigation));
    if (schemeOf(uri ? uri : "") == "file" && !view->m_engine->filterCurrent()) {
        view->m_engine->heldDecisions.emplace_back(WEBKIT_POLICY_DECISION(g_object_ref(decision)), type);
        return TRUE;
    }
    decideNavigation(*view, decision, type);
    return TRUE;
}

void WKView::Engine::decideNavigation(WKView& view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type)
{
    auto* navigation = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    bool newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
    if (view.decide(navigationAction(navigation, !newWindow)) == NavigationPolicy::Allow)
        webkit_policy_decision_use(decision);
    else
        webkit_policy_decision_ignore(decision);
}

void WKView::Engine::releaseHeldDecisions()
{
    // The delegate may drop the view (and this engine with it) while deciding.
    auto self = owner.shared_from_this();
    auto held = std::move(heldDecisions);
    heldDecisions.clear();
    for (auto& [decision, type] : held) {
        if (owner.m_engine.get() == this)
            decideNavigation(owner, decision, type);
        else
            webkit_policy_decision_ignore(decision);
        g_object_unref(decision);
    }
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
    view->m_allocatedGeneration = view->m_sizeGeneration;
    if (view->m_loadState != LoadState::None)
        view->requestSnapshot();
}

gboolean WKView::Engine::onDamage(GtkWidget*, GdkEvent*, gpointer owner)
{
    static_cast<WKView*>(owner)->pageRepainted();
    return FALSE;
}

void WKView::Engine::onWebProcessTerminated(WebKitWebView* webView, WebKitWebProcessTerminationReason reason, gpointer owner)
{
    // Ended by us (the view going, the process exiting): nothing failed.
    if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API)
        return;
    const gchar* uri = webkit_web_view_get_uri(webView);
    std::string why = reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "exceeded its memory limit" : "ended";
    systemLog("web view: the page's process " + why + " (" + std::string(uri ? uri : "no page") + ")");
    auto* view = static_cast<WKView*>(owner);
    if (view->m_loadState == LoadState::Loading)
        view->loadFailed(uri ? uri : "", "the page's process " + why, false);
    view->setLoading(false);
}

gboolean WKView::Engine::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer owner)
{
    auto* view = static_cast<WKView*>(owner);
    std::string message = excerpt(webkit_script_dialog_get_message(dialog));
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
        view->notice(WKNavigationDelegate::Notice::Information, "the page's alert " + message + " was not shown");
        break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
        view->notice(WKNavigationDelegate::Notice::Information, "the page's question " + message + " was answered no");
        break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        // Without a text set, the prompt answers null.
        view->notice(WKNavigationDelegate::Notice::Information, "the page's prompt " + message + " was answered with nothing");
        break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        view->notice(WKNavigationDelegate::Notice::Information, "the page asked to stay (" + message + "); it was left");
        break;
    }
    return TRUE;
}

// The engine's own answer is GTK's print dialog, run in a loop of its own on the main thread
// until someone answers it; nobody can here.
gboolean WKView::Engine::onPrint(WebKitWebView*, WebKitPrintOperation*, gpointer owner)
{
    static_cast<WKView*>(owner)->notice(WKNavigationDelegate::Notice::Information, "the page asked to be printed; the web view does not print");
    return TRUE;
}

// The engine's own answer is a file chooser for a person nobody can see: the page gets no file.
gboolean WKView::Engine::onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer owner)
{
    webkit_file_chooser_request_cancel(request);
    static_cast<WKView*>(owner)->notice(WKNavigationDelegate::Notice::Information, "the page asked for a file; none was chosen");
    return TRUE;
}

gboolean WKView::Engine::onAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer owner)
{
    const gchar* host = webkit_authentication_request_get_host(request);
    std::string text = "the server " + std::string(host ? host : "") + " asked for credentials (realm "
        + excerpt(webkit_authentication_request_get_realm(request)) + "); the page goes on without them";
    webkit_authentication_request_authenticate(request, nullptr);
    static_cast<WKView*>(owner)->notice(WKNavigationDelegate::Notice::Information, text);
    return TRUE;
}

void WKView::Engine::onFilterCompiled(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<std::pair<std::string, std::string>> request(static_cast<std::pair<std::string, std::string>*>(data));
    auto& [rules, identifier] = *request;
    auto* store = WEBKIT_USER_CONTENT_FILTER_STORE(source);
    GError* error = nullptr;
    ContentFilter& entry = contentFilters().filters[rules];
    entry.compiling = false;
    entry.filter = webkit_user_content_filter_store_save_finish(store, result, &error);
    if (!entry.filter) {
        entry.failed = true;
        systemLog(std::string("web view: the file pages' filter did not compile (") + (error ? error->message : "no reason") + "); file pages are refused");
    }
    g_clear_error(&error);
    webkit_user_content_filter_store_remove(store, identifier.c_str(), nullptr, onFilterRemoved, nullptr);
    auto engines = live();
    for (auto* engine : engines) {
        if (engine->wantedRules == rules && std::find(live().begin(), live().end(), engine) != live().end())
            engine->owner.filterChanged();
    }
}

void WKView::Engine::onScriptFinished(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<ScriptCall> call(static_cast<ScriptCall*>(data));
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    auto view = call->view.lock();
    ScriptResult answer;
    if (value) {
        answer = scriptResult(value, call->maximumResultSize);
        g_object_unref(value);
    } else {
        answer.error = error ? error->message : "the script failed";
        g_clear_error(&error);
    }
    auto completion = std::move(call->script->completion);
    call->script->completion = nullptr;
    if (view) {
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
        view->snapshotArrived(std::move(picture), request->sizeGeneration);
}

std::shared_ptr<WKView> WKView::create(const Rect& frame, WKViewConfiguration configuration)
{
    return std::shared_ptr<WKView>(new WKView(frame, configuration));
}

WKView::WKView(const Rect& frame, WKViewConfiguration configuration)
    : WebView(frame)
    , m_configuration(configuration)
{
    m_filterRules = confinementRules(m_readableFolders);
}

WKView::~WKView()
{
    setLoading(false);
    setSnapshotPending(false);
    setResizePending(false);
    m_engine.reset();
    failScripts("the web view went away");
}

namespace {

// The views that run an engine or wait for the display, which hear the display's changes.
std::vector<std::weak_ptr<WKView>>& displayedViews()
{
    static std::vector<std::weak_ptr<WKView>> views;
    return views;
}

} // namespace

std::size_t WKView::workInFlight()
{
    return s_workInFlight;
}

std::size_t WKView::liveEngines()
{
    return Engine::live().size();
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

void WKView::setResizePending(bool pending)
{
    if (pending == m_resizePending)
        return;
    m_resizePending = pending;
    pending ? ++s_workInFlight : --s_workInFlight;
}

void WKView::notice(WKNavigationDelegate::Notice notice, const std::string& text)
{
    if (m_notices >= kMaximumNoticesPerLoad)
        return;
    std::string line = ++m_notices == kMaximumNoticesPerLoad ? text + " (further notices of this page are dropped)" : text;
    if (auto delegate = navigationDelegate())
        delegate->didNotice(*this, notice, line);
    else
        systemLog("web view: " + line);
}

void WKView::failScripts(const std::string& reason)
{
    // The engine may never answer for a page that is gone; answered on a later turn, as always.
    auto answer = [&reason](Completion completion) {
        if (!completion)
            return;
        MainLoop::main().post([completion = std::move(completion), reason] { completion({ std::nullopt, reason }); });
    };
    for (auto& script : m_scripts) {
        answer(std::move(script->completion));
        script->completion = nullptr;
    }
    m_scripts.clear();
    auto waiting = std::move(m_waitingScripts);
    m_waitingScripts.clear();
    for (auto& [script, completion] : waiting)
        answer(std::move(completion));
}

void WKView::displayChanged(HeadlessDisplay::Change change)
{
    auto& tracked = displayedViews();
    std::erase_if(tracked, [](const std::weak_ptr<WKView>& weak) { return weak.expired(); });
    std::vector<std::shared_ptr<WKView>> views;
    for (const auto& weak : tracked) {
        if (auto view = weak.lock())
            views.push_back(std::move(view));
    }
    for (auto& view : views) {
        switch (change) {
        case HeadlessDisplay::Change::Ready:
            if (view->m_waitingForDisplay && view->startEngine()) {
                if (auto load = std::exchange(view->m_pendingLoad, std::nullopt))
                    view->startLoad(*load);
                for (auto& [script, completion] : std::exchange(view->m_waitingScripts, {}))
                    view->runScript(script, std::move(completion));
            }
            break;
        case HeadlessDisplay::Change::Failed:
            if (view->m_waitingForDisplay)
                view->becomeStandIn("the web engine has no display: the page is not shown");
            break;
        case HeadlessDisplay::Change::Lost:
            if (!view->m_engine)
                break;
            view->setLoading(false);
            view->setSnapshotPending(false);
            view->setResizePending(false);
            view->m_engine.reset();
            view->m_snapshot.reset();
            view->m_standInURL = view->url();
            view->setNeedsDisplay();
            view->becomeStandIn("the web engine's display was lost: the page is no longer shown");
            break;
        }
    }
}

WKView::EngineState WKView::ensureEngine()
{
    if (m_engine)
        return EngineState::Running;
    if (m_engineUnavailable)
        return EngineState::Unavailable;
    if (m_waitingForDisplay)
        return EngineState::Waiting;
    prepareEngine();
    static const std::uint64_t displayHandler = HeadlessDisplay::addChangeHandler(displayChanged);
    (void)displayHandler;
    auto self = std::static_pointer_cast<WKView>(shared_from_this());
    auto& views = displayedViews();
    std::erase_if(views, [](const std::weak_ptr<WKView>& weak) { return weak.expired(); });
    if (std::none_of(views.begin(), views.end(), [&](const auto& weak) { return weak.lock() == self; }))
        views.push_back(self);
    if (HeadlessDisplay::ensureToolkit())
        return startEngine() ? EngineState::Running : EngineState::Unavailable;
    if (HeadlessDisplay::state() == HeadlessDisplay::State::Starting) {
        m_waitingForDisplay = true;
        return EngineState::Waiting;
    }
    becomeStandIn("the web engine has no display: the page is not shown");
    return EngineState::Unavailable;
}

bool WKView::startEngine()
{
    m_waitingForDisplay = false;
    if (Engine::live().size() >= kMaximumLiveEngines) {
        becomeStandIn("the page is not shown: " + std::to_string(kMaximumLiveEngines) + " web views run already");
        return false;
    }
    auto wanted = pixelSize();
    if (Engine::totalPixels() + std::int64_t(wanted.width) * wanted.height > kMaximumTotalPixels) {
        becomeStandIn("the page is not shown: the web views' pictures would hold more than "
            + std::to_string(kMaximumTotalPixels) + " pixels");
        return false;
    }
    auto& engines = Engine::live();
    auto related = std::find_if(engines.begin(), engines.end(), [this](Engine* engine) { return engine->group == m_configuration.processGroup; });
    m_engine = std::make_unique<Engine>(*this, m_configuration, related == engines.end() ? nullptr : *related);
    followSize();
    filterChanged();
    return true;
}

void WKView::becomeStandIn(const std::string& why)
{
    auto self = shared_from_this();
    m_waitingForDisplay = false;
    m_engineUnavailable = true;
    notice(WKNavigationDelegate::Notice::Error, why);
    failScripts("no web engine");
    if (auto load = std::exchange(m_pendingLoad, std::nullopt)) {
        setLoading(false);
        standInLoad(load->url.empty() ? "about:blank" : load->url);
    }
}

// The stand-in: the delegate decides at once, and nothing finishes.
void WKView::standInLoad(const std::string& url)
{
    if (decide({ url, NavigationAction::Type::Other, true }) == NavigationPolicy::Allow) {
        m_standInURL = url;
        m_loadState = LoadState::Loading;
    }
}

void WKView::startLoad(const PendingLoad& load)
{
    setLoading(true);
    if (load.html)
        webkit_web_view_load_html(m_engine->webView, load.html->c_str(), load.url.empty() ? nullptr : load.url.c_str());
    else
        webkit_web_view_load_uri(m_engine->webView, load.url.c_str());
}

WKView::PixelSize WKView::pixelSize() const
{
    Size size = bounds().size;
    double scale = std::max(Screen::main().scale(), 1.0);
    auto pixels = [&](double points) {
        double wanted = std::isfinite(points) ? std::ceil(std::max(points, 1.0) * scale) : 1;
        return static_cast<int>(std::min<double>(wanted, kMaximumPixelSide));
    };
    PixelSize result { pixels(size.width), pixels(size.height), scale };
    // The page is laid out in the view's points and drawn at the screen's scale: a window
    // `scale` times the size, zoomed by as much. A clamped window zooms less.
    if (size.width > 0 && std::isfinite(size.width))
        result.zoom = std::min(result.zoom, result.width / size.width);
    if (size.height > 0 && std::isfinite(size.height))
        result.zoom = std::min(result.zoom, result.height / size.height);
    result.zoom = std::max(result.zoom, 0.01);
    return result;
}

void WKView::followSize()
{
    if (!m_engine)
        return;
    PixelSize wanted = pixelSize();
    // Within what the other engines leave of the pixel bound: a lower resolution, the same page.
    std::int64_t own = std::int64_t(m_engine->pixelWidth) * m_engine->pixelHeight;
    std::int64_t available = std::max<std::int64_t>(1, kMaximumTotalPixels - (Engine::totalPixels() - own));
    if (std::int64_t(wanted.width) * wanted.height > available) {
        double factor = std::sqrt(double(available) / (double(wanted.width) * wanted.height));
        wanted.width = std::max(1, static_cast<int>(wanted.width * factor));
        wanted.height = std::max(1, static_cast<int>(wanted.height * factor));
        wanted.zoom = std::max(wanted.zoom * factor, 0.01);
    }
    if (wanted.width == m_engine->pixelWidth && wanted.height == m_engine->pixelHeight && wanted.zoom == m_engine->zoom)
        return;
    bool pixelsChanged = wanted.width != m_engine->pixelWidth || wanted.height != m_engine->pixelHeight;
    m_engine->pixelWidth = wanted.width;
    m_engine->pixelHeight = wanted.height;
    m_engine->zoom = wanted.zoom;
    ++m_sizeGeneration;
    if (m_loadState != LoadState::None)
        setResizePending(true); // until a picture of the new size arrives
    gtk_widget_set_size_request(GTK_WIDGET(m_engine->webView), wanted.width, wanted.height);
    gtk_window_resize(GTK_WINDOW(m_engine->window), wanted.width, wanted.height);
    webkit_web_view_set_zoom_level(m_engine->webView, wanted.zoom);
    if (!pixelsChanged) {
        // No new allocation comes for a zoom alone.
        m_allocatedGeneration = m_sizeGeneration;
        requestSnapshot();
    }
}

void WKView::setReadableFolders(std::vector<std::string> folders)
{
    if (folders == m_readableFolders)
        return;
    m_readableFolders = std::move(folders);
    m_filterRules = confinementRules(m_readableFolders);
    filterChanged();
}

void WKView::filterChanged()
{
    if (!m_engine)
        return;
    m_engine->wantedRules = m_filterRules;
    ContentFilters& filters = contentFilters();
    if (filters.filters.size() >= ContentFilters::kKept && !filters.filters.contains(m_filterRules)) {
        std::erase_if(filters.filters, [](const auto& item) {
            const std::string& rules = item.first;
            const auto& filter = item.second;
            auto& engines = Engine::live();
            bool used = filter.compiling || std::any_of(engines.begin(), engines.end(), [&](Engine* engine) {
                return engine->wantedRules == rules || engine->installedRules == rules;
            });
            if (!used && filter.filter)
                webkit_user_content_filter_unref(filter.filter);
            return !used;
        });
    }
    ContentFilter& entry = filters.filters[m_filterRules];
    if (!entry.filter && !entry.failed) {
        if (entry.compiling)
            return; // this view hears again when it is done
        if (!filters.store) {
            std::string folder = cachesFolder() + "/web-content-filters";
            filters.store = webkit_user_content_filter_store_new(folder.c_str());
        }
        entry.compiling = true;
        std::string identifier = "confinement-" + std::to_string(::getpid()) + "-" + std::to_string(++filters.compiled);
        auto* request = new std::pair<std::string, std::string>(m_filterRules, identifier);
        GBytes* source = g_bytes_new(m_filterRules.data(), m_filterRules.size());
        webkit_user_content_filter_store_save(filters.store, identifier.c_str(), source, nullptr, Engine::onFilterCompiled, request);
        g_bytes_unref(source);
        return;
    }
    if (m_engine->installedRules != m_filterRules) {
        webkit_user_content_manager_remove_all_filters(m_engine->userContent);
        if (entry.filter)
            webkit_user_content_manager_add_filter(m_engine->userContent, entry.filter);
        m_engine->installedRules = m_filterRules;
    }
    m_engine->releaseHeldDecisions();
}

std::optional<std::string> WKView::refusal(const std::string& url) const
{
    std::string scheme = schemeOf(url);
    if (scheme == "http" || scheme == "https" || scheme == "data" || scheme == "about")
        return std::nullopt;
    if (scheme != "file")
        return "the web view loads no \"" + scheme + "\" URLs";
    auto filter = contentFilters().filters.find(m_filterRules);
    if (filter != contentFilters().filters.end() && filter->second.failed)
        return "the web view cannot hold a file page to its folders here";
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

void WKView::responseRefused(const std::string& url, const std::string& reason)
{
    auto self = shared_from_this();
    if (auto delegate = navigationDelegate())
        delegate->didRefuseNavigation(*this, url, reason);
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
    startOrQueue({ url, std::nullopt });
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
    startOrQueue({ hasBase ? *baseURL : std::string(), html });
    return true;
}

void WKView::startOrQueue(PendingLoad load)
{
    switch (ensureEngine()) {
    case EngineState::Running:
        startLoad(load);
        return;
    case EngineState::Waiting:
        // Only the latest load matters once the display is up.
        m_pendingLoad = std::move(load);
        m_loadState = LoadState::Loading;
        setLoading(true);
        return;
    case EngineState::Unavailable:
        standInLoad(load.url.empty() ? "about:blank" : load.url);
        return;
    }
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
    m_notices = 0;
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
    switch (ensureEngine()) {
    case EngineState::Running:
        runScript(script, std::move(completion));
        return;
    case EngineState::Waiting:
        m_waitingScripts.emplace_back(script, std::move(completion));
        return;
    case EngineState::Unavailable:
        MainLoop::main().post([completion = std::move(completion)] {
            if (completion)
                completion({ std::nullopt, std::string("no web engine") });
        });
        return;
    }
}

void WKView::runScript(const std::string& script, Completion completion)
{
    auto pending = std::make_shared<PendingScript>(PendingScript { std::move(completion) });
    m_scripts.push_back(pending);
    auto* call = new Engine::ScriptCall { std::static_pointer_cast<WKView>(shared_from_this()), std::move(pending), m_maximumResultSize };
    webkit_web_view_evaluate_javascript(m_engine->webView, script.data(), static_cast<gssize>(script.size()), nullptr,
        nullptr, m_engine->cancellable, Engine::onScriptFinished, call);
}

// A page that changes itself (a timer, content filled in by a script) is pictured again, at
// most once per interval while it goes on changing.
void WKView::pageRepainted()
{
    if (m_loadState == LoadState::None || m_repaintTimer.isActive())
        return;
    TimePoint due = m_lastSnapshot + kRepaintInterval;
    TimePoint now = Clock::current()->now();
    if (now >= due) {
        requestSnapshot();
        return;
    }
    m_repaintTimer.start(due - now, Repeat::No, [this] { requestSnapshot(); });
}

void WKView::requestSnapshot()
{
    if (!m_engine || m_loadState == LoadState::None) {
        setResizePending(false);
        return;
    }
    if (m_snapshotPending) {
        m_snapshotStale = true;
        return;
    }
    m_repaintTimer.stop();
    m_lastSnapshot = Clock::current()->now();
    m_snapshotStale = false;
    setSnapshotPending(true);
    auto* request = new SnapshotRequest { std::static_pointer_cast<WKView>(shared_from_this()), m_engine->zoom, m_allocatedGeneration };
    webkit_web_view_get_snapshot(m_engine->webView, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE,
        m_engine->cancellable, Engine::onSnapshotFinished, request);
}

void WKView::snapshotArrived(std::shared_ptr<Image> picture, std::uint64_t sizeGeneration)
{
    setSnapshotPending(false);
    if (picture) {
        m_snapshot = std::move(picture);
        setNeedsDisplay();
    }
    if (sizeGeneration == m_sizeGeneration)
        setResizePending(false);
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
    // At the size it was taken: after a resize, the old picture is cut or bordered until the new
    // one comes, never stretched.
    Rect box = bounds();
    context.save();
    context.clipToRect(box);
    context.setFillColor(Color::white());
    context.fillRect(box);
    context.drawImage(*m_snapshot, Rect(box.origin, m_snapshot->size()));
    context.restore();
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
