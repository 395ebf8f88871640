#pragma once
// One transfer of a URL session: a data, upload or download task.

#include "platform/foundation/Error.h"
#include "platform/net/URLRequest.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace morvix::platform {

class URLResponse;
class URLSession;
class URLSessionTransfer;

enum class URLSessionTaskState : int { Running = 0, Suspended = 1, Canceling = 2, Completed = 3 };

/// A byte count not known (yet).
inline constexpr std::int64_t URLSessionTransferSizeUnknown = -1;

/// One request run by a URL session. Made suspended by the session; `resume` starts it.
///
/// Rules:
///  1. `resume` posts kResumeNotification (object: the task as `std::shared_ptr<URLSessionTask>`,
///     sender: the task) synchronously on the calling thread when the state before was not
///     running, a completed task included. `suspend` posts kSuspendNotification when the state
///     before was not suspended. Neither posts otherwise.
///  2. `suspend` pauses a running transfer; `resume` continues it where it stopped.
///  3. `cancel` ends a task that has not completed with kURLErrorCancelled (-999); the delegate
///     hears it as the task's completion, like any other end.
///  4. A task completes once; its state is then completed, with its error if it failed.
///
/// Ownership: the session holds its tasks until they complete; a running task holds its
/// transfer. A task holds its session weakly.
///
/// Thread safety: any thread.
class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
public:
    enum class Kind { Data, Upload, Download };

    static constexpr const char* kResumeNotification = "com.pelvarine.networking.nsurlsessiontask.resume";
    static constexpr const char* kSuspendNotification = "com.pelvarine.networking.nsurlsessiontask.suspend";

    virtual ~URLSessionTask();
    URLSessionTask(const URLSessionTask&) = delete;
    URLSessionTask& operator=(const URLSessionTask&) = delete;

    Kind kind() const { return m_kind; }
    /// Unique within its session.
    std::uint64_t taskIdentifier() const { return m_identifier; }
    URLSessionTaskState state() const;
    std::string taskDescription() const;
    void setTaskDescription(std::string description);

    /// The request the task was made with; nothing for a task from resume data that carried
    /// no URL.
    std::optional<URLRequest> originalRequest() const;
    /// The request being sent (after redirects).
    std::optional<URLRequest> currentRequest() const;
    /// Null until a response arrived.
    std::shared_ptr<const URLResponse> response() const;
    std::int64_t countOfBytesReceived() const;
    std::int64_t countOfBytesSent() const;
    /// -1 when unknown.
    std::int64_t countOfBytesExpectedToSend() const;
    /// -1 when unknown.
    std::int64_t countOfBytesExpectedToReceive() const;
    /// The failure the task completed with; nothing while it runs or when it succeeded.
    std::optional<Error> error() const;

    void resume();
    void suspend();
    void cancel();

protected:
    URLSessionTask(Kind kind, std::uint64_t identifier, std::weak_ptr<URLSession> session, std::optional<URLRequest> request);

private:
    friend class URLSession;
    friend class URLSessionTransfer;
    friend class URLSessionDownloadTask;

    enum class Step { None, Start, Continue, Pause };
    void postStateNotification(const char* name);
    void runStep(Step step);

    const Kind m_kind;
    const std::uint64_t m_identifier;
    const std::weak_ptr<URLSession> m_session;

    mutable std::mutex m_mutex; // guards every member below
    URLSessionTaskState m_state = URLSessionTaskState::Suspended;
    bool m_started = false;
    bool m_streamed = false; // an upload whose body the delegate gives when it starts
    std::string m_description;
    std::optional<URLRequest> m_originalRequest;
    std::optional<URLRequest> m_currentRequest;
    std::shared_ptr<const URLResponse> m_response;
    std::int64_t m_bytesReceived = 0;
    std::int64_t m_bytesSent = 0;
    std::int64_t m_bytesExpectedToSend = URLSessionTransferSizeUnknown;
    std::int64_t m_bytesExpectedToReceive = URLSessionTransferSizeUnknown;
    std::optional<Error> m_error;
    std::shared_ptr<URLSessionTransfer> m_transfer; // while the transfer runs
};

/// A task that collects a response body in memory (handed to the delegate as it arrives).
class URLSessionDataTask : public URLSessionTask {
public:
    URLSessionDataTask(std::uint64_t identifier, std::weak_ptr<URLSession> session, URLRequest request)
        : URLSessionDataTask(Kind::Data, identifier, std::move(session), std::move(request)) { }

protected:
    URLSessionDataTask(Kind kind, std::uint64_t identifier, std::weak_ptr<URLSession> session, URLRequest request)
        : URLSessionTask(kind, identifier, std::move(session), std::move(request)) { }
};

/// A data task that sends a body: from a file, from bytes, or from a stream the delegate gives
/// when the transfer starts.
class URLSessionUploadTask final : public URLSessionDataTask {
public:
    URLSessionUploadTask(std::uint64_t identifier, std::weak_ptr<URLSession> session, URLRequest request)
        : URLSessionDataTask(Kind::Upload, identifier, std::move(session), std::move(request)) { }
};

/// A task that writes the response body to a temporary file in the caches folder, handed to the
/// delegate when the transfer ends.
class URLSessionDownloadTask final : public URLSessionTask {
public:
    URLSessionDownloadTask(std::uint64_t identifier, std::weak_ptr<URLSession> session, std::optional<URLRequest> request)
        : URLSessionTask(Kind::Download, identifier, std::move(session), std::move(request)) { }

    /// Cancels the task and hands `completion` (on the delegate queue) the data a new task can
    /// continue from (URLSession::downloadTaskWithResumeData): a small property list of the URL,
    /// the partial file, the bytes received and the response's "ETag" or "Last-Modified".
    /// Nothing when no byte had arrived or the task already completed. The partial file is
    /// kept for the new task.
    void cancelByProducingResumeData(std::function<void(std::optional<std::string> resumeData)> completion);
};

} // namespace morvix::platform
