// morvix-run: runs one session against a server from the command line.
//
// It embeds the library as an application would: a window, a session on it, a delegate that
// gives the server URL and the settings, and the main loop. Scripts use its options; keep them
// stable.

#include "core/Binding.h"
#include "core/JSBinding.h"
#include "core/LogEntry.h"
#include "core/Message.h"
#include "core/MessageOperation.h"
#include "core/Notification.h"
#include "core/MorvixClient.h"
#include "core/MorvixClientDelegate.h"
#include "core/MorvixClientErrorDelegate.h"
#include "core/NotificationsDispatcher.h"
#include "core/ObjectRegistry.h"
#include "core/RemoteObject.h"
#include "core/ServerBinding.h"
#include "networking/NetURLConnectionOperation.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Timer.h"
#include "platform/graphics/Color.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/OutputStream.h"
#include "platform/ui/Renderer.h"
#include "platform/ui/Window.h"
#include "widgets/WidgetTypes.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace morvix;
using namespace std::chrono_literals;

constexpr const char* kUsage = R"(usage: morvix-run (--server URL | --script DIR) [options]

Runs one session against the server at URL, or against the script application in the
folder DIR run by the library itself, and prints what it was asked to. The session log
(the script's console, failed operations, errors) is printed as it comes.

  --server URL     the server URL
  --script DIR     the script application's folder (its package.json names the main module)
  --seconds N      stop after N seconds (decimals allowed)
  --idle-ms M      stop once the session has been idle for M milliseconds:
                   no request in flight and nothing queued
  --log-traffic    print every request and response body; with --script, every
                   message the session sends to the script
  --log-file       log every request and response to the system log and to a session
                   file in the documents folder
  --tree           print the object tree (id, type, parent) at exit
  --terminate      end the session with "terminate" before exit
  --strict         check server certificates strictly, host name included (default)
  --insecure       accept any server certificate
  --png FILE       write the key window to FILE as a PNG once the session is idle
  --help           print this text

Exit status: 0 when the session ran; 1 for a usage error; 2 when an error reached the
error handler (printed with its domain, code, title and text).
)";

struct Options {
    std::string server;
    std::string script;
    bool logFile = false;
    std::optional<double> seconds;
    std::optional<long> idleMs;
    bool logTraffic = false;
    bool tree = false;
    bool terminate = false;
    bool strict = true;
    std::string png;
};

[[noreturn]] void usageError(const std::string& message)
{
    std::fprintf(stderr, "morvix-run: %s\n\n%s", message.c_str(), kUsage);
    std::exit(1);
}

template<typename Number>
Number parseNumber(const char* option, const std::string& text, Number (*convert)(const std::string&, std::size_t*))
{
    try {
        std::size_t used = 0;
        Number value = convert(text, &used);
        if (used == text.size() && value >= 0)
            return value;
    } catch (const std::exception&) {
    }
    usageError(std::string(option) + " expects a number, got \"" + text + "\"");
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usageError(std::string(argument) + " expects a value");
            return argv[++i];
        };
        if (argument == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (argument == "--script") {
            options.script = value();
        } else if (argument == "--log-file") {
            options.logFile = true;
        } else if (argument == "--server") {
            options.server = value();
        } else if (argument == "--seconds") {
            options.seconds = parseNumber<double>("--seconds", value(), [](const std::string& s, std::size_t* n) { return std::stod(s, n); });
        } else if (argument == "--idle-ms") {
            options.idleMs = parseNumber<long>("--idle-ms", value(), [](const std::string& s, std::size_t* n) { return std::stol(s, n); });
        } else if (argument == "--log-traffic") {
            options.logTraffic = true;
        } else if (argument == "--tree") {
            options.tree = true;
        } else if (argument == "--terminate") {
            options.terminate = true;
        } else if (argument == "--strict") {
            options.strict = true;
        } else if (argument == "--insecure") {
            options.strict = false;
        } else if (argument == "--png") {
            options.png = value();
        } else {
            usageError("unknown option " + std::string(argument));
        }
    }
    if (options.server.empty() == options.script.empty())
        usageError("give one of --server URL and --script DIR");
    if (!options.script.empty()) {
        // The script peer reads its application from a folder URL; the slash makes module paths
        // resolve inside the folder.
        std::error_code error;
        auto folder = std::filesystem::absolute(options.script, error);
        if (error || !std::filesystem::is_directory(folder))
            usageError("--script " + options.script + ": not a folder");
        options.server = "file://" + folder.lexically_normal().string();
        if (options.server.back() != '/')
            options.server += '/';
    }
    return options;
}

// Prints every message the session hands to its peer, as the wire arrays a server would get.
class TracingBinding final : public Binding {
public:
    void start() override { }
    void suspend() override { }
    void resume() override { }
    void retry() override { }
    void stop() override { }
    void sendMessage(const std::shared_ptr<Message>& message) override { print(message); }
    void scheduleMessage(const std::shared_ptr<Message>& message) override { print(message); }
    void storeMessage(const std::shared_ptr<Message>& message) override { print(message); }
    void reset() override { }
    bool isActive() override { return true; }
    bool isProcessing() override { return false; }
    void receivedRequestCounter(std::int64_t) override { }
    bool supportsCustomDrawer() override { return true; }

private:
    static void print(const std::shared_ptr<Message>& message)
    {
        auto notification = std::dynamic_pointer_cast<Notification>(message);
        if (!notification)
            return;
        for (const auto& operation : notification->getMessageOperations()) {
            auto array = operation->toOperationArray(notification->getTarget());
            if (!array.is_null())
                std::printf("> %s\n", array.dump().c_str());
        }
        std::fflush(stdout);
    }
};

// The peer the session talks to: the HTTP server, or the script application run in-process.
std::vector<BindingFactory> chooseBindings(const Options& options)
{
    if (options.script.empty())
        return { MorvixClient::serverBinding() };
    std::vector<BindingFactory> bindings { JSBinding::factory() };
    if (options.logTraffic)
        bindings.push_back([](std::weak_ptr<MorvixClient>) -> std::shared_ptr<Binding> { return std::make_shared<TracingBinding>(); });
    return bindings;
}

const char* logTypeName(LogEntry::Type type)
{
    switch (type) {
    case LogEntry::Type::Log:
        return "log";
    case LogEntry::Type::Info:
        return "info";
    case LogEntry::Type::Warning:
        return "warn";
    case LogEntry::Type::Error:
        return "error";
    case LogEntry::Type::Debug:
        return "debug";
    }
    return "log";
}

class RunDelegate final : public MorvixClientDelegate {
public:
    explicit RunDelegate(const Options& options) : m_options(options) { }
    std::string serverURL() override { return m_options.server; }
    void clientDidBecomeReady(MorvixClient& client) override { client.load(); }
    std::optional<bool> useSSLStrict() override { return m_options.strict; }
    std::optional<bool> logRequests() override { return m_options.logFile ? std::optional<bool>(true) : std::nullopt; }

private:
    const Options& m_options;
};

// Prints an error that reached the session's error presenter and ends the run with status 2.
class PrintingErrorDelegate final : public MorvixClientErrorDelegate {
public:
    void errorOccured(const platform::Error& error, const std::shared_ptr<MorvixClient>&) override
    {
        std::fprintf(stderr, "morvix-run: error domain=%s code=%ld title=\"%s\" text=\"%s\"\n", error.domain().c_str(), error.code(),
            error.description().c_str(), error.failureReason().value_or("").c_str());
        failed = true;
    }
    void close() override { }
    bool failed = false;
};

std::shared_ptr<NetURLConnectionOperation> operationOf(const platform::Notification& notification)
{
    auto* operation = std::any_cast<std::shared_ptr<NetURLConnectionOperation>>(&notification.object);
    return operation ? *operation : nullptr;
}

// Prints each request as it starts and each response body once it has been read.
std::vector<platform::ObserverToken> logTraffic()
{
    auto center = platform::NotificationCenter::defaultCenter();
    std::vector<platform::ObserverToken> tokens;
    tokens.push_back(center->addObserver(NetworkingOperationDidStartNotification, nullptr, [](const platform::Notification& notification) {
        auto operation = operationOf(notification);
        if (!operation)
            return;
        auto request = operation->request();
        std::printf("> %s %s\n%s\n", request.method().c_str(), request.url() ? request.url()->absoluteString().c_str() : "",
            request.body().value_or("").c_str());
        std::fflush(stdout);
    }));
    tokens.push_back(center->addObserver(NetworkingOperationDidFinishNotification, nullptr, [](const platform::Notification& notification) {
        auto operation = operationOf(notification);
        if (!operation)
            return;
        auto response = std::dynamic_pointer_cast<const platform::HTTPURLResponse>(operation->response());
        auto body = operation->responseData(); // the session readers keep the bytes they parsed
        std::printf("< %d %s\n%s\n", response ? response->statusCode() : 0,
            operation->request().url() ? operation->request().url()->absoluteString().c_str() : "", body.value_or("").c_str());
        if (auto error = operation->error())
            std::printf("< failed: %s\n", error->description().c_str());
        std::fflush(stdout);
    }));
    return tokens;
}

// No request in flight and nothing queued in any server binding.
bool isIdle(MorvixClient& client)
{
    if (client.notificationsDispatcher()->isProcessing())
        return false;
    for (const auto& binding : client.bindings()) {
        if (auto server = std::dynamic_pointer_cast<ServerBinding>(binding); server && !server->isEmpty())
            return false;
    }
    return true;
}

void printTree(MorvixClient& client)
{
    auto registry = client.objectRegistry();
    auto ids = registry->childrenIds();
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        auto object = registry->objectById(*id);
        if (!object)
            continue;
        std::string type;
        try {
            type = std::string(object->remoteType());
        } catch (const std::exception&) {
            type = "?";
        }
        auto parent = object->parent();
        std::printf("%s %s %s\n", id->c_str(), type.c_str(), parent ? parent->objectId().c_str() : "-");
    }
}

// Turns the main loop until `done` holds or the run's deadline passes.
bool runUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline)
{
    auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (remaining <= 0ms)
        return done();
    return platform::MainLoop::main().runUntil(done, remaining);
}

} // namespace

int main(int argc, char** argv)
{
    auto options = parseOptions(argc, argv);
    registerWidgetTypes();
    auto& loop = platform::MainLoop::main();
    loop.bindToCurrentThread();

    auto device = platform::DeviceInfo::current();
    auto window = platform::Window::create({ 0, 0, device.screenWidth, device.screenHeight });
    auto client = MorvixClient::create(window, chooseBindings(options), MorvixClient::ApplicationFrame::Off);
    if (!client)
        return 1;
    auto delegate = std::make_shared<RunDelegate>(options);
    auto errors = std::make_shared<PrintingErrorDelegate>();
    client->setDelegate(delegate);
    client->setErrorDelegate(errors);
    client->setLogObserver([](const LogEntry& entry) {
        std::printf("[%s] %s\n", logTypeName(entry.type()), entry.message().c_str());
        std::fflush(stdout);
    });
    std::vector<platform::ObserverToken> traffic;
    if (options.logTraffic)
        traffic = logTraffic();

    // The device announces its orientation once it starts reporting it; the session is ready then.
    loop.post([] { platform::NotificationCenter::defaultCenter()->post(MorvixClient::kOrientationNotification); });

    auto start = std::chrono::steady_clock::now();
    auto deadline = options.seconds ? start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                  std::chrono::duration<double>(*options.seconds))
                                    : start + std::chrono::hours(24 * 365);
    auto idleSince = std::optional<std::chrono::steady_clock::time_point>();
    auto idleEnough = [&] {
        if (!options.idleMs || !client->isActive() || !isIdle(*client)) {
            idleSince.reset();
            return false;
        }
        auto now = std::chrono::steady_clock::now();
        if (!idleSince)
            idleSince = now;
        return now - *idleSince >= std::chrono::milliseconds(*options.idleMs);
    };
    // Wakes the loop regularly so that idleness is noticed without any other task.
    platform::Timer poll;
    poll.start(10ms, platform::Repeat::Yes, [] { });
    runUntil([&] { return errors->failed || idleEnough(); }, deadline);

    if (!options.png.empty() && !errors->failed) {
        platform::RenderOptions renderOptions;
        renderOptions.scale = device.screenScale;
        renderOptions.backdrop = platform::Color::white();
        if (!platform::Renderer::renderPNG(*window, options.png, renderOptions))
            std::fprintf(stderr, "morvix-run: could not write %s\n", options.png.c_str());
    }
    if (options.tree)
        printTree(*client);
    if (options.terminate && !errors->failed) {
        client->terminate();
        runUntil([&] { return errors->failed || isIdle(*client); }, std::chrono::steady_clock::now() + 10s);
    }
    poll.stop();
    return errors->failed ? 2 : 0;
}
