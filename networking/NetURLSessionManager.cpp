#include "networking/NetURLSessionManager.h"

#include "networking/NetJSONResponseSerializer.h"
#include "networking/NetNetworkReachabilityManager.h"
#include "networking/NetSecurityPolicy.h"
#include "networking/NetURLSessionManagerTaskDelegate.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Progress.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/InputStream.h"
#include "platform/net/OperationQueue.h"
#include "platform/net/ServerTrust.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace morvix {

using platform::URLSession;
using platform::URLSessionTask;

struct NetURLSessionManager::Blocks {
    SessionDidBecomeInvalidBlock sessionDidBecomeInvalid;
    SessionDidReceiveAuthenticationChallengeBlock sessionDidReceiveAuthenticationChallenge;
    DidFinishEventsForBackgroundURLSessionBlock didFinishEventsForBackgroundURLSession;
    TaskWillPerformHTTPRedirectionBlock taskWillPerformHTTPRedirection;
    TaskDidReceiveAuthenticationChallengeBlock taskDidReceiveAuthenticationChallenge;
    TaskNeedNewBodyStreamBlock taskNeedNewBodyStream;
    TaskDidSendBodyDataBlock taskDidSendBodyData;
    TaskDidCompleteBlock taskDidComplete;
    DataTaskDidReceiveResponseBlock dataTaskDidReceiveResponse;
    DataTaskDidBecomeDownloadTaskBlock dataTaskDidBecomeDownloadTask;
    DataTaskDidReceiveDataBlock dataTaskDidReceiveData;
    DataTaskWillCacheResponseBlock dataTaskWillCacheResponse;
    DownloadTaskDidFinishDownloadingBlock downloadTaskDidFinishDownloading;
    DownloadTaskDidWriteDataBlock downloadTaskDidWriteData;
    DownloadTaskDidResumeBlock downloadTaskDidResume;
};

namespace {

platform::SerialQueue& creationQueue()
{
    static platform::SerialQueue queue("com.pelvarine.networking.session.manager.creation");
    return queue;
}

// Runs a session call on the creation queue, one at a time for the whole process.
template<typename Function>
auto createTask(Function&& function)
{
    decltype(function()) task;
    creationQueue().sync([&] { task = function(); });
    return task;
}

[[maybe_unused]] const bool kRegistered = [] {
    platform::KeyedUnarchiver::registerClass(NetURLSessionManager::kArchiveClassName, "",
        [](platform::KeyedUnarchiver& coder) -> std::shared_ptr<platform::KeyedCoding> { return NetURLSessionManager::decode(coder); });
    return true;
}();

std::string addressOf(const void* object)
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", object);
    return address;
}

std::int64_t contentLengthOf(const std::optional<platform::URLRequest>& request)
{
    auto length = request ? request->valueForHeader("Content-Length") : std::nullopt;
    if (!length)
        return platform::URLSessionTransferSizeUnknown;
    char* end = nullptr;
    auto value = std::strtoll(length->c_str(), &end, 10);
    return end && *end == '\0' && !length->empty() ? value : platform::URLSessionTransferSizeUnknown;
}

} // namespace

std::shared_ptr<NetURLSessionManager> NetURLSessionManager::create(std::optional<platform::URLSessionConfiguration> configuration)
{
    std::shared_ptr<NetURLSessionManager> manager(new NetURLSessionManager(std::move(configuration)));
    manager->setUp();
    return manager;
}

NetURLSessionManager::NetURLSessionManager(std::optional<platform::URLSessionConfiguration> configuration)
    : m_sessionConfiguration(configuration.value_or(platform::URLSessionConfiguration::defaultSessionConfiguration()))
    , m_operationQueue(platform::OperationQueue::create())
    , m_responseSerializer(NetJSONResponseSerializer::serializer())
    , m_securityPolicy(NetSecurityPolicy::defaultPolicy())
    , m_reachabilityManager(NetNetworkReachabilityManager::sharedManager())
    , m_blocks(std::make_unique<Blocks>())
{
    static std::atomic<std::uint64_t> s_serial { 0 };
    // The address alone could name a later manager at the same address too.
    m_taskDescription = addressOf(this) + "-" + std::to_string(++s_serial);
    m_operationQueue->setMaxConcurrentOperationCount(1);
}

NetURLSessionManager::~NetURLSessionManager() = default;

void NetURLSessionManager::setUp()
{
    m_session = URLSession::create(m_sessionConfiguration, shared_from_this(), m_operationQueue);
    // Tasks the session already holds get delegates too (a session made anew holds none).
    for (const auto& task : m_session->allTasks()) {
        switch (task->kind()) {
        case URLSessionTask::Kind::Data:
            addDelegateForDataTask(task, nullptr);
            break;
        case URLSessionTask::Kind::Upload:
            addDelegateForUploadTask(task, nullptr, nullptr);
            break;
        case URLSessionTask::Kind::Download:
            addDelegateForDownloadTask(task, nullptr, nullptr, nullptr);
            break;
        }
    }
    auto center = platform::NotificationCenter::defaultCenter();
    std::weak_ptr<NetURLSessionManager> weak = shared_from_this();
    m_observers.push_back(center->addObserver(URLSessionTask::kResumeNotification, nullptr, [weak](const platform::Notification& notification) {
        if (auto self = weak.lock())
            self->taskDidResume(notification);
    }));
    m_observers.push_back(center->addObserver(URLSessionTask::kSuspendNotification, nullptr, [weak](const platform::Notification& notification) {
        if (auto self = weak.lock())
            self->taskDidSuspend(notification);
    }));
}

std::shared_ptr<NetURLSessionManager> NetURLSessionManager::copy() const
{
    return create(m_session->configuration());
}

void NetURLSessionManager::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    coder.encodeObject(m_session->configuration(), "sessionConfiguration");
}

std::shared_ptr<NetURLSessionManager> NetURLSessionManager::decode(platform::KeyedUnarchiver& coder)
{
    auto configuration = coder.decodeObject<platform::URLSessionConfiguration>("sessionConfiguration");
    if (!configuration)
        return nullptr;
    return create(*configuration);
}

// Settings.

std::shared_ptr<NetURLResponseSerialization> NetURLSessionManager::responseSerializer() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_responseSerializer;
}

void NetURLSessionManager::setResponseSerializer(std::shared_ptr<NetURLResponseSerialization> serializer)
{
    std::lock_guard lock(m_settingsMutex);
    m_responseSerializer = std::move(serializer);
}

std::shared_ptr<NetSecurityPolicy> NetURLSessionManager::securityPolicy() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_securityPolicy;
}

void NetURLSessionManager::setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy)
{
    std::lock_guard lock(m_settingsMutex);
    m_securityPolicy = std::move(policy);
}

std::shared_ptr<NetNetworkReachabilityManager> NetURLSessionManager::reachabilityManager() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_reachabilityManager;
}

void NetURLSessionManager::setReachabilityManager(std::shared_ptr<NetNetworkReachabilityManager> manager)
{
    std::lock_guard lock(m_settingsMutex);
    m_reachabilityManager = std::move(manager);
}

platform::DispatchQueue NetURLSessionManager::completionQueue() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_completionQueue;
}

void NetURLSessionManager::setCompletionQueue(platform::DispatchQueue queue)
{
    std::lock_guard lock(m_settingsMutex);
    m_completionQueue = std::move(queue);
}

std::shared_ptr<platform::DispatchGroup> NetURLSessionManager::completionGroup() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_completionGroup;
}

void NetURLSessionManager::setCompletionGroup(std::shared_ptr<platform::DispatchGroup> group)
{
    std::lock_guard lock(m_settingsMutex);
    m_completionGroup = std::move(group);
}

bool NetURLSessionManager::attemptsToRecreateUploadTasksForBackgroundSessions() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_attemptsToRecreateUploadTasks;
}

void NetURLSessionManager::setAttemptsToRecreateUploadTasksForBackgroundSessions(bool attempts)
{
    std::lock_guard lock(m_settingsMutex);
    m_attemptsToRecreateUploadTasks = attempts;
}

NetURLSessionManager::Blocks NetURLSessionManager::blocks() const
{
    std::lock_guard lock(m_settingsMutex);
    return *m_blocks;
}

#define MORVIX_BLOCK_SETTER(Name, member)                 \
    void NetURLSessionManager::set##Name(Name block)      \
    {                                                     \
        std::lock_guard lock(m_settingsMutex);            \
        m_blocks->member = std::move(block);              \
    }
MORVIX_BLOCK_SETTER(SessionDidBecomeInvalidBlock, sessionDidBecomeInvalid)
MORVIX_BLOCK_SETTER(SessionDidReceiveAuthenticationChallengeBlock, sessionDidReceiveAuthenticationChallenge)
MORVIX_BLOCK_SETTER(DidFinishEventsForBackgroundURLSessionBlock, didFinishEventsForBackgroundURLSession)
MORVIX_BLOCK_SETTER(TaskWillPerformHTTPRedirectionBlock, taskWillPerformHTTPRedirection)
MORVIX_BLOCK_SETTER(TaskDidReceiveAuthenticationChallengeBlock, taskDidReceiveAuthenticationChallenge)
MORVIX_BLOCK_SETTER(TaskNeedNewBodyStreamBlock, taskNeedNewBodyStream)
MORVIX_BLOCK_SETTER(TaskDidSendBodyDataBlock, taskDidSendBodyData)
MORVIX_BLOCK_SETTER(TaskDidCompleteBlock, taskDidComplete)
MORVIX_BLOCK_SETTER(DataTaskDidReceiveResponseBlock, dataTaskDidReceiveResponse)
MORVIX_BLOCK_SETTER(DataTaskDidBecomeDownloadTaskBlock, dataTaskDidBecomeDownloadTask)
MORVIX_BLOCK_SETTER(DataTaskDidReceiveDataBlock, dataTaskDidReceiveData)
MORVIX_BLOCK_SETTER(DataTaskWillCacheResponseBlock, dataTaskWillCacheResponse)
MORVIX_BLOCK_SETTER(DownloadTaskDidFinishDownloadingBlock, downloadTaskDidFinishDownloading)
MORVIX_BLOCK_SETTER(DownloadTaskDidWriteDataBlock, downloadTaskDidWriteData)
MORVIX_BLOCK_SETTER(DownloadTaskDidResumeBlock, downloadTaskDidResume)
#undef MORVIX_BLOCK_SETTER

// The delegate map.

std::shared_ptr<NetURLSessionManagerTaskDelegate> NetURLSessionManager::delegateForTask(const URLSessionTask& task) const
{
    std::lock_guard lock(m_lock);
    auto found = m_taskDelegates.find(task.taskIdentifier());
    return found == m_taskDelegates.end() ? nullptr : found->second;
}

void NetURLSessionManager::setDelegateForTask(std::shared_ptr<NetURLSessionManagerTaskDelegate> delegate, const URLSessionTask& task)
{
    std::lock_guard lock(m_lock);
    m_taskDelegates[task.taskIdentifier()] = std::move(delegate);
}

void NetURLSessionManager::removeDelegateForTask(const URLSessionTask& task)
{
    std::lock_guard lock(m_lock);
    m_taskDelegates.erase(task.taskIdentifier());
}

void NetURLSessionManager::removeAllDelegates()
{
    std::map<std::uint64_t, std::shared_ptr<NetURLSessionManagerTaskDelegate>> dropped;
    std::lock_guard lock(m_lock);
    dropped.swap(m_taskDelegates); // destroyed after the lock is released
}

void NetURLSessionManager::addDelegateForDataTask(const TaskPointer& task, CompletionHandler completionHandler)
{
    auto delegate = NetURLSessionManagerTaskDelegate::create(weak_from_this(), task);
    delegate->setCompletionHandler(std::move(completionHandler));
    task->setTaskDescription(m_taskDescription);
    setDelegateForTask(std::move(delegate), *task);
}

void NetURLSessionManager::addDelegateForUploadTask(const TaskPointer& task, std::shared_ptr<platform::Progress>* progress,
    CompletionHandler completionHandler)
{
    addDelegateForDataTask(task, std::move(completionHandler));
    auto delegate = delegateForTask(*task);
    auto total = task->countOfBytesExpectedToSend();
    if (total == platform::URLSessionTransferSizeUnknown)
        total = contentLengthOf(task->originalRequest());
    delegate->progress()->setTotalUnitCount(total);
    std::weak_ptr<URLSessionTask> weakTask = task;
    delegate->progress()->setPausingHandler([weakTask] {
        if (auto task = weakTask.lock())
            task->suspend();
    });
    delegate->progress()->setCancellationHandler([weakTask] {
        if (auto task = weakTask.lock())
            task->cancel();
    });
    if (progress)
        *progress = delegate->progress();
}

void NetURLSessionManager::addDelegateForDownloadTask(const TaskPointer& task, std::shared_ptr<platform::Progress>* progress,
    DestinationBlock destination, CompletionHandler completionHandler)
{
    addDelegateForDataTask(task, std::move(completionHandler));
    auto delegate = delegateForTask(*task);
    if (destination) {
        delegate->setDownloadTaskDidFinishDownloading([destination = std::move(destination)](URLSession&, const DownloadTaskPointer& task,
                                                          const platform::Url& location) { return destination(location, task->response()); });
    }
    if (progress)
        *progress = delegate->progress();
}

// Making tasks.

NetURLSessionManager::DataTaskPointer NetURLSessionManager::dataTaskWithRequest(platform::URLRequest request, CompletionHandler completionHandler)
{
    auto task = createTask([&] { return m_session->dataTaskWithRequest(std::move(request)); });
    if (task)
        addDelegateForDataTask(task, std::move(completionHandler));
    return task;
}

std::shared_ptr<platform::URLSessionUploadTask> NetURLSessionManager::uploadTaskWithRequestFromFile(platform::URLRequest request,
    const platform::Url& fileURL, std::shared_ptr<platform::Progress>* progress, CompletionHandler completionHandler)
{
    auto task = createTask([&] { return m_session->uploadTaskWithRequestFromFile(request, fileURL); });
    bool retry = !task && attemptsToRecreateUploadTasksForBackgroundSessions() && m_session->configuration().identifier();
    for (int attempt = 0; retry && !task && attempt < 3; ++attempt)
        task = m_session->uploadTaskWithRequestFromFile(request, fileURL);
    if (task)
        addDelegateForUploadTask(task, progress, std::move(completionHandler));
    return task;
}

std::shared_ptr<platform::URLSessionUploadTask> NetURLSessionManager::uploadTaskWithRequestFromData(platform::URLRequest request,
    std::string body, std::shared_ptr<platform::Progress>* progress, CompletionHandler completionHandler)
{
    auto task = createTask([&] { return m_session->uploadTaskWithRequestFromData(std::move(request), std::move(body)); });
    if (task)
        addDelegateForUploadTask(task, progress, std::move(completionHandler));
    return task;
}

std::shared_ptr<platform::URLSessionUploadTask> NetURLSessionManager::uploadTaskWithStreamedRequest(platform::URLRequest request,
    std::shared_ptr<platform::Progress>* progress, CompletionHandler completionHandler)
{
    auto task = createTask([&] { return m_session->uploadTaskWithStreamedRequest(std::move(request)); });
    if (task)
        addDelegateForUploadTask(task, progress, std::move(completionHandler));
    return task;
}

NetURLSessionManager::DownloadTaskPointer NetURLSessionManager::downloadTaskWithRequest(platform::URLRequest request,
    std::shared_ptr<platform::Progress>* progress, DestinationBlock destination, CompletionHandler completionHandler)
{
    auto task = createTask([&] { return m_session->downloadTaskWithRequest(std::move(request)); });
    if (task)
        addDelegateForDownloadTask(task, progress, std::move(destination), std::move(completionHandler));
    return task;
}

NetURLSessionManager::DownloadTaskPointer NetURLSessionManager::downloadTaskWithResumeData(const std::string& resumeData,
    std::shared_ptr<platform::Progress>* progress, DestinationBlock destination, CompletionHandler completionHandler)
{
    auto task = createTask([&] { return m_session->downloadTaskWithResumeData(resumeData); });
    if (task)
        addDelegateForDownloadTask(task, progress, std::move(destination), std::move(completionHandler));
    return task;
}

// Queries and ending.

std::vector<NetURLSessionManager::TaskPointer> NetURLSessionManager::tasksOfKind(std::optional<URLSessionTask::Kind> kind) const
{
    auto tasks = m_session->allTasks();
    if (kind)
        std::erase_if(tasks, [&](const TaskPointer& task) { return task->kind() != *kind; });
    return tasks;
}

std::vector<NetURLSessionManager::TaskPointer> NetURLSessionManager::tasks() const
{
    return tasksOfKind(std::nullopt);
}

std::vector<NetURLSessionManager::TaskPointer> NetURLSessionManager::dataTasks() const
{
    return tasksOfKind(URLSessionTask::Kind::Data);
}

std::vector<NetURLSessionManager::TaskPointer> NetURLSessionManager::uploadTasks() const
{
    return tasksOfKind(URLSessionTask::Kind::Upload);
}

std::vector<NetURLSessionManager::TaskPointer> NetURLSessionManager::downloadTasks() const
{
    return tasksOfKind(URLSessionTask::Kind::Download);
}

std::shared_ptr<platform::Progress> NetURLSessionManager::uploadProgressForTask(const URLSessionTask& task) const
{
    auto delegate = delegateForTask(task);
    return delegate ? delegate->progress() : nullptr;
}

std::shared_ptr<platform::Progress> NetURLSessionManager::downloadProgressForTask(const URLSessionTask& task) const
{
    return uploadProgressForTask(task);
}

void NetURLSessionManager::invalidateSessionCancelingTasks(CancelTasks cancel)
{
    platform::mainDispatchQueue()([session = m_session, cancel] {
        if (cancel == CancelTasks::Yes)
            session->invalidateAndCancel();
        else
            session->finishTasksAndInvalidate();
    });
}

std::string NetURLSessionManager::description() const
{
    return platform::format("<%@: %@, session: %@, operationQueue: %@>", className(), addressOf(this), m_session->description(),
        m_operationQueue->description());
}

// The public resume and suspend notifications.

void NetURLSessionManager::taskDidResume(const platform::Notification& notification)
{
    postTaskNotification(notification, NetworkingTaskDidResumeNotification);
}

void NetURLSessionManager::taskDidSuspend(const platform::Notification& notification)
{
    postTaskNotification(notification, NetworkingTaskDidSuspendNotification);
}

void NetURLSessionManager::postTaskNotification(const platform::Notification& internal, const char* name)
{
    auto task = std::any_cast<std::shared_ptr<URLSessionTask>>(&internal.object);
    if (!task || !*task || (*task)->taskDescription() != m_taskDescription)
        return;
    // A task that has completed has no delegate left: a resume of it starts nothing, and a
    // start without a finish would keep the activity indicator on for good.
    auto delegate = delegateForTask(**task);
    if (!delegate)
        return;
    platform::mainDispatchQueue()([name, sender = task->get(), delegate] {
        platform::NotificationCenter::defaultCenter()->post(name, sender, nullptr, std::any(std::shared_ptr<NetOriginalRequestProviding>(delegate)));
    });
}

// Session delegate calls, on the operation queue.

void NetURLSessionManager::sessionDidBecomeInvalid(URLSession& session, const std::optional<platform::Error>& error)
{
    if (auto block = blocks().sessionDidBecomeInvalid)
        block(session, error);
    removeAllDelegates();
    platform::NotificationCenter::defaultCenter()->post(NetURLSessionDidInvalidateNotification, &session);
}

platform::URLSessionChallengeAnswer NetURLSessionManager::sessionDidReceiveChallenge(URLSession& session,
    const platform::AuthenticationChallenge& challenge)
{
    platform::URLSessionChallengeAnswer answer;
    if (auto block = blocks().sessionDidReceiveAuthenticationChallenge) {
        answer.disposition = block(session, challenge, answer.credential);
        return answer;
    }
    const auto& space = challenge.protectionSpace();
    if (space.authenticationMethod != platform::AuthenticationMethodServerTrust || !space.serverTrust)
        return answer;
    if (!securityPolicy()->evaluateServerTrust(*space.serverTrust, space.host)) {
        answer.disposition = platform::URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge;
        return answer;
    }
    answer.credential = platform::URLCredential::forTrust(space.serverTrust);
    answer.disposition = answer.credential ? platform::URLSessionAuthChallengeDisposition::UseCredential
                                           : platform::URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    return answer;
}

platform::URLSessionChallengeAnswer NetURLSessionManager::taskDidReceiveChallenge(URLSession& session, const TaskPointer& task,
    const platform::AuthenticationChallenge& challenge)
{
    platform::URLSessionChallengeAnswer answer;
    if (auto block = blocks().taskDidReceiveAuthenticationChallenge) {
        answer.disposition = block(session, task, challenge, answer.credential);
        return answer;
    }
    const auto& space = challenge.protectionSpace();
    if (space.authenticationMethod != platform::AuthenticationMethodServerTrust || !space.serverTrust)
        return answer;
    if (!securityPolicy()->evaluateServerTrust(*space.serverTrust, space.host)) {
        answer.disposition = platform::URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge;
        return answer;
    }
    answer.disposition = platform::URLSessionAuthChallengeDisposition::UseCredential;
    answer.credential = platform::URLCredential::forTrust(space.serverTrust);
    return answer;
}

void NetURLSessionManager::sessionDidFinishEventsForBackgroundURLSession(URLSession& session)
{
    auto block = blocks().didFinishEventsForBackgroundURLSession;
    if (!block)
        return;
    platform::mainDispatchQueue()([block, session = session.shared_from_this()] { block(*session); });
}

std::optional<std::optional<platform::URLRequest>> NetURLSessionManager::taskWillPerformHTTPRedirection(URLSession& session,
    const TaskPointer& task, const std::shared_ptr<const platform::URLResponse>& response, const platform::URLRequest& request)
{
    auto block = blocks().taskWillPerformHTTPRedirection;
    if (!block)
        return std::nullopt;
    return block(session, task, response, request);
}

std::shared_ptr<platform::InputStream> NetURLSessionManager::taskNeedNewBodyStream(URLSession& session, const TaskPointer& task)
{
    if (auto block = blocks().taskNeedNewBodyStream)
        return block(session, task);
    auto request = task->originalRequest();
    if (request && request->bodyStream())
        return request->bodyStream()->replay();
    return nullptr;
}

void NetURLSessionManager::taskDidSendBodyData(URLSession& session, const TaskPointer& task, std::int64_t bytesSent,
    std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend)
{
    auto total = totalBytesExpectedToSend;
    if (total == platform::URLSessionTransferSizeUnknown)
        total = contentLengthOf(task->originalRequest());
    if (auto delegate = delegateForTask(*task))
        delegate->didSendBodyData(totalBytesSent, total);
    if (auto block = blocks().taskDidSendBodyData)
        block(session, task, bytesSent, totalBytesSent, total);
}

void NetURLSessionManager::taskDidCompleteWithError(URLSession& session, const TaskPointer& task, const std::optional<platform::Error>& error)
{
    if (auto delegate = delegateForTask(*task)) {
        delegate->didComplete(task, error);
        removeDelegateForTask(*task);
    }
    if (auto block = blocks().taskDidComplete)
        block(session, task, error);
}

std::optional<platform::URLSessionResponseDisposition> NetURLSessionManager::dataTaskDidReceiveResponse(URLSession& session,
    const DataTaskPointer& task, const std::shared_ptr<const platform::URLResponse>& response)
{
    auto block = blocks().dataTaskDidReceiveResponse;
    if (!block)
        return std::nullopt;
    return block(session, task, response);
}

void NetURLSessionManager::dataTaskDidBecomeDownloadTask(URLSession& session, const DataTaskPointer& dataTask,
    const DownloadTaskPointer& downloadTask)
{
    if (auto delegate = delegateForTask(*dataTask)) {
        removeDelegateForTask(*dataTask);
        delegate->setTask(downloadTask);
        setDelegateForTask(delegate, *downloadTask);
    }
    if (auto block = blocks().dataTaskDidBecomeDownloadTask)
        block(session, dataTask, downloadTask);
}

void NetURLSessionManager::dataTaskDidReceiveData(URLSession& session, const DataTaskPointer& task, std::string_view data)
{
    if (auto delegate = delegateForTask(*task))
        delegate->didReceiveData(data);
    if (auto block = blocks().dataTaskDidReceiveData)
        block(session, task, data);
}

std::optional<std::optional<platform::CachedURLResponse>> NetURLSessionManager::dataTaskWillCacheResponse(URLSession& session,
    const DataTaskPointer& task, const platform::CachedURLResponse& proposed)
{
    auto block = blocks().dataTaskWillCacheResponse;
    if (!block)
        return std::nullopt;
    return block(session, task, proposed);
}

void NetURLSessionManager::downloadTaskDidFinishDownloading(URLSession& session, const DownloadTaskPointer& task, const platform::Url& location)
{
    auto delegate = delegateForTask(*task);
    if (auto block = blocks().downloadTaskDidFinishDownloading) {
        if (auto destination = block(session, task, location)) {
            auto error = NetURLSessionManagerTaskDelegate::moveDownload(*task, location, *destination);
            if (delegate)
                delegate->setDownloadResult(std::move(destination), std::move(error));
            return;
        }
    }
    if (delegate)
        delegate->didFinishDownloading(session, task, location);
}

void NetURLSessionManager::downloadTaskDidWriteData(URLSession& session, const DownloadTaskPointer& task, std::int64_t bytesWritten,
    std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
{
    if (auto delegate = delegateForTask(*task))
        delegate->didWriteData(totalBytesWritten, totalBytesExpectedToWrite);
    if (auto block = blocks().downloadTaskDidWriteData)
        block(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
}

void NetURLSessionManager::downloadTaskDidResume(URLSession& session, const DownloadTaskPointer& task, std::int64_t fileOffset,
    std::int64_t expectedTotalBytes)
{
    if (auto delegate = delegateForTask(*task))
        delegate->didResume(fileOffset, expectedTotalBytes);
    if (auto block = blocks().downloadTaskDidResume)
        block(session, task, fileOffset, expectedTotalBytes);
}

} // namespace morvix
