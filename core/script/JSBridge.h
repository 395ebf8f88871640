#pragma once
// The script context of the local peer and the native bridge object the script drives.

#include "core/script/JSErrorLocation.h"
#include "platform/foundation/Value.h"

#include <JavaScriptCore/JavaScript.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class CommandOperator;
class LogEntry;

/// Owns one JavaScriptCore context and gives it a browser-like global object ("window", an
/// instance of "Window"), a "console" with five channels that write to the session log (log,
/// info, warn, error, debug: log entries of type 1 to 5), and the bridge object that the boot
/// script receives in "morvix._start". The bridge object's functions, in this order:
///
///   loadAndExecute(path, prefix, postfix) -> {executeResult: value} or {loadError: true}
///   create(id, type, properties)          -> ["create", id, type, properties]
///   set(id, properties)                   -> ["set", id, properties]
///   get(id, property)                     -> ["get", id, property], returns the value read
///   call(id, method, properties)          -> ["call", id, method, properties], returns the result
///   listen(id, event, flag)               -> ["listen", id, {event: flag}]
///   destroy(id)                           -> ["destroy", id]
///   load(path)                            -> the file's text, or undefined
///
/// and, left out of its enumerable functions, the boot script's helper
///
///   locate(error)                         -> "module:line:column", or undefined
///
/// (see `JSErrorLocation`: the module's path relative to the application folder).
///
/// Each operation goes to the command operator. Text arguments go through the script's string
/// conversion (a missing one becomes "undefined"); properties that are not a plain object
/// become {}; the listen flag is taken by truthiness. A boolean result comes back as a script
/// boolean; nothing comes back as undefined. Paths are resolved against the server URL. The
/// application folder (the server URL's folder, when that is a file URL) is a boundary: a local
/// file, or "file" URL, whose path (escapes undone, then resolved: "..", "." and symbolic links)
/// lies outside it is not found, and the file read is the resolved one. Only regular files of
/// at most 256 MiB are read; what is there but refused for its kind or size is logged as a
/// warning. "http" and "https" URLs are read wherever they point.
///
/// Events travel the other way: `fireEvent` calls "morvix._notify" (taken at `start`) with
/// (object id, event name, attributes).
///
/// Rules:
///  1. "com.zerivoquastel.morvix.ProcessingFinished" is posted on the default notification
///     centre after `execute`, after `start` and after every `fireEvent`, never by the bridge
///     functions themselves.
///  2. An exception thrown by evaluated script is logged as an error entry, placed as
///     "module:line:column: <text>" when a source places it; inside loadAndExecute it is thrown
///     on to the calling script instead. A syntax error in a script with a source (a module,
///     a declared script) is given the "column" the engine leaves out.
///  3. Every native callback holds the bridge strongly for its whole length, so a callback that
///     leads to the bridge being dropped (a session reload) finishes on a live context; a
///     context dropped while script frames run is released on a later turn of the main loop.
///  4. All bridges share one engine and one heap for the life of the process; garbage is
///     collected as script allocates, so a long session stays flat in memory. Finalization
///     registry callbacks, which the engine runs from its timers, never run.
///
/// Thread: the main thread only, creation and destruction included.
class JSBridge final : public std::enable_shared_from_this<JSBridge> {
public:
    static constexpr std::string_view kProcessingFinished = "com.zerivoquastel.morvix.ProcessingFinished";

    /// What the bridge needs of its session. Held weakly; once it is gone, nothing is logged
    /// and no path resolves.
    class Session {
    public:
        virtual ~Session() = default;
        /// Appends `entry` to the session log.
        virtual void log(const LogEntry& entry) = 0;
        /// The absolute URL that `path` names relative to the server URL; nothing when none.
        virtual std::optional<std::string> relativeURLToServer(const std::string& path) = 0;
        /// The server URL the session's delegate gives; nothing when there is none. When it is
        /// a file URL, its folder is the application folder.
        virtual std::optional<std::string> serverURL() = 0;
        /// Seconds an http read may stay idle before it fails.
        virtual double timeoutInterval() { return 60; }
    };

    /// A new context with the globals and the bridge object set up. The command operator and
    /// the session are held weakly.
    static std::shared_ptr<JSBridge> create(std::weak_ptr<CommandOperator> commandOperator, std::weak_ptr<Session> session);
    ~JSBridge();
    JSBridge(const JSBridge&) = delete;
    JSBridge& operator=(const JSBridge&) = delete;

    /// Evaluates `script` (with `sourceURL` as its source when given), then posts
    /// ProcessingFinished. The result in its JSON form; nothing for undefined, functions and
    /// after an exception.
    std::optional<platform::Value> execute(std::string_view script, const std::optional<std::string>& sourceURL = std::nullopt);
    /// This engine always takes a source URL.
    static bool contextSupportsSource() { return true; }

    /// Reads the global "morvix": takes its "_notify" as the notify function and calls its
    /// "_start" with the bridge object; logs "Could not start Morvix.\nObject 'morvix' not
    /// found.", "Function 'morvix._notify' not found." or "Function 'morvix._start' not found."
    /// for what is missing. Then posts ProcessingFinished.
    void start();
    /// Calls the notify function with (objectId, event, attributes), when there is one, then
    /// posts ProcessingFinished.
    void fireEvent(const std::string& event, const platform::Value& attributes, const std::string& objectId);

    /// The text at `url` read synchronously as UTF-8 ("file" or "http(s)"); nothing when it
    /// cannot be read or is not UTF-8.
    std::optional<std::string> loadStringFromURL(const std::string& url) const;
    /// The bytes at `url`: a regular file of at most 256 MiB for "file" URLs (not confined: see
    /// `resolve`), the body of a response below status 400 for "http(s)" (read with `timeout`
    /// seconds of idle time); nothing otherwise.
    static std::optional<std::string> readData(const std::string& url, double timeout);
    /// False without text; true when the URL's path extension is "js" or "json" (any case);
    /// otherwise true unless the text begins with "<" (an HTML error page).
    static bool isJavaScript(const std::optional<std::string>& text, const std::string& url);

    /// The URL `path` names relative to the server URL, as `load` and `loadAndExecute` read it:
    /// a local file only inside the application folder, by its resolved path; nothing when
    /// there is none or it is refused (see the class comment).
    std::optional<std::string> resolve(const std::string& path) const;

    /// The context, for tests and for the binding's own evaluations. Owned by the bridge.
    JSGlobalContextRef context() const { return m_context; }
    bool hasNotifyFunction() const { return m_notifyFunction != nullptr; }

private:
    struct Turn;
    struct Callbacks;

    JSBridge(std::weak_ptr<CommandOperator> commandOperator, std::weak_ptr<Session> session);
    void setUp();
    void registerWindow();
    void registerConsole();
    void createBridge();
    void registerNotifyFunction(JSObjectRef morvix);
    void callStartCallback(JSObjectRef morvix);
    void postProcessingFinished();
    void log(const LogEntry& entry);
    void logException(JSValueRef exception);
    std::optional<std::string> applicationFolder() const;

    JSValueRef loadAndExecute(const std::string& path, const std::string& prefix, const std::string& postfix, JSValueRef* exception);
    JSValueRef load(const std::string& path);
    JSValueRef operate(const platform::Value& operation);

    std::weak_ptr<CommandOperator> m_commandOperator;
    std::weak_ptr<Session> m_session;
    JSGlobalContextRef m_context = nullptr;
    JSObjectRef m_bridgeObject = nullptr;   // protected while the bridge lives
    JSObjectRef m_notifyFunction = nullptr; // protected while the bridge lives
    JSErrorLocation::HeadWidths m_headWidths; // of the modules loadAndExecute ran
};

} // namespace morvix
