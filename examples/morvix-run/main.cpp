// morvix-run: runs one session against a server from the command line.
//
// It embeds the library as an application would: a window, a session on it, a delegate that
// gives the server URL and the settings, and the main loop. Scripts use its options; keep them
// stable.

#include "core/base/LogEntry.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteObject.h"
#include "core/outgoing/Binding.h"
#include "core/outgoing/Message.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/outgoing/ServerBinding.h"
#include "core/outgoing/ServerMessage.h"
#include "core/outgoing/WireOperation.h"
#include "core/script/JSBinding.h"
#include "core/session/ClientProvider.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixClientDelegate.h"
#include "core/session/MorvixClientErrorDelegate.h"
#include "library/RemoteTypes.h"
#include "networking/NetURLConnectionOperation.h"
#include "platform/device/DeviceLocation.h"
#include "platform/device/LocationManager.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SystemLog.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/Timer.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/OutputStream.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/screens/ImagePickerController.h"
#include "platform/ui/screens/PrintController.h"
#include "platform/ui/screens/WKView.h"
#include "widgets/images/ImageViewMorvix.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <signal.h>
#include <time.h>

namespace {

using namespace morvix;
using namespace std::chrono_literals;

constexpr const char* kUsage = R"(usage: morvix-run (--server URL | --script DIR) [options]

Runs one session against the server at URL, or against the script application in the
folder DIR run by the library itself, and prints what it was asked to. The session log
(the script's console, warnings, errors) is printed on standard output as it comes; failed
operations on standard error.

  --server URL     the server URL
  --script DIR     the script application's folder (its package.json names the main module)
  --seconds N      stop after N seconds (decimals allowed); a script that has not
                   returned 2 seconds later ends the run with status 3
  --idle-ms M      stop once the session has been idle for M milliseconds:
                   no request in flight and nothing queued
  --log-traffic    print every request and response body; with --script, every
                   message the session sends to the script
  --log-file       log every request and response to the system log and to a session
                   file in the documents folder
  --tree           print the object tree (id, type, parent) at exit, or that it is empty
                   (alone: at exit once idle for 500 ms, as with --idle-ms 500)
  --terminate      end the session with "terminate" before exit
  --strict         check server certificates strictly, host name included (default)
  --insecure       accept any server certificate
  --png FILE       write the key window to FILE as a PNG once the session is idle
                   (alone: idle for 500 ms, as with --idle-ms 500)
  --no-frame       run without the application frame: the display fills the plain root
                   view instead of the root controller's page
  --console        enable the developer console: the session log in the frame's right
                   drawer, error entries flashing over the application for 1.5 s
  --show-console   open the console's drawer once the session is idle (before --png
                   draws); with --console
  --device KIND    the device to be: phone (the default) or pad
  --locale ID      the device's locale, an identifier such as de_CH (default en_US)
  --documents DIR  the application's documents folder, where the peer's client store
                   lives (made when missing; default: one folder per peer, named after
                   the server URL or script folder and a short hash of it, under
                   $XDG_DATA_HOME/com.zerivoquastel.morvix.run/Documents, or
                   ~/.local/share/com.zerivoquastel.morvix.run/Documents)
  --time-zone ID   the device's time zone, an IANA id such as Europe/Zurich (default:
                   the host's)
  --location LAT,LON  switch location services on (authorised) and answer every location
                   request with this position (degrees, such as 47.3769,8.5417)
  --pick-image FILE  answer every picture picker with this picture (PNG or JPEG)
  --print-to DIR   answer every print dialog by writing the job to DIR (made when
                   missing) as <n>-<job name>.pdf (or .png, .jpg), then completing it
  --help           print this text

Exit status: 0 when the session ran; 1 for a usage error; 2 when an error reached the
error handler (printed with its domain, code, title and text); 3 when the session did
not come back within 2 seconds of the --seconds limit (a script that does not return;
what it logged until then is printed); 4 when the script application could not start
(its main module or the morvix library threw, did not parse or was not found); 5 when
the --seconds limit ended the run with a request still in flight; 6 when the --png
picture could not be written; 7 when an interrupt (SIGINT, SIGTERM) ended the run, after
the picture and the tree asked for were written (a second interrupt, a second or more
later, stops at once).
)";

// How long the session has after the --seconds limit to come back before the watchdog ends
// the process.
constexpr auto kGracePeriod = std::chrono::seconds(2);
// How long --png and --tree wait for the session to stay idle when no other limit is given.
constexpr long kDefaultIdleMs = 500;

enum ExitStatus {
    kExitRan = 0,
    kExitUsage = 1,
    kExitError = 2,
    kExitNotReturned = 3,
    kExitScriptFailed = 4,
    kExitInFlight = 5,
    kExitNotWritten = 6,
    kExitInterrupted = 7,
};

// The application's bundle identifier when no bundle information gives one.
constexpr const char* kBundleIdentifier = "com.zerivoquastel.morvix.run";

// The longest --seconds limit: about three years, far inside the clock's range.
constexpr double kMaximumSeconds = 1e8;

// Set by the first SIGINT or SIGTERM; the main loop notices it within its polling interval.
std::atomic<bool> interrupted { false };
static_assert(std::atomic<bool>::is_always_lock_free);
// When the first interrupt came, in nanoseconds of the monotonic clock; 0 before it.
std::atomic<long long> firstInterruptNs { 0 };
static_assert(std::atomic<long long>::is_always_lock_free);

// An interrupt that follows the first within this time is the same one delivered again: a
// supervisor such as `timeout` hands a signal on both to the program and to its process group.
constexpr long long kRepeatedInterruptNs = 1'000'000'000;

long long monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Only async-signal-safe calls: clock_gettime, signal and raise. The two copies of a handed-on
// signal may be handled at once on two threads, so the time of the first is claimed in one step
// before the flag is set.
extern "C" void noteInterrupt(int signalNumber)
{
    long long now = std::max(monotonicNs(), 1LL);
    long long first = 0;
    if (firstInterruptNs.compare_exchange_strong(first, now)) {
        interrupted.store(true);
        return;
    }
    if (now - first < kRepeatedInterruptNs)
        return;
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// The first interrupt ends the session in order; a second one, a second or more later, stops
// the process as usual (a script that never returns cannot notice the first).
void catchInterrupts()
{
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

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
    bool frame = true;
    bool console = false;
    bool showConsole = false;
    std::optional<platform::DeviceIdiom> device;
    std::string locale;
    std::string timeZone;
    std::optional<platform::Coordinate> location;
    std::string pickImage;
    std::string documents;
    std::string printTo;
};

[[noreturn]] void usageError(const std::string& message)
{
    std::fprintf(stderr, "morvix-run: %s\n\n%s", message.c_str(), kUsage);
    std::exit(kExitUsage);
}

// Reads the whole of `text` as a number from `minimum` to `maximum`; anything else is a usage
// error that says what the option expects.
template<typename Number>
Number parseNumber(const char* option, const std::string& text, Number (*convert)(const std::string&, std::size_t*),
    Number minimum, Number maximum, const char* expected)
{
    try {
        std::size_t used = 0;
        Number value = convert(text, &used);
        if (used == text.size() && value >= minimum && value <= maximum)
            return value;
    } catch (const std::exception&) {
    }
    usageError(std::string(option) + " expects " + expected + ", got \"" + text + "\"");
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
            options.seconds = parseNumber<double>("--seconds", value(), [](const std::string& s, std::size_t* n) { return std::stod(s, n); },
                0, kMaximumSeconds, "a number of seconds from 0 to 100000000 (decimals allowed)");
        } else if (argument == "--idle-ms") {
            options.idleMs = parseNumber<long>("--idle-ms", value(), [](const std::string& s, std::size_t* n) { return std::stol(s, n); },
                0, static_cast<long>(kMaximumSeconds) * 1000, "a whole number of milliseconds, 0 or more");
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
        } else if (argument == "--console") {
            options.console = true;
        } else if (argument == "--show-console") {
            options.showConsole = true;
        } else if (argument == "--no-frame") {
            options.frame = false;
        } else if (argument == "--device") {
            std::string kind = value();
            if (kind != "phone" && kind != "pad")
                usageError("--device expects phone or pad, got \"" + kind + "\"");
            options.device = kind == "pad" ? platform::DeviceIdiom::Pad : platform::DeviceIdiom::Phone;
        } else if (argument == "--locale") {
            options.locale = value();
        } else if (argument == "--documents") {
            options.documents = std::filesystem::absolute(value()).lexically_normal().string();
        } else if (argument == "--location") {
            std::string text = value();
            auto comma = text.find(',');
            if (comma == std::string::npos)
                usageError("--location expects LAT,LON, got \"" + text + "\"");
            auto parse = [](const std::string& s, std::size_t* n) { return std::stod(s, n); };
            double latitude = parseNumber<double>("--location", text.substr(0, comma), parse, -90, 90,
                "LAT,LON in degrees, the latitude from -90 to 90");
            double longitude = parseNumber<double>("--location", text.substr(comma + 1), parse, -180, 180,
                "LAT,LON in degrees, the longitude from -180 to 180");
            options.location = platform::Coordinate { latitude, longitude };
        } else if (argument == "--pick-image") {
            options.pickImage = value();
            if (!platform::Image::readFile(options.pickImage))
                usageError("--pick-image " + options.pickImage + ": not a picture");
        } else if (argument == "--print-to") {
            options.printTo = std::filesystem::absolute(value()).lexically_normal().string();
        } else if (argument == "--time-zone") {
            options.timeZone = value();
            if (!platform::TimeZone::withIdentifier(options.timeZone))
                usageError("--time-zone " + options.timeZone + ": not a known time zone");
        } else {
            usageError("unknown option " + std::string(argument));
        }
    }
    if (options.server.empty() == options.script.empty())
        usageError("give one of --server URL and --script DIR");
    // Both print what the session shows once it is done; without a limit of its own the run
    // would never get there.
    if ((!options.png.empty() || options.tree) && !options.idleMs && !options.seconds)
        options.idleMs = kDefaultIdleMs;
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
        for (const auto& operation : notification->getMessageOperations())
            std::printf("> %s\n", ServerMessage::serialize(WireOperation::fromRecorded(operation, notification->getTarget())).c_str());
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

// The line the system log wrote last on this thread.
thread_local std::string lastSystemLogLine;

// Prints the session log as it comes, from whichever thread logs, and notices the entries that
// say the script application could not start (texts of the script binding and its boot script).
class LogPrinter final {
public:
    // Writes the system log to standard error as the library does, remembering each line. A
    // failed operation goes to the system log and then, on the same thread, to the session log:
    // it is printed once, on standard error.
    static void printSystemLog()
    {
        platform::setSystemLogSink([](const std::string& line) {
            std::fprintf(stderr, "morvix: %s\n", line.c_str());
            std::fflush(stderr);
            lastSystemLogLine = line;
        });
    }

    void print(const LogEntry& entry)
    {
        // Only the entry that follows the line at once repeats it.
        if (auto line = std::exchange(lastSystemLogLine, {}); !line.empty() && entry.message() == line)
            return;
        std::printf("[%s] %s\n", logTypeName(entry.type()), entry.message().c_str());
        std::fflush(stdout);
        if (entry.type() == LogEntry::Type::Error && isStartFailure(entry.message()))
            m_startFailed = true;
    }
    bool startFailed() const { return m_startFailed; }

private:
    static bool isStartFailure(std::string_view message)
    {
        static constexpr std::string_view kStartFailures[] = {
            "Could not load main module: ",
            "Could not load morvix module: ",
            "Could not load Resource:",
            "Could not start Morvix.",
            "Function 'morvix._start' not found.",
        };
        return std::any_of(std::begin(kStartFailures), std::end(kStartFailures),
            [&](std::string_view start) { return message.substr(0, start.size()) == start; });
    }

    std::atomic<bool> m_startFailed { false };
};

// Ends the process with kExitNotReturned when the main thread has not come back by the time it
// was given. A script that never returns blocks the main loop, so the loop's own deadline
// cannot end the run; the session log has been printed as it came, so nothing of it is lost.
class Watchdog final {
public:
    explicit Watchdog(std::chrono::steady_clock::time_point deadline)
        : m_deadline(deadline)
        , m_thread([this] { watch(); })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_condition.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    /// The main thread must be back (and destroy the watchdog) by `deadline`.
    void expectBackBy(std::chrono::steady_clock::time_point deadline)
    {
        {
            std::lock_guard lock(m_mutex);
            m_deadline = deadline;
        }
        m_condition.notify_all();
    }

private:
    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_done) {
            auto deadline = m_deadline;
            if (std::chrono::steady_clock::now() >= deadline) {
                std::fflush(stdout);
                std::fputs("morvix-run: the session did not come back after the time limit (a script that does not "
                           "return?); stopped\n", stderr);
                std::fflush(stderr);
                // Not exit(): the main thread is still running and static objects must stay.
                std::_Exit(kExitNotReturned);
            }
            m_condition.wait_until(lock, deadline);
        }
    }

    std::mutex m_mutex; // guards m_deadline and m_done
    std::condition_variable m_condition;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_done = false;
    std::thread m_thread; // last: starts once the members above are set
};

class RunDelegate final : public MorvixClientDelegate {
public:
    explicit RunDelegate(const Options& options) : m_options(options) { }
    std::string serverURL() override { return m_options.server; }
    void clientDidBecomeReady(MorvixClient& client) override { client.load(); }
    std::optional<bool> useSSLStrict() override { return m_options.strict; }
    std::optional<bool> logRequests() override { return m_options.logFile ? std::optional<bool>(true) : std::nullopt; }
    std::optional<bool> enableDeveloperConsole() override { return m_options.console; }

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
    bool empty = true;
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
        empty = false;
    }
    // An empty tree and a silent failure must not look alike.
    if (empty)
        std::printf("(the object tree is empty)\n");
}

// Turns the main loop until `done` holds or the run's deadline passes.
bool runUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline)
{
    auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (remaining <= 0ms)
        return done();
    return platform::MainLoop::main().runUntil(done, remaining);
}

// Longest --png waits for the screen to settle, on the loop's clock.
constexpr auto kSettleLimit = 2s;

// What must be finished before --png draws, so that the picture shows the settled screen
// rather than a moment of a transition. Each entry answers whether its work is done.
std::vector<std::function<bool()>> settledChecks()
{
    return {
        [] { return platform::Animator::shared().activeAnimations().empty(); },
        [] { return ImageViewMorvix::loadsInFlight() == 0; },
        [] { return platform::WKView::workInFlight() == 0; },
    };
}

// Turns the main loop until every check holds, for at most kSettleLimit and never past the
// run's deadline; what is still moving then is drawn as it is.
void waitUntilSettled(std::chrono::steady_clock::time_point deadline)
{
    auto checks = settledChecks();
    auto settled = [&checks] {
        return std::all_of(checks.begin(), checks.end(), [](const auto& check) { return check(); });
    };
    runUntil(settled, std::min(deadline, std::chrono::steady_clock::now() + kSettleLimit));
}

// The name of a peer's own documents folder: a readable part of its URL (the script folder's
// name, or the server's host and path) and a short hash of the whole URL, so that two peers
// never share a client store and one peer finds its store again on the next run.
std::string peerFolderName(const std::string& serverURL)
{
    std::uint64_t hash = 14695981039346656037ull; // 64-bit FNV-1a: the same on every run and build
    for (unsigned char c : serverURL) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    std::string readable = serverURL;
    if (auto scheme = readable.find("://"); scheme != std::string::npos)
        readable.erase(0, scheme + 3);
    while (!readable.empty() && readable.back() == '/')
        readable.pop_back();
    if (serverURL.rfind("file:", 0) == 0)
        readable = std::filesystem::path(readable).filename().string();
    std::string name;
    for (char c : readable) {
        bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
        if (plain)
            name += c;
        else if (!name.empty() && name.back() != '-')
            name += '-';
        if (name.size() >= 40)
            break;
    }
    while (!name.empty() && (name.back() == '-' || name.front() == '.'))
        name.erase(name.back() == '-' ? name.size() - 1 : 0, 1);
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>((hash >> 32) ^ hash));
    return (name.empty() ? std::string("peer") : name) + "-" + hex;
}

// The application's delegate: it answers the session it runs.
class RunApplication final : public platform::ApplicationDelegate, public ClientProvider {
public:
    explicit RunApplication(std::weak_ptr<MorvixClient> client) : m_client(std::move(client)) { }
    std::shared_ptr<ApplicationFrameClient> client() const override { return m_client.lock(); }

private:
    std::weak_ptr<MorvixClient> m_client;
};

} // namespace

// Plays the device's user for --location and --pick-image: every few moments each running
// location manager gets the position (timestamped now) and each waiting picker the picture.
// Without those options nobody answers, as on the headless device.
void answerDeviceRequests(const Options& options, platform::Timer& timer)
{
    if (options.location) {
        platform::DeviceLocation::setLocationServicesEnabled(true);
        platform::DeviceLocation::setAuthorizationStatus(platform::LocationAuthorizationStatus::AuthorizedWhenInUse);
    }
    auto picture = options.pickImage.empty() ? nullptr : platform::Image::readFile(options.pickImage);
    if (!options.location && !picture)
        return;
    timer.start(std::chrono::milliseconds(250), platform::Repeat::Yes, [position = options.location, picture] {
        if (position && !platform::DeviceLocation::updatingManagers().empty()) {
            platform::Location location;
            location.coordinate = *position;
            location.horizontalAccuracy = 10;
            location.verticalAccuracy = 10;
            location.timestamp = platform::Date::now();
            platform::DeviceLocation::deliver(location);
        }
        for (const auto& picker : picture ? platform::ImagePickerController::waitingPickers() : std::vector<std::shared_ptr<platform::ImagePickerController>> {})
            picker->pick(picture);
    });
}

int main(int argc, char** argv)
{
    auto options = parseOptions(argc, argv);
    catchInterrupts();
    registerRemoteTypes();
    auto& loop = platform::MainLoop::main();
    loop.bindToCurrentThread();

    auto device = platform::DeviceInfo::current();
    if (options.device)
        device.setIdiom(*options.device);
    if (!options.locale.empty())
        device.localeIdentifier = options.locale;
    if (!options.timeZone.empty())
        device.timeZone = options.timeZone;
    platform::DeviceInfo::setCurrent(device);
    {
        auto bundle = platform::BundleInfo::main();
        // The identifier is the scheme other applications answer x-callback requests through,
        // and names the folder patches and documents are kept in.
        std::string identifier(platform::BundleInfo::kIdentifierKey);
        if (!bundle.info.is_object())
            bundle.info = platform::Value::object();
        if (!bundle.info.contains(identifier) || !bundle.info[identifier].is_string() || bundle.info[identifier].get<std::string>().empty())
            bundle.info[identifier] = kBundleIdentifier;
        // Each peer keeps its own client store (a demo must not be handed the gallery's).
        if (!options.documents.empty())
            bundle.documentsPath = options.documents;
        else if (auto support = bundle.applicationSupportPath())
            bundle.documentsPath = *support + "/Documents/" + peerFolderName(options.server);
        platform::BundleInfo::setMain(bundle);
    }
    if (!options.printTo.empty())
        platform::PrintController::shared().setOutputFolder(options.printTo);
    platform::Timer deviceAnswers;
    answerDeviceRequests(options, deviceAnswers);
    auto window = platform::Window::create({ 0, 0, device.screenWidth, device.screenHeight });
    auto client = MorvixClient::create(window, chooseBindings(options),
        options.frame ? MorvixClient::ApplicationFrame::On : MorvixClient::ApplicationFrame::Off);
    if (!client)
        return kExitUsage;
    auto application = std::make_shared<RunApplication>(client);
    platform::Application::shared().setDelegate(application);
    auto delegate = std::make_shared<RunDelegate>(options);
    auto errors = std::make_shared<PrintingErrorDelegate>();
    auto printer = std::make_shared<LogPrinter>();
    client->setDelegate(delegate);
    client->setErrorDelegate(errors);
    // At once on the logging thread: a script that never returns holds the main loop, and what
    // it logged before must still be seen.
    client->setLogObserver([printer](const LogEntry& entry) { printer->print(entry); }, MorvixClient::LogDelivery::AnyThread);
    LogPrinter::printSystemLog();
    std::vector<platform::ObserverToken> traffic;
    if (options.logTraffic)
        traffic = logTraffic();

    // The device announces its orientation once it starts reporting it; the session is ready then.
    loop.post([] { platform::NotificationCenter::defaultCenter()->post(MorvixClient::kOrientationNotification); });

    auto start = std::chrono::steady_clock::now();
    auto deadline = options.seconds ? start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                  std::chrono::duration<double>(*options.seconds))
                                    : start + std::chrono::hours(24 * 365);
    std::optional<Watchdog> watchdog;
    if (options.seconds)
        watchdog.emplace(deadline + kGracePeriod);
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
    auto failed = [&] { return errors->failed || printer->startFailed(); };
    // Wakes the loop regularly so that idleness is noticed without any other task.
    platform::Timer poll;
    poll.start(10ms, platform::Repeat::Yes, [] { });
    bool ended = runUntil([&] { return failed() || interrupted.load() || idleEnough(); }, deadline);
    bool inFlight = !ended && !isIdle(*client);
    if (watchdog)
        watchdog->expectBackBy(std::chrono::steady_clock::now() + 10s + kGracePeriod);

    if (options.showConsole && !failed())
        client->showDeveloperConsole();
    bool notWritten = false;
    if (!options.png.empty() && !errors->failed) {
        if (!interrupted.load())
            waitUntilSettled(deadline);
        platform::RenderOptions renderOptions;
        renderOptions.scale = device.screenScale;
        renderOptions.backdrop = platform::Color::white();
        notWritten = !platform::Renderer::renderPNG(*window, options.png, renderOptions);
        if (notWritten)
            std::fprintf(stderr, "morvix-run: could not write %s\n", options.png.c_str());
    }
    if (options.tree)
        printTree(*client);
    if (options.terminate && !failed() && !inFlight && !interrupted.load()) {
        client->terminate();
        runUntil([&] { return errors->failed || isIdle(*client); }, std::chrono::steady_clock::now() + 10s);
    }
    poll.stop();
    if (errors->failed)
        return kExitError;
    if (printer->startFailed()) {
        std::fprintf(stderr, "morvix-run: the script application could not start\n");
        return kExitScriptFailed;
    }
    if (notWritten)
        return kExitNotWritten;
    if (interrupted.load()) {
        std::fprintf(stderr, "morvix-run: interrupted\n");
        return kExitInterrupted;
    }
    if (inFlight) {
        std::fprintf(stderr, "morvix-run: the time limit ended the run with a request still in flight\n");
        return kExitInFlight;
    }
    return kExitRan;
}
