#include "core/script/JSBridge.h"

#include "core/base/LogEntry.h"
#include "core/protocol/CommandOperator.h"
#include "core/script/JSErrorLocation.h"
#include "core/script/JSValues.h"
#include "core/session/MorvixHTTPClient.h"
#include "platform/foundation/ConfinedFile.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/StringEncoding.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLRequest.h"
#include "platform/net/Url.h"
#include "platform/ui/screens/WKView.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>

namespace morvix {

using platform::Value;

namespace {

// What the global object carries: the way back from a native callback to its bridge. Freed
// with the global object.
struct ContextData {
    std::weak_ptr<JSBridge> bridge;
};

void finalizeGlobal(JSObjectRef global)
{
    delete static_cast<ContextData*>(JSObjectGetPrivate(global));
}

JSClassRef globalClass()
{
    static JSClassRef globalClass = [] {
        JSClassDefinition definition = kJSClassDefinitionEmpty;
        definition.className = "Global";
        definition.finalize = finalizeGlobal;
        return JSClassCreate(&definition);
    }();
    return globalClass;
}

// Every context of the process lives in one group, so one engine (and one heap) serves them all
// for the life of the process: a session reload makes a new context, not a new engine. The
// engine collects garbage as script allocates; its timer-driven collections need the run loop
// of a full web engine, which this library does not run, so they do not happen here.
// The web engine shares this script engine and sets up process-wide state that must come before
// the first context (see WKView::prepareEngine); it also puts the script engine's timers
// (collections driven by time, finalization callbacks) on GLib's default context, which the main
// loop turns.
JSContextGroupRef contextGroup()
{
    static JSContextGroupRef group = [] {
        platform::WKView::prepareEngine();
        return JSContextGroupCreate();
    }();
    return group;
}

std::shared_ptr<JSBridge> bridgeFor(JSContextRef context)
{
    auto* data = static_cast<ContextData*>(JSObjectGetPrivate(JSContextGetGlobalObject(context)));
    return data ? data->bridge.lock() : nullptr;
}

// How many script turns and native callbacks are on this thread's stack.
thread_local int t_depth = 0;

JSObjectRef toObject(JSContextRef context, JSValueRef value)
{
    return JSValueIsObject(context, value) ? JSValueToObject(context, value, nullptr) : nullptr;
}

bool hasJavaScriptExtension(const std::string& url)
{
    auto parsed = platform::Url::parse(url);
    std::string path = parsed ? parsed->path() : url;
    auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
    return extension == "js" || extension == "json";
}

} // namespace

// Counts a script turn or a native callback while it runs.
struct JSBridge::Turn {
    Turn() { ++t_depth; }
    ~Turn() { --t_depth; }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
};

// The native functions the script sees. Each finds its bridge through the global object and
// holds it, and counts as a turn, for as long as it runs.
struct JSBridge::Callbacks {
    struct Arguments {
        JSContextRef context;
        std::size_t count;
        const JSValueRef* values;
        JSValueRef* exception;

        JSValueRef at(std::size_t index) const { return index < count ? values[index] : JSValueMakeUndefined(context); }
        std::string text(std::size_t index) const { return JSValues::toString(context, at(index)); }
        Value properties(std::size_t index) const
        {
            JSValueRef value = at(index);
            if (!JSValueIsObject(context, value) || JSValueIsArray(context, value))
                return Value::object();
            auto converted = JSValues::toValue(context, value);
            return converted && converted->is_object() ? std::move(*converted) : Value::object();
        }
    };
    using Handler = JSValueRef (*)(JSBridge&, const Arguments&);

    template<Handler handler>
    static JSValueRef call(JSContextRef context, JSObjectRef, JSObjectRef, std::size_t count, const JSValueRef values[], JSValueRef* exception)
    {
        Turn turn; // outlives `bridge`: a bridge dropped meanwhile is destroyed inside the turn
        auto bridge = bridgeFor(context);
        if (!bridge)
            return JSValueMakeUndefined(context);
        return handler(*bridge, Arguments { context, count, values, exception });
    }

    static JSValueRef loadAndExecute(JSBridge& bridge, const Arguments& arguments)
    {
        return bridge.loadAndExecute(arguments.text(0), arguments.text(1), arguments.text(2), arguments.exception);
    }
    static JSValueRef create(JSBridge& bridge, const Arguments& arguments)
    {
        bridge.operate(Value::array({ "create", arguments.text(0), arguments.text(1), arguments.properties(2) }));
        return JSValueMakeUndefined(arguments.context);
    }
    static JSValueRef set(JSBridge& bridge, const Arguments& arguments)
    {
        bridge.operate(Value::array({ "set", arguments.text(0), arguments.properties(1) }));
        return JSValueMakeUndefined(arguments.context);
    }
    static JSValueRef get(JSBridge& bridge, const Arguments& arguments)
    {
        return bridge.operate(Value::array({ "get", arguments.text(0), arguments.text(1) }));
    }
    static JSValueRef callMethod(JSBridge& bridge, const Arguments& arguments)
    {
        return bridge.operate(Value::array({ "call", arguments.text(0), arguments.text(1), arguments.properties(2) }));
    }
    static JSValueRef listen(JSBridge& bridge, const Arguments& arguments)
    {
        Value flags = Value::object();
        flags[arguments.text(1)] = JSValueToBoolean(arguments.context, arguments.at(2));
        bridge.operate(Value::array({ "listen", arguments.text(0), std::move(flags) }));
        return JSValueMakeUndefined(arguments.context);
    }
    static JSValueRef destroy(JSBridge& bridge, const Arguments& arguments)
    {
        bridge.operate(Value::array({ "destroy", arguments.text(0) }));
        return JSValueMakeUndefined(arguments.context);
    }
    static JSValueRef load(JSBridge& bridge, const Arguments& arguments)
    {
        return bridge.load(arguments.text(0));
    }
    static JSValueRef locate(JSBridge& bridge, const Arguments& arguments)
    {
        auto place = JSErrorLocation::locate(arguments.context, arguments.at(0), bridge.applicationFolder(), bridge.m_headWidths);
        return place ? JSValueMakeString(arguments.context, JSText(*place).get()) : JSValueMakeUndefined(arguments.context);
    }

    template<LogEntry::Type type>
    static JSValueRef console(JSBridge& bridge, const Arguments& arguments)
    {
        bridge.log(LogEntry(JSValues::stringForValues(arguments.context, arguments.count, arguments.values), type));
        return JSValueMakeUndefined(arguments.context);
    }
};

std::shared_ptr<JSBridge> JSBridge::create(std::weak_ptr<CommandOperator> commandOperator, std::weak_ptr<Session> session)
{
    std::shared_ptr<JSBridge> bridge(new JSBridge(std::move(commandOperator), std::move(session)));
    bridge->setUp();
    return bridge;
}

JSBridge::JSBridge(std::weak_ptr<CommandOperator> commandOperator, std::weak_ptr<Session> session)
    : m_commandOperator(std::move(commandOperator))
    , m_session(std::move(session))
{
}

JSBridge::~JSBridge()
{
    if (m_notifyFunction)
        JSValueUnprotect(m_context, m_notifyFunction);
    if (m_bridgeObject)
        JSValueUnprotect(m_context, m_bridgeObject);
    JSGlobalContextRef context = m_context;
    if (t_depth == 0) {
        JSGlobalContextRelease(context);
        return;
    }
    // Script frames of this context may still be on the stack (a callback that reloaded the
    // session): release it once they are gone.
    platform::MainLoop::main().post([context] { JSGlobalContextRelease(context); });
}

void JSBridge::setUp()
{
    platform::assertOnMainThread();
    m_context = JSGlobalContextCreateInGroup(contextGroup(), globalClass());
    JSObjectSetPrivate(JSContextGetGlobalObject(m_context), new ContextData { weak_from_this() });
    registerWindow();
    registerConsole();
    createBridge();
}

void JSBridge::registerWindow()
{
    JSEvaluateScript(m_context, JSText("Window = function() {};").get(), nullptr, nullptr, 1, nullptr);
    JSObjectRef global = JSContextGetGlobalObject(m_context);
    JSObjectRef window = toObject(m_context, JSValues::property(m_context, global, "Window"));
    // The global object's own prototype becomes Window.prototype, so that `window instanceof
    // Window` holds (the engine does not let the global object's prototype change).
    if (window)
        JSValues::setProperty(m_context, window, "prototype", JSObjectGetPrototype(m_context, global));
    JSValues::setProperty(m_context, global, "window", global);
}

void JSBridge::registerConsole()
{
    struct Channel {
        const char* name;
        JSObjectCallAsFunctionCallback callback;
    };
    const Channel channels[] = {
        { "log", Callbacks::call<Callbacks::console<LogEntry::Type::Log>> },
        { "info", Callbacks::call<Callbacks::console<LogEntry::Type::Info>> },
        { "warn", Callbacks::call<Callbacks::console<LogEntry::Type::Warning>> },
        { "error", Callbacks::call<Callbacks::console<LogEntry::Type::Error>> },
        { "debug", Callbacks::call<Callbacks::console<LogEntry::Type::Debug>> },
    };
    JSObjectRef console = JSObjectMake(m_context, nullptr, nullptr);
    for (const Channel& channel : channels) {
        JSText name(channel.name);
        JSValues::setProperty(m_context, console, channel.name, JSObjectMakeFunctionWithCallback(m_context, name.get(), channel.callback));
    }
    JSValues::setProperty(m_context, JSContextGetGlobalObject(m_context), "console", console);
}

void JSBridge::createBridge()
{
    struct Function {
        const char* name;
        JSObjectCallAsFunctionCallback callback;
    };
    const Function functions[] = {
        { "loadAndExecute", Callbacks::call<Callbacks::loadAndExecute> },
        { "create", Callbacks::call<Callbacks::create> },
        { "set", Callbacks::call<Callbacks::set> },
        { "get", Callbacks::call<Callbacks::get> },
        { "call", Callbacks::call<Callbacks::callMethod> },
        { "listen", Callbacks::call<Callbacks::listen> },
        { "destroy", Callbacks::call<Callbacks::destroy> },
        { "load", Callbacks::call<Callbacks::load> },
    };
    m_bridgeObject = JSObjectMake(m_context, nullptr, nullptr);
    JSValueProtect(m_context, m_bridgeObject);
    for (const Function& function : functions) {
        JSText name(function.name);
        JSValues::setProperty(m_context, m_bridgeObject, function.name, JSObjectMakeFunctionWithCallback(m_context, name.get(), function.callback));
    }
    // The boot script's own helper, left out of the functions a script library enumerates.
    JSText locate("locate");
    JSObjectSetProperty(m_context, m_bridgeObject, locate.get(), JSObjectMakeFunctionWithCallback(m_context, locate.get(), Callbacks::call<Callbacks::locate>),
        kJSPropertyAttributeDontEnum | kJSPropertyAttributeReadOnly, nullptr);
}

std::optional<Value> JSBridge::execute(std::string_view script, const std::optional<std::string>& sourceURL)
{
    platform::assertOnMainThread();
    auto self = shared_from_this();
    Turn turn;
    std::optional<JSText> source;
    if (sourceURL)
        source.emplace(*sourceURL);
    JSValueRef exception = nullptr;
    JSValueRef result = JSEvaluateScript(m_context, JSText(script).get(), nullptr, source ? source->get() : nullptr, 1, &exception);
    std::optional<Value> value;
    if (exception && source)
        JSErrorLocation::completeSyntaxError(m_context, exception, script);
    if (exception)
        logException(exception);
    else if (result && !JSValueIsUndefined(m_context, result))
        value = JSValues::toValue(m_context, result);
    postProcessingFinished();
    return value;
}

void JSBridge::start()
{
    platform::assertOnMainThread();
    auto self = shared_from_this();
    Turn turn;
    JSObjectRef morvix = toObject(m_context, JSValues::property(m_context, JSContextGetGlobalObject(m_context), "morvix"));
    if (morvix) {
        registerNotifyFunction(morvix);
        callStartCallback(morvix);
    } else {
        log(LogEntry("Could not start Morvix.\nObject 'morvix' not found.", LogEntry::Type::Error));
    }
    postProcessingFinished();
}

void JSBridge::registerNotifyFunction(JSObjectRef morvix)
{
    if (m_notifyFunction) {
        JSValueUnprotect(m_context, m_notifyFunction);
        m_notifyFunction = nullptr;
    }
    JSObjectRef notify = toObject(m_context, JSValues::property(m_context, morvix, "_notify"));
    if (!notify || !JSObjectIsFunction(m_context, notify)) {
        log(LogEntry("Function 'morvix._notify' not found.", LogEntry::Type::Error));
        return;
    }
    m_notifyFunction = notify;
    JSValueProtect(m_context, m_notifyFunction);
}

void JSBridge::callStartCallback(JSObjectRef morvix)
{
    JSObjectRef start = toObject(m_context, JSValues::property(m_context, morvix, "_start"));
    if (!start || !JSObjectIsFunction(m_context, start)) {
        log(LogEntry("Function 'morvix._start' not found.", LogEntry::Type::Error));
        return;
    }
    JSValueRef argument = m_bridgeObject;
    JSValueRef exception = nullptr;
    JSObjectCallAsFunction(m_context, start, morvix, 1, &argument, &exception);
    if (exception)
        logException(exception);
}

void JSBridge::fireEvent(const std::string& event, const Value& attributes, const std::string& objectId)
{
    platform::assertOnMainThread();
    auto self = shared_from_this();
    Turn turn;
    if (m_notifyFunction) {
        JSValueRef arguments[] = {
            JSValueMakeString(m_context, JSText(objectId).get()),
            JSValueMakeString(m_context, JSText(event).get()),
            JSValues::fromValue(m_context, attributes.is_object() ? attributes : Value::object()),
        };
        JSValueRef exception = nullptr;
        JSObjectCallAsFunction(m_context, m_notifyFunction, nullptr, 3, arguments, &exception);
        if (exception)
            logException(exception);
    }
    postProcessingFinished();
}

JSValueRef JSBridge::loadAndExecute(const std::string& path, const std::string& prefix, const std::string& postfix, JSValueRef* exception)
{
    JSObjectRef result = JSObjectMake(m_context, nullptr, nullptr);
    auto url = resolve(path);
    auto text = url ? loadStringFromURL(*url) : std::nullopt;
    if (!url || !isJavaScript(text, *url)) {
        JSValues::setProperty(m_context, result, "loadError", JSValueMakeBoolean(m_context, true));
        return result;
    }
    JSText source(*url);
    std::string script = prefix + *text + postfix;
    // The head shares the module's first line: its width is taken off the columns reported there.
    if (prefix.find_first_of("\r\n") == std::string::npos)
        m_headWidths[*url] = JSStringGetLength(JSText(prefix).get());
    JSValueRef thrown = nullptr;
    JSValueRef value = JSEvaluateScript(m_context, JSText(script).get(), nullptr, source.get(), 1, &thrown);
    if (thrown) {
        JSErrorLocation::completeSyntaxError(m_context, thrown, script);
        *exception = thrown;
        return JSValueMakeUndefined(m_context);
    }
    JSValues::setProperty(m_context, result, "executeResult", value ? value : JSValueMakeUndefined(m_context));
    return result;
}

JSValueRef JSBridge::load(const std::string& path)
{
    auto url = resolve(path);
    auto text = url ? loadStringFromURL(*url) : std::nullopt;
    if (!text)
        return JSValueMakeUndefined(m_context);
    return JSValueMakeString(m_context, JSText(*text).get());
}

std::optional<std::string> JSBridge::resolve(const std::string& path) const
{
    auto session = m_session.lock();
    auto url = session ? session->relativeURLToServer(path) : std::nullopt;
    auto parsed = url ? platform::Url::parse(*url) : std::nullopt;
    if (!parsed || !parsed->isFileURL())
        return url;
    auto serverURL = session->serverURL();
    auto folder = serverURL ? MorvixHTTPClient::applicationFolder(*serverURL) : std::nullopt;
    if (!folder)
        return std::nullopt; // no application folder on this machine
    auto file = platform::ConfinedFile::locate(*url, { *folder }, platform::ConfinedFile::kDefaultMaximumSize);
    if (file)
        return platform::Url::fileURL(file.path).absoluteString();
    // A module search probes many names that are missing, folders or outside the application;
    // those are simply not found. What is there but must not be read is worth a word.
    using Refusal = platform::ConfinedFile::Refusal;
    if (file.refusal == Refusal::SpecialFile || file.refusal == Refusal::TooLarge)
        session->log(LogEntry("refused a local file: " + file.reason, LogEntry::Type::Warning));
    return std::nullopt;
}

std::optional<std::string> JSBridge::loadStringFromURL(const std::string& url) const
{
    auto session = m_session.lock();
    auto data = readData(url, session ? session->timeoutInterval() : platform::URLRequest::kDefaultTimeoutInterval);
    if (!data)
        return std::nullopt;
    return platform::decodeString(*data, platform::kUTF8StringEncoding);
}

std::optional<std::string> JSBridge::readData(const std::string& url, double timeout)
{
    auto parsed = platform::Url::parse(url);
    if (!parsed)
        return std::nullopt;
    // A directory or another special file is no content, so a module path that names a
    // directory falls through to its index or package file.
    if (parsed->isFileURL()) {
        auto path = platform::ConfinedFile::decodeReference(url);
        auto file = path ? platform::ConfinedFile::readRegularFile(*path, platform::ConfinedFile::kDefaultMaximumSize) : platform::ConfinedFile::Result();
        if (!path || !file)
            return std::nullopt;
        return std::move(file.bytes);
    }
    if (!parsed->isHTTP())
        return std::nullopt;
    platform::URLRequest request(*parsed);
    request.setTimeoutInterval(timeout);
    // A module from the server is held to the size a module file may have: a server that
    // streams without end must not fill the memory before the script even starts.
    // The session's time-out bounds the whole load, not only each silence: a server that
    // trickles bytes must not hold the script (and the main thread it runs on) for ever.
    platform::URLConnection::SynchronousLimits limits;
    limits.maximumBodySize = platform::ConfinedFile::kDefaultMaximumSize;
    if (std::isfinite(timeout) && timeout > 0)
        limits.deadline = std::chrono::milliseconds(static_cast<std::int64_t>(std::min(timeout, 1e9) * 1000));
    auto result = platform::URLConnection::sendSynchronousRequest(request, limits);
    if (result.error)
        return std::nullopt;
    // An error status is no content: a module search probes many missing paths, and a server's
    // error page for "x.js" would otherwise be run as that script.
    auto http = std::dynamic_pointer_cast<const platform::HTTPURLResponse>(result.response);
    if (http && http->statusCode() >= 400)
        return std::nullopt;
    return std::move(result.data);
}

bool JSBridge::isJavaScript(const std::optional<std::string>& text, const std::string& url)
{
    if (!text)
        return false;
    if (hasJavaScriptExtension(url))
        return true;
    return text->empty() || text->front() != '<';
}

JSValueRef JSBridge::operate(const Value& operation)
{
    auto commandOperator = m_commandOperator.lock();
    if (!commandOperator)
        return JSValueMakeUndefined(m_context);
    auto result = commandOperator->processOperation(operation);
    if (!result)
        return JSValueMakeUndefined(m_context);
    return JSValues::fromValue(m_context, *result);
}

void JSBridge::postProcessingFinished()
{
    platform::NotificationCenter::defaultCenter()->post(std::string(kProcessingFinished));
}

void JSBridge::log(const LogEntry& entry)
{
    if (auto session = m_session.lock())
        session->log(entry);
}

void JSBridge::logException(JSValueRef exception)
{
    log(LogEntry(JSErrorLocation::describe(m_context, exception, applicationFolder(), m_headWidths), LogEntry::Type::Error));
}

std::optional<std::string> JSBridge::applicationFolder() const
{
    auto session = m_session.lock();
    auto serverURL = session ? session->serverURL() : std::nullopt;
    return serverURL ? MorvixHTTPClient::applicationFolder(*serverURL) : std::nullopt;
}

} // namespace morvix
