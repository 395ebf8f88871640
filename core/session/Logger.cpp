#include "core/session/Logger.h"

#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetNetworkActivityIndicatorManager.h"
#include "networking/NetURLConnectionOperation.h"
#include "networking/NetURLSessionManager.h"
#include "networking/NetURLSessionManagerTaskDelegate.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Value.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/StringEncoding.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

namespace morvix {

using platform::format;
using platform::Notification;
using platform::TimePoint;

namespace {

std::atomic<SystemLogDestination> s_systemLogDestination { SystemLogDestination::StandardError };

void writeToSystemLog(const std::string& text)
{
    switch (s_systemLogDestination.load()) {
    case SystemLogDestination::StandardError:
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    case SystemLogDestination::Syslog:
        syslog(LOG_NOTICE, "%s", text.c_str());
        return;
    }
}

// A missing value is written as "(null)", which `format` prints for an empty argument.
platform::FormatArg orNull(const std::optional<std::string>& text)
{
    if (!text)
        return nullptr;
    return *text;
}

std::optional<std::string> urlText(const std::optional<platform::Url>& url)
{
    if (!url)
        return std::nullopt;
    return url->absoluteString();
}

std::optional<std::string> requestURL(const std::optional<platform::URLRequest>& request)
{
    return request ? urlText(request->url()) : std::nullopt;
}

std::optional<std::string> responseURL(const std::shared_ptr<const platform::URLResponse>& response)
{
    return response ? urlText(response->url()) : std::nullopt;
}

std::optional<std::string> bodyText(const platform::URLRequest& request)
{
    if (!request.body())
        return std::nullopt;
    return platform::decodeString(*request.body(), platform::kUTF8StringEncoding);
}

std::shared_ptr<NetURLConnectionOperation> operationOf(const Notification& notification)
{
    if (auto operation = std::any_cast<std::shared_ptr<NetURLConnectionOperation>>(&notification.object))
        return *operation;
    return nullptr;
}

// What a session manager's completion notification tells of its task: the task's response, the
// error and the body its task delegate collected.
struct TaskOutcome {
    std::shared_ptr<const platform::URLResponse> response;
    std::optional<platform::Error> error;
    std::optional<std::string> text;
};

std::optional<TaskOutcome> taskOutcomeOf(const Notification& notification)
{
    auto provider = std::any_cast<std::shared_ptr<NetOriginalRequestProviding>>(&notification.object);
    auto delegate = provider ? std::dynamic_pointer_cast<NetURLSessionManagerTaskDelegate>(*provider) : nullptr;
    if (!delegate)
        return std::nullopt;
    TaskOutcome outcome;
    outcome.response = delegate->response();
    if (const auto* info = NetTaskCompletionUserInfoFromNotification(notification)) {
        if (auto found = info->find(NetworkingTaskDidCompleteErrorKey); found != info->end()) {
            if (const auto* error = std::any_cast<platform::Error>(&found->second))
                outcome.error = *error;
        }
        if (auto found = info->find(NetworkingTaskDidCompleteResponseDataKey); found != info->end()) {
            if (const auto* body = std::any_cast<std::string>(&found->second))
                outcome.text = platform::decodeString(*body, platform::kUTF8StringEncoding);
        }
    }
    return outcome;
}

// The object a notification is about, to match a finish with its start: an operation or a task.
std::shared_ptr<const void> identityOf(const Notification& notification)
{
    if (auto operation = operationOf(notification))
        return operation;
    if (auto task = std::any_cast<std::shared_ptr<NetOriginalRequestProviding>>(&notification.object))
        return *task;
    return nullptr;
}

} // namespace

std::shared_ptr<Logger> Logger::create(Configuration configuration)
{
    std::shared_ptr<Logger> logger(new Logger(std::move(configuration)));
    logger->observe();
    return logger;
}

Logger::Logger(Configuration configuration)
    : m_systemLog(std::move(configuration.systemLog))
{
    if (!m_systemLog)
        m_systemLog = writeToSystemLog;
    auto now = configuration.currentDate ? configuration.currentDate() : std::chrono::system_clock::now();
    auto folder = configuration.documentsFolder;
    if (folder.empty())
        folder = platform::BundleInfo::main().documentsPath;
    m_sessionName = computeNewSessionName(now);
    m_filePath = computeFilePath(folder, m_sessionName);
    openFile();
}

Logger::~Logger()
{
    // Stop taking notifications before the queue drains; then the queue (declared last) runs the
    // blocks already queued, and only then is the file closed.
    m_observers.clear();
    m_loggingQueue.flush();
    std::lock_guard lock(m_fileMutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void Logger::setSystemLogDestination(SystemLogDestination destination)
{
    s_systemLogDestination = destination;
}

SystemLogDestination Logger::systemLogDestination()
{
    return s_systemLogDestination.load();
}

std::string Logger::computeNewSessionName(std::chrono::system_clock::time_point date)
{
    std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm local {};
    localtime_r(&seconds, &local);
    char text[32];
    // %Y is the calendar year; the week-based year (%G) would name a session of 30 December
    // after the next year.
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

std::filesystem::path Logger::computeFilePath(const std::filesystem::path& folder, const std::string& sessionName)
{
    return folder / format("session_%@.log", sessionName);
}

void Logger::openFile()
{
    std::error_code ignored;
    std::filesystem::create_directories(m_filePath.parent_path(), ignored);
    // Replace, never write through: removing first means an existing file (or a link planted
    // under its name) is not reused, and O_EXCL makes sure the new file is ours, readable by the
    // owner only.
    ::unlink(m_filePath.c_str());
    m_fd = ::open(m_filePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (m_fd < 0) {
        std::fprintf(stderr, "logger: cannot create session log %s: %s\n", m_filePath.c_str(), std::strerror(errno));
        return;
    }
    // The process's umask may only take permissions away; make the mode exact all the same.
    ::fchmod(m_fd, S_IRUSR | S_IWUSR);
}

void Logger::observe()
{
    auto center = platform::NotificationCenter::defaultCenter();
    std::weak_ptr<Logger> weak = weak_from_this();
    auto onStart = [weak](const Notification& notification) {
        if (auto self = weak.lock())
            self->networkRequestDidStart(notification);
    };
    auto onFinish = [weak](const Notification& notification) {
        if (auto self = weak.lock())
            self->networkRequestDidFinish(notification);
    };
    m_observers.push_back(center->addObserver(NetworkingOperationDidStartNotification, nullptr, onStart));
    m_observers.push_back(center->addObserver(NetworkingTaskDidResumeNotification, nullptr, onStart));
    m_observers.push_back(center->addObserver(NetworkingOperationDidFinishNotification, nullptr, onFinish));
    m_observers.push_back(center->addObserver(NetworkingTaskDidCompleteNotification, nullptr, onFinish));
}

void Logger::logString(const std::string& text)
{
    std::lock_guard lock(m_fileMutex);
    if (m_fd < 0)
        return;
    std::size_t written = 0;
    while (written < text.size()) {
        auto result = ::write(m_fd, text.data() + written, text.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return; // a full disk loses the rest of this block, not the session
        written += static_cast<std::size_t>(result);
    }
}

void Logger::write(const std::string& block)
{
    m_systemLog(block);
    logString(block);
}

void Logger::networkRequestDidStart(const Notification& notification)
{
    // The time is read when the notification arrives, not when the queue gets to it.
    auto now = platform::Clock::current()->now();
    // The queue is a member that drains before the logger's other members go (see the header),
    // so its tasks may use `this`.
    m_loggingQueue.async([this, notification, now] {
        auto request = NetNetworkRequestFromNotification(notification);
        if (!request)
            return;
        recordStart(notification.sender, identityOf(notification), now);
        write(requestBlock(*request));
    });
}

void Logger::networkRequestDidFinish(const Notification& notification)
{
    auto now = platform::Clock::current()->now();
    m_loggingQueue.async([this, notification, now] {
        auto request = NetNetworkRequestFromNotification(notification);
        auto operation = operationOf(notification);
        auto task = operation ? std::nullopt : taskOutcomeOf(notification);
        auto response = operation ? operation->response() : task ? task->response : nullptr;
        if (!request && !response)
            return;
        double elapsed = takeElapsedSeconds(notification.sender, now);
        // A status the serializer refuses is the operation's error too. The operation decides
        // it once and keeps the answer; asking for it here, rather than leaving it to the
        // completion on another queue, keeps the block from depending on which gets there first.
        if (auto http = std::dynamic_pointer_cast<NetHTTPRequestOperation>(operation))
            (void)http->responseObject();
        auto error = operation ? operation->error() : task ? task->error : std::nullopt;
        if (error) {
            write(errorBlock(request, response, *error, elapsed));
            return;
        }
        auto text = operation ? operation->responseString() : task ? task->text : std::nullopt;
        write(responseBlock(request, response, text, elapsed));
    });
}

void Logger::recordStart(const void* object, std::weak_ptr<const void> identity, TimePoint time)
{
    // Forget objects that went away without a finish, so that the table cannot grow for ever.
    std::erase_if(m_startDates, [](const auto& entry) { return entry.second.identity.expired(); });
    m_startDates[object] = StartDate { std::move(identity), time };
}

double Logger::takeElapsedSeconds(const void* object, TimePoint time)
{
    auto found = m_startDates.find(object);
    if (found == m_startDates.end())
        return 0;
    auto start = found->second.time;
    m_startDates.erase(found);
    return std::chrono::duration<double>(time - start).count();
}

std::string Logger::describeHeaders(const platform::HTTPHeaders& headers)
{
    auto object = platform::Value::object();
    for (const auto& [name, value] : headers.fields())
        object[name] = value;
    // Header bytes come from the peer: replace what is not UTF-8 rather than fail.
    return object.dump(-1, ' ', false, platform::Value::error_handler_t::replace);
}

std::string Logger::describeError(const platform::Error& error)
{
    auto text = format("%@ %ld: %@", error.domain(), error.code(), error.description());
    if (auto reason = error.failureReason())
        text += format(" (%@)", *reason);
    return text;
}

std::string Logger::requestBlock(const platform::URLRequest& request)
{
    return format("\n%@ '%@': %@ %@", request.method(), orNull(urlText(request.url())), describeHeaders(request.headers()),
        orNull(bodyText(request)));
}

std::string Logger::responseBlock(const std::optional<platform::URLRequest>& request,
    const std::shared_ptr<const platform::URLResponse>& response, const std::optional<std::string>& responseText,
    double elapsedSeconds)
{
    auto http = std::dynamic_pointer_cast<const platform::HTTPURLResponse>(response);
    auto url = response ? responseURL(response) : requestURL(request);
    std::optional<std::string> headers;
    if (http)
        headers = describeHeaders(http->allHeaderFields());
    return format("\n%ld '%@' [%.04f s]: %@ %@", http ? http->statusCode() : 0, orNull(url), elapsedSeconds, orNull(headers),
        orNull(responseText));
}

std::string Logger::errorBlock(const std::optional<platform::URLRequest>& request,
    const std::shared_ptr<const platform::URLResponse>& response, const platform::Error& error, double elapsedSeconds)
{
    auto http = std::dynamic_pointer_cast<const platform::HTTPURLResponse>(response);
    // A connection that failed has no response: name the URL that was asked for instead.
    auto url = response ? responseURL(response) : requestURL(request);
    std::optional<std::string> method;
    if (request)
        method = request->method();
    return format("\n[Error] %@ '%@' (%ld) [%.04f s]: %@", orNull(method), orNull(url), http ? http->statusCode() : 0,
        elapsedSeconds, describeError(error));
}

} // namespace morvix
