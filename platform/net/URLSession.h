#pragma once
// Runs URL requests as tasks and reports them to one delegate.

#include "platform/net/URLSessionConfiguration.h"
#include "platform/net/URLSessionDelegate.h"
#include "platform/net/URLSessionTask.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

class OperationQueue;
class Url;

/// A session of URL tasks over the network thread and URLConnection: data tasks, uploads from
/// a file, from bytes or streamed, and downloads to a file, which can continue from resume
/// data. Its delegate hears every event on the delegate queue, one at a time.
///
/// Usage:
///     auto session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), delegate);
///     auto task = session->dataTaskWithRequest(URLRequest(Url::parse("http://h/a")));
///     task->resume();
///
/// Rules:
///  1. Tasks are made suspended; identifiers count up from 1 within the session.
///  2. The session holds its delegate strongly until it has become invalid (after the delegate
///     heard `sessionDidBecomeInvalid`), so a delegate nobody else keeps still hears its tasks
///     to their end. Invalidating is the only way to end a session that has a delegate.
///  3. After `finishTasksAndInvalidate` or `invalidateAndCancel` no task is made (null); the
///     session becomes invalid once its last task has completed.
///  4. `allTasks` answers at once from the task table, under the session's lock: it is safe
///     inside a delegate call. `getTasks` answers on the delegate queue.
///  5. A download's temporary file lives in the caches folder (BundleInfo) and is deleted when
///     the delegate's `downloadTaskDidFinishDownloading` returns.
///  6. A task from resume data sends "Range" and "If-Range"; a 206 answer continues the partial
///     file, any other success starts it again. The delegate hears the offset (0 when starting
///     again) and the expected total. Only a download file of the session's kind is continued
///     (after resolving links, a regular file directly in the caches folder whose name starts
///     "URLSessionDownload-"); resume data naming anything else starts afresh, without a range,
///     and leaves the named path alone.
///  7. Background configurations run in the process like any other; the delegate hears that
///     background events have finished only when the application reports it.
///
/// Thread safety: any thread. Delegate calls run on the delegate queue (an OperationQueue of
/// width 1 of the session's own unless one is given).
class URLSession : public std::enable_shared_from_this<URLSession> {
public:
    /// A null delegate gives a session that reports to nobody; a null queue, a queue of its own.
    /// The queue's width is set to 1.
    static std::shared_ptr<URLSession> create(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate = nullptr,
        std::shared_ptr<OperationQueue> delegateQueue = nullptr);
    ~URLSession();
    URLSession(const URLSession&) = delete;
    URLSession& operator=(const URLSession&) = delete;

    const URLSessionConfiguration& configuration() const { return m_configuration; }
    const std::shared_ptr<OperationQueue>& delegateQueue() const { return m_delegateQueue; }
    /// Null once the session has become invalid.
    std::shared_ptr<URLSessionDelegate> delegate() const;

    /// Each returns a suspended task, or null once the session is being invalidated.
    std::shared_ptr<URLSessionDataTask> dataTaskWithRequest(URLRequest request);
    /// Null also when the file cannot be opened for reading.
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithRequestFromFile(URLRequest request, const Url& fileURL);
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithRequestFromData(URLRequest request, std::string body);
    /// The body comes from the delegate's `taskNeedNewBodyStream` when the transfer starts.
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithStreamedRequest(URLRequest request);
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithRequest(URLRequest request);
    /// Null also for data that is not resume data of this library.
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithResumeData(const std::string& resumeData);

    /// The tasks that have not completed, by identifier.
    std::vector<std::shared_ptr<URLSessionTask>> allTasks() const;
    using TasksCompletion = std::function<void(std::vector<std::shared_ptr<URLSessionDataTask>> dataTasks,
        std::vector<std::shared_ptr<URLSessionUploadTask>> uploadTasks, std::vector<std::shared_ptr<URLSessionDownloadTask>> downloadTasks)>;
    /// Answers on the delegate queue with the tasks of the moment of the call.
    void getTasks(TasksCompletion completion);

    /// Lets the running tasks finish, then becomes invalid.
    void finishTasksAndInvalidate();
    /// Cancels every task, then becomes invalid once they have completed.
    void invalidateAndCancel();
    bool isInvalidating() const;

    /// What the application calls when the system reports that a background session's events
    /// are finished; the delegate then hears `sessionDidFinishEventsForBackgroundURLSession`.
    void reportBackgroundEventsFinished();

    /// "<URLSession: 0x...>{identifier = ...}".
    std::string description() const;

private:
    friend class URLSessionTask;
    friend class URLSessionTransfer;
    friend class URLSessionDownloadTask;
    using DelegateCall = std::function<void(URLSessionDelegate&, URLSession&)>;

    URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate, std::shared_ptr<OperationQueue> delegateQueue);

    template<typename Task>
    std::shared_ptr<Task> addTask(std::optional<URLRequest> request);
    /// Runs `call` on the delegate queue with the delegate; nothing without a delegate.
    void deliver(DelegateCall call);
    /// Runs `work` on the delegate queue, delegate or not.
    void runOnDelegateQueue(std::function<void()> work);
    /// Runs `question` on the delegate queue and waits until it has run; false when it did not
    /// run (no delegate, or the queue dropped it). Never call it from the delegate queue.
    bool ask(const DelegateCall& question);
    /// The request a task's transfer sends: the task's request with the configuration applied.
    URLRequest preparedRequest(URLRequest request) const;
    void startTask(const std::shared_ptr<URLSessionTask>& task);
    std::shared_ptr<URLSessionDownloadTask> replaceWithDownloadTask(const std::shared_ptr<URLSessionTask>& dataTask);
    /// The task has completed and leaves the table; the session may now become invalid.
    void removeTask(const URLSessionTask& task);
    void becomeInvalidIfDone();

    const URLSessionConfiguration m_configuration;
    const std::shared_ptr<OperationQueue> m_delegateQueue;

    mutable std::mutex m_mutex; // guards every member below
    std::shared_ptr<URLSessionDelegate> m_delegate;
    std::map<std::uint64_t, std::shared_ptr<URLSessionTask>> m_tasks;
    std::uint64_t m_nextIdentifier = 1;
    bool m_invalidating = false;
    bool m_invalid = false;
};

} // namespace morvix::platform
