#pragma once
// The network and session log: every HTTP request and response, as text blocks.

#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SerialQueue.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace morvix::platform {
class Error;
class HTTPHeaders;
class URLRequest;
class URLResponse;
}

namespace morvix {

/// Where the logger writes its blocks besides the session file.
enum class SystemLogDestination {
    StandardError,
    Syslog,
};

/// Logs the traffic of the HTTP layer while it exists: one block per request started and one per
/// request finished, for every operation (and session task) of the process that posts the HTTP
/// layer's start and finish notifications, not only the session's own. Each block goes to the
/// system log (standard error, or syslog when the application asks for it) and is appended to
/// the session log file "session_<name>.log" in the documents folder, where <name> is the local
/// date and time of the logger's creation ("yyyyMMdd-HHmmss"). The file is created empty, with
/// mode 0600, when the logger is made; a file of the same name is replaced.
///
/// The blocks, each starting with a line break:
///     request:  "\n<method> '<url>': <headers> <body>"
///     response: "\n<status> '<url>' [<elapsed> s]: <headers> <response text>"
///     failure:  "\n[Error] <method> '<url>' (<status>) [<elapsed> s]: <error>"
/// Headers are written as a compact JSON object ({"Accept":"text/html"}); what is missing (no
/// body, no HTTP response, a body that is not UTF-8) is written "(null)". The status is 0 when
/// the response is not an HTTP one. A failure is any error of the operation, a status or body
/// its response serializer refuses included; it names the response's URL, or the request's
/// when there is no response. The elapsed time runs, on `platform::Clock`, from the start
/// notification this logger saw for the same object; without one (an operation cancelled before
/// it started, or a logger made mid-request) it is 0.0000.
///
/// The session owns the logger (through its transport) while the application's settings ask for
/// request or response logging.
///
/// Rules:
///  1. Blocks are formatted and written on the serial queue "morvix.logging", in the order the
///     notifications were received.
///  2. Writes to the file are serialised by the logger's lock, so `logString` may be called from
///     any thread.
///  3. Destroying the logger stops the observation first, then writes the blocks already queued,
///     then closes the file.
///
/// Thread safety: any thread. Notifications arrive on the thread that posts them; the observers
/// hold the logger weakly, so it may be dropped on any thread while another one posts.
class Logger final : public std::enable_shared_from_this<Logger> {
public:
    using SystemLog = std::function<void(const std::string& text)>;
    using DateSource = std::function<std::chrono::system_clock::time_point()>;

    struct Configuration {
        /// Where the session file goes; empty: the application's documents folder (`BundleInfo`).
        std::filesystem::path documentsFolder;
        /// Receives every block; empty: the process's system log destination.
        SystemLog systemLog;
        /// The wall clock that names the session; empty: the system's.
        DateSource currentDate;
    };

    static std::shared_ptr<Logger> create(Configuration configuration = {});
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    /// The system log of every logger made without one of its own: standard error unless the
    /// application chooses syslog. Any thread.
    static void setSystemLogDestination(SystemLogDestination destination);
    static SystemLogDestination systemLogDestination();

    /// "yyyyMMdd-HHmmss" of `date` in local time, with the calendar year (30 Dec 2024 gives
    /// "20241230-...", never "2025...").
    static std::string computeNewSessionName(std::chrono::system_clock::time_point date);
    /// `folder`/"session_<sessionName>.log".
    static std::filesystem::path computeFilePath(const std::filesystem::path& folder, const std::string& sessionName);

    const std::string& sessionName() const { return m_sessionName; }
    const std::filesystem::path& filePath() const { return m_filePath; }
    /// False when the session file could not be created; the blocks then go to the system log
    /// only.
    bool hasFile() const { return m_fd >= 0; }

    /// Appends `text`, as it is, to the session file (rule 2). Nothing when there is no file.
    void logString(const std::string& text);
    /// Waits until every block queued so far has been written. Not from the logging queue.
    void flush() { m_loggingQueue.flush(); }

    void networkRequestDidStart(const platform::Notification& notification);
    void networkRequestDidFinish(const platform::Notification& notification);

    // The parts of the blocks.
    static std::string describeHeaders(const platform::HTTPHeaders& headers);
    static std::string describeError(const platform::Error& error);
    static std::string requestBlock(const platform::URLRequest& request);
    static std::string responseBlock(const std::optional<platform::URLRequest>& request,
        const std::shared_ptr<const platform::URLResponse>& response, const std::optional<std::string>& responseText,
        double elapsedSeconds);
    static std::string errorBlock(const std::optional<platform::URLRequest>& request,
        const std::shared_ptr<const platform::URLResponse>& response, const platform::Error& error, double elapsedSeconds);

private:
    explicit Logger(Configuration configuration);
    void openFile();
    void observe();
    void write(const std::string& block);
    // Logging queue only.
    void recordStart(const void* object, std::weak_ptr<const void> identity, platform::TimePoint time);
    double takeElapsedSeconds(const void* object, platform::TimePoint time);

    struct StartDate {
        std::weak_ptr<const void> identity; // tells a live object from a new one at a reused address
        platform::TimePoint time;
    };

    SystemLog m_systemLog;
    std::string m_sessionName;
    std::filesystem::path m_filePath;
    std::mutex m_fileMutex; // guards writes to m_fd
    int m_fd = -1;
    std::map<const void*, StartDate> m_startDates; // logging queue only
    std::vector<platform::ObserverToken> m_observers;
    // Declared last, so that it is destroyed first: its destructor runs the queued blocks, which
    // use the members above, before they go. Tasks may therefore capture `this`.
    platform::SerialQueue m_loggingQueue { "morvix.logging" };
};

} // namespace morvix
