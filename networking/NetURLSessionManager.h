#pragma once
// A task-based HTTP client over a URL session.

#include "networking/NetNetworkActivityIndicatorManager.h"
#include "platform/foundation/KeyedCoding.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/DispatchGroup.h"
#include "platform/net/DispatchQueue.h"
#include "platform/net/URLSession.h"

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {
class InputStream;
class OperationQueue;
class Progress;
}

namespace morvix {

class NetNetworkReachabilityManager;
class NetSecurityPolicy;
class NetURLResponseSerialization;
class NetURLSessionManagerTaskDelegate;

// The task resume, suspend and complete names are shared with the activity indicator
// (NetNetworkActivityIndicatorManager.h); these are their other spellings and the rest.
inline constexpr const char* NetworkingTaskDidStartNotification = NetworkingTaskDidResumeNotification;
inline constexpr const char* NetworkingTaskDidFinishNotification = NetworkingTaskDidCompleteNotification;
inline constexpr const char* NetURLSessionDidInvalidateNotification = "com.pelvarine.networking.session.invalidate";
inline constexpr const char* NetURLSessionDownloadTaskDidFailToMoveFileNotification = "com.pelvarine.networking.session.download.file-manager-error";
inline constexpr const char* NetworkingTaskDidCompleteResponseSerializerKey = "com.pelvarine.networking.task.complete.responseserializer";
inline constexpr const char* NetworkingTaskDidFinishResponseSerializerKey = NetworkingTaskDidCompleteResponseSerializerKey;
inline constexpr const char* NetworkingTaskDidCompleteResponseDataKey = "com.pelvarine.networking.complete.finish.responsedata";
inline constexpr const char* NetworkingTaskDidFinishResponseDataKey = NetworkingTaskDidCompleteResponseDataKey;
inline constexpr const char* NetworkingTaskDidCompleteSerializedResponseKey = "com.pelvarine.networking.task.complete.serializedresponse";
inline constexpr const char* NetworkingTaskDidFinishSerializedResponseKey = NetworkingTaskDidCompleteSerializedResponseKey;
inline constexpr const char* NetworkingTaskDidCompleteErrorKey = "com.pelvarine.networking.task.complete.error";
inline constexpr const char* NetworkingTaskDidFinishErrorKey = NetworkingTaskDidCompleteErrorKey;
inline constexpr const char* NetworkingTaskDidCompleteAssetPathKey = "com.pelvarine.networking.task.complete.assetpath";
inline constexpr const char* NetworkingTaskDidFinishAssetPathKey = NetworkingTaskDidCompleteAssetPathKey;

/// The user information of a task's completion notification, under the key names above: the
/// response serializer (`std::shared_ptr<NetURLResponseSerialization>`), the body
/// (`std::string`), the response object (`std::any` as the serializer made it, or a
/// `platform::Url` for a download), the error (`platform::Error`) and the downloaded file's
/// URL (`platform::Url`). The notification's JSON user information names the same keys, with
/// null values.
using NetTaskCompletionUserInfo = std::map<std::string, std::any>;
/// The user information of a completion notification a session manager posted; null for any
/// other notification. It belongs to the notification's object: copy what you keep.
const NetTaskCompletionUserInfo* NetTaskCompletionUserInfoFromNotification(const platform::Notification& notification);

enum class CancelTasks { No, Yes };

/// Runs requests as tasks of one URL session, of which it is the delegate: it keeps one
/// NetURLSessionManagerTaskDelegate per task it made, which collects the body and progress and
/// hands the response, decoded by the response serializer, to the task's completion handler.
///
/// Usage:
///     auto manager = NetURLSessionManager::create();
///     auto task = manager->dataTaskWithRequest(request, [](auto response, const std::any& object, auto error) { ... });
///     task->resume();
///
/// Lifetime: the session holds its delegate, so a manager lives until its session is
/// invalidated (`invalidateSessionCancelingTasks`), even when its caller drops it; after that
/// it is freed with the last reference.
///
/// Rules:
///  1. The manager's own tasks carry `taskDescriptionForSessionTasks()` as their description,
///     replacing any set before; each resume of one from a state other than running, and each
///     suspend of one that was not suspended, posts NetworkingTaskDidResumeNotification or
///     NetworkingTaskDidSuspendNotification on the main loop (object: the task's delegate as
///     `std::shared_ptr<NetOriginalRequestProviding>`, the same object for every notification
///     of the task; sender: the task). A task whose description was changed posts none.
///  2. A task completes in this order: its delegate's completion (the handler on the
///     completion queue, in the completion group, then NetworkingTaskDidCompleteNotification
///     on the main loop), its delegate's removal, then the task-completed block.
///  3. A downloaded file that cannot be moved to its destination fails the task with the
///     move's error (the file-manager-error notification is posted too), and no response object.
///  4. The task lists answer from the session's task table at once: they are safe inside any
///     callback.
///  5. When no task could be made (a file that cannot be opened, invalid resume data, an
///     invalidated session), nothing is registered and the result is null.
///
/// Thread safety: any thread; configure the serializer, policy and blocks before making tasks.
/// Session callbacks and the blocks set on the manager run on `operationQueue`, one at a time.
class NetURLSessionManager : public platform::URLSessionDelegate,
                             public platform::KeyedCoding,
                             public std::enable_shared_from_this<NetURLSessionManager> {
public:
    static constexpr const char* kArchiveClassName = "NetURLSessionManager";

    using CompletionHandler = std::function<void(const std::shared_ptr<const platform::URLResponse>& response,
        const std::any& responseObject, const std::optional<platform::Error>& error)>;
    using DestinationBlock = std::function<std::optional<platform::Url>(const platform::Url& targetPath,
        const std::shared_ptr<const platform::URLResponse>& response)>;
    using TaskPointer = std::shared_ptr<platform::URLSessionTask>;
    using DataTaskPointer = std::shared_ptr<platform::URLSessionDataTask>;
    using DownloadTaskPointer = std::shared_ptr<platform::URLSessionDownloadTask>;

    // The fifteen callbacks; each is optional.
    using SessionDidBecomeInvalidBlock = std::function<void(platform::URLSession&, const std::optional<platform::Error>&)>;
    using SessionDidReceiveAuthenticationChallengeBlock = std::function<platform::URLSessionAuthChallengeDisposition(
        platform::URLSession&, const platform::AuthenticationChallenge&, std::optional<platform::URLCredential>& credential)>;
    using DidFinishEventsForBackgroundURLSessionBlock = std::function<void(platform::URLSession&)>;
    using TaskWillPerformHTTPRedirectionBlock = std::function<std::optional<platform::URLRequest>(platform::URLSession&,
        const TaskPointer&, const std::shared_ptr<const platform::URLResponse>&, const platform::URLRequest&)>;
    using TaskDidReceiveAuthenticationChallengeBlock = std::function<platform::URLSessionAuthChallengeDisposition(platform::URLSession&,
        const TaskPointer&, const platform::AuthenticationChallenge&, std::optional<platform::URLCredential>& credential)>;
    using TaskNeedNewBodyStreamBlock = std::function<std::shared_ptr<platform::InputStream>(platform::URLSession&, const TaskPointer&)>;
    using TaskDidSendBodyDataBlock = std::function<void(platform::URLSession&, const TaskPointer&, std::int64_t bytesSent,
        std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend)>;
    using TaskDidCompleteBlock = std::function<void(platform::URLSession&, const TaskPointer&, const std::optional<platform::Error>&)>;
    using DataTaskDidReceiveResponseBlock = std::function<platform::URLSessionResponseDisposition(platform::URLSession&,
        const DataTaskPointer&, const std::shared_ptr<const platform::URLResponse>&)>;
    using DataTaskDidBecomeDownloadTaskBlock = std::function<void(platform::URLSession&, const DataTaskPointer&, const DownloadTaskPointer&)>;
    using DataTaskDidReceiveDataBlock = std::function<void(platform::URLSession&, const DataTaskPointer&, std::string_view)>;
    using DataTaskWillCacheResponseBlock = std::function<std::optional<platform::CachedURLResponse>(platform::URLSession&,
        const DataTaskPointer&, const platform::CachedURLResponse&)>;
    using DownloadTaskDidFinishDownloadingBlock = std::function<std::optional<platform::Url>(platform::URLSession&,
        const DownloadTaskPointer&, const platform::Url& location)>;
    using DownloadTaskDidWriteDataBlock = std::function<void(platform::URLSession&, const DownloadTaskPointer&, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)>;
    using DownloadTaskDidResumeBlock = std::function<void(platform::URLSession&, const DownloadTaskPointer&, std::int64_t fileOffset,
        std::int64_t expectedTotalBytes)>;

    /// A manager with a session of `configuration` (the default configuration when nothing).
    static std::shared_ptr<NetURLSessionManager> create(std::optional<platform::URLSessionConfiguration> configuration = std::nullopt);
    ~NetURLSessionManager() override;
    NetURLSessionManager(const NetURLSessionManager&) = delete;
    NetURLSessionManager& operator=(const NetURLSessionManager&) = delete;

    /// A new manager of the same class with the session's configuration; nothing else is copied.
    virtual std::shared_ptr<NetURLSessionManager> copy() const;

    const std::shared_ptr<platform::URLSession>& session() const { return m_session; }
    /// The session's delegate queue (width 1).
    const std::shared_ptr<platform::OperationQueue>& operationQueue() const { return m_operationQueue; }
    const platform::URLSessionConfiguration& sessionConfiguration() const { return m_sessionConfiguration; }

    /// NetJSONResponseSerializer unless set.
    std::shared_ptr<NetURLResponseSerialization> responseSerializer() const;
    void setResponseSerializer(std::shared_ptr<NetURLResponseSerialization> serializer);
    /// NetSecurityPolicy::defaultPolicy() unless set.
    std::shared_ptr<NetSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy);
    /// The shared reachability manager unless set; never started by the session manager.
    std::shared_ptr<NetNetworkReachabilityManager> reachabilityManager() const;
    void setReachabilityManager(std::shared_ptr<NetNetworkReachabilityManager> manager);
    /// Empty (the main queue) unless set.
    platform::DispatchQueue completionQueue() const;
    void setCompletionQueue(platform::DispatchQueue queue);
    /// Null (the one group of every session manager) unless set.
    std::shared_ptr<platform::DispatchGroup> completionGroup() const;
    void setCompletionGroup(std::shared_ptr<platform::DispatchGroup> group);
    /// False unless set: an upload from a file that gives no task in a background session is
    /// tried up to three more times.
    bool attemptsToRecreateUploadTasksForBackgroundSessions() const;
    void setAttemptsToRecreateUploadTasksForBackgroundSessions(bool attempts);

    /// Each returns the new task, suspended (the caller resumes it), or null when none could be
    /// made. `progress`, when given, receives the task's progress.
    DataTaskPointer dataTaskWithRequest(platform::URLRequest request, CompletionHandler completionHandler);
    std::shared_ptr<platform::URLSessionUploadTask> uploadTaskWithRequestFromFile(platform::URLRequest request, const platform::Url& fileURL,
        std::shared_ptr<platform::Progress>* progress, CompletionHandler completionHandler);
    std::shared_ptr<platform::URLSessionUploadTask> uploadTaskWithRequestFromData(platform::URLRequest request, std::string body,
        std::shared_ptr<platform::Progress>* progress, CompletionHandler completionHandler);
    std::shared_ptr<platform::URLSessionUploadTask> uploadTaskWithStreamedRequest(platform::URLRequest request,
        std::shared_ptr<platform::Progress>* progress, CompletionHandler completionHandler);
    /// `destination` is asked, with the temporary file and the response, where the finished file
    /// goes; the response object is then that URL.
    DownloadTaskPointer downloadTaskWithRequest(platform::URLRequest request, std::shared_ptr<platform::Progress>* progress,
        DestinationBlock destination, CompletionHandler completionHandler);
    DownloadTaskPointer downloadTaskWithResumeData(const std::string& resumeData, std::shared_ptr<platform::Progress>* progress,
        DestinationBlock destination, CompletionHandler completionHandler);

    std::vector<TaskPointer> tasks() const;
    std::vector<TaskPointer> dataTasks() const;
    std::vector<TaskPointer> uploadTasks() const;
    std::vector<TaskPointer> downloadTasks() const;
    /// Both give the task delegate's one progress object; null for a task without a delegate.
    std::shared_ptr<platform::Progress> uploadProgressForTask(const platform::URLSessionTask& task) const;
    std::shared_ptr<platform::Progress> downloadProgressForTask(const platform::URLSessionTask& task) const;

    /// Ends the session from the main loop's next turn: cancelling its tasks, or letting them
    /// finish. The delegates are dropped when the session reports that it became invalid.
    void invalidateSessionCancelingTasks(CancelTasks cancel);

    /// What marks the manager's own tasks (their `taskDescription`): the manager's address and
    /// a number no other manager of the process has.
    const std::string& taskDescriptionForSessionTasks() const { return m_taskDescription; }

    void setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block);
    void setSessionDidReceiveAuthenticationChallengeBlock(SessionDidReceiveAuthenticationChallengeBlock block);
    void setDidFinishEventsForBackgroundURLSessionBlock(DidFinishEventsForBackgroundURLSessionBlock block);
    void setTaskWillPerformHTTPRedirectionBlock(TaskWillPerformHTTPRedirectionBlock block);
    void setTaskDidReceiveAuthenticationChallengeBlock(TaskDidReceiveAuthenticationChallengeBlock block);
    void setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block);
    void setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block);
    void setTaskDidCompleteBlock(TaskDidCompleteBlock block);
    void setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block);
    void setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block);
    void setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block);
    void setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block);
    void setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block);
    void setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block);
    void setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block);

    /// "<NetURLSessionManager: 0x..., session: ..., operationQueue: ...>".
    virtual std::string description() const;

    /// Archives hold the session's configuration under "sessionConfiguration"; decoding makes a
    /// new manager with it (the registered decoder, through KeyedUnarchiver::decodeObject).
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<NetURLSessionManager> decode(platform::KeyedUnarchiver& coder);

    // platform::URLSessionDelegate; called by the session on `operationQueue`.
    void sessionDidBecomeInvalid(platform::URLSession&, const std::optional<platform::Error>&) override;
    platform::URLSessionChallengeAnswer sessionDidReceiveChallenge(platform::URLSession&, const platform::AuthenticationChallenge&) override;
    void sessionDidFinishEventsForBackgroundURLSession(platform::URLSession&) override;
    std::optional<std::optional<platform::URLRequest>> taskWillPerformHTTPRedirection(platform::URLSession&, const TaskPointer&,
        const std::shared_ptr<const platform::URLResponse>&, const platform::URLRequest&) override;
    platform::URLSessionChallengeAnswer taskDidReceiveChallenge(platform::URLSession&, const TaskPointer&,
        const platform::AuthenticationChallenge&) override;
    std::shared_ptr<platform::InputStream> taskNeedNewBodyStream(platform::URLSession&, const TaskPointer&) override;
    void taskDidSendBodyData(platform::URLSession&, const TaskPointer&, std::int64_t, std::int64_t, std::int64_t) override;
    void taskDidCompleteWithError(platform::URLSession&, const TaskPointer&, const std::optional<platform::Error>&) override;
    std::optional<platform::URLSessionResponseDisposition> dataTaskDidReceiveResponse(platform::URLSession&, const DataTaskPointer&,
        const std::shared_ptr<const platform::URLResponse>&) override;
    void dataTaskDidBecomeDownloadTask(platform::URLSession&, const DataTaskPointer&, const DownloadTaskPointer&) override;
    void dataTaskDidReceiveData(platform::URLSession&, const DataTaskPointer&, std::string_view) override;
    std::optional<std::optional<platform::CachedURLResponse>> dataTaskWillCacheResponse(platform::URLSession&, const DataTaskPointer&,
        const platform::CachedURLResponse&) override;
    void downloadTaskDidFinishDownloading(platform::URLSession&, const DownloadTaskPointer&, const platform::Url&) override;
    void downloadTaskDidWriteData(platform::URLSession&, const DownloadTaskPointer&, std::int64_t, std::int64_t, std::int64_t) override;
    void downloadTaskDidResume(platform::URLSession&, const DownloadTaskPointer&, std::int64_t, std::int64_t) override;

protected:
    explicit NetURLSessionManager(std::optional<platform::URLSessionConfiguration> configuration);
    /// Makes the session and starts observing the tasks; called once by the factories.
    void setUp();
    virtual std::string className() const { return "NetURLSessionManager"; }

    std::shared_ptr<NetURLSessionManagerTaskDelegate> delegateForTask(const platform::URLSessionTask& task) const;
    void setDelegateForTask(std::shared_ptr<NetURLSessionManagerTaskDelegate> delegate, const platform::URLSessionTask& task);
    void removeDelegateForTask(const platform::URLSessionTask& task);
    void removeAllDelegates();
    void addDelegateForDataTask(const TaskPointer& task, CompletionHandler completionHandler);
    void addDelegateForUploadTask(const TaskPointer& task, std::shared_ptr<platform::Progress>* progress, CompletionHandler completionHandler);
    void addDelegateForDownloadTask(const TaskPointer& task, std::shared_ptr<platform::Progress>* progress, DestinationBlock destination,
        CompletionHandler completionHandler);
    std::vector<TaskPointer> tasksOfKind(std::optional<platform::URLSessionTask::Kind> kind) const;
    void taskDidResume(const platform::Notification& notification);
    void taskDidSuspend(const platform::Notification& notification);

private:
    friend class NetURLSessionManagerTaskDelegate;
    struct Blocks;
    void postTaskNotification(const platform::Notification& internal, const char* name);
    Blocks blocks() const;

    platform::URLSessionConfiguration m_sessionConfiguration;
    std::shared_ptr<platform::OperationQueue> m_operationQueue;
    std::shared_ptr<platform::URLSession> m_session;
    std::string m_taskDescription;
    std::vector<platform::ObserverToken> m_observers;

    mutable std::mutex m_lock; // "com.pelvarine.networking.session.manager.lock": guards the delegate map
    std::map<std::uint64_t, std::shared_ptr<NetURLSessionManagerTaskDelegate>> m_taskDelegates;

    mutable std::mutex m_settingsMutex; // guards the settings and blocks below
    std::shared_ptr<NetURLResponseSerialization> m_responseSerializer;
    std::shared_ptr<NetSecurityPolicy> m_securityPolicy;
    std::shared_ptr<NetNetworkReachabilityManager> m_reachabilityManager;
    platform::DispatchQueue m_completionQueue;
    std::shared_ptr<platform::DispatchGroup> m_completionGroup;
    bool m_attemptsToRecreateUploadTasks = false;
    std::unique_ptr<Blocks> m_blocks;
};

} // namespace morvix
