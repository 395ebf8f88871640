#include "platform/net/URLSession.h"

#include "platform/foundation/Format.h"
#include "platform/net/BlockOperation.h"
#include "platform/net/FileInputStream.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/OperationQueue.h"
#include "platform/net/URLSessionResumeData.h"
#include "platform/net/URLSessionTransfer.h"

#include <cstdio>
#include <future>
#include <sys/stat.h>

namespace morvix::platform {

std::shared_ptr<URLSession> URLSession::create(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
    std::shared_ptr<OperationQueue> delegateQueue)
{
    if (!delegateQueue)
        delegateQueue = OperationQueue::create();
    delegateQueue->setMaxConcurrentOperationCount(1);
    return std::shared_ptr<URLSession>(new URLSession(std::move(configuration), std::move(delegate), std::move(delegateQueue)));
}

URLSession::URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
    std::shared_ptr<OperationQueue> delegateQueue)
    : m_configuration(std::move(configuration))
    , m_delegateQueue(std::move(delegateQueue))
    , m_delegate(std::move(delegate))
{
}

URLSession::~URLSession() = default;

std::shared_ptr<URLSessionDelegate> URLSession::delegate() const
{
    std::lock_guard lock(m_mutex);
    return m_delegate;
}

template<typename Task>
std::shared_ptr<Task> URLSession::addTask(std::optional<URLRequest> request)
{
    std::lock_guard lock(m_mutex);
    if (m_invalidating)
        return nullptr;
    auto identifier = m_nextIdentifier++;
    std::shared_ptr<Task> task;
    if constexpr (std::is_same_v<Task, URLSessionDownloadTask>)
        task = std::make_shared<Task>(identifier, weak_from_this(), std::move(request));
    else
        task = std::make_shared<Task>(identifier, weak_from_this(), std::move(*request));
    m_tasks.emplace(identifier, task);
    return task;
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithRequest(URLRequest request)
{
    return addTask<URLSessionDataTask>(std::move(request));
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithRequestFromFile(URLRequest request, const Url& fileURL)
{
    auto path = fileURL.isFileURL() ? fileURL.decodedPath() : std::nullopt;
    if (!path)
        return nullptr;
    struct stat info {};
    if (::stat(path->c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return nullptr;
    FILE* probe = std::fopen(path->c_str(), "rb");
    if (!probe)
        return nullptr;
    std::fclose(probe);
    request.setBodyStream(FileInputStream::create(*path));
    (void)request.setValueForHeader(std::to_string(info.st_size), "Content-Length");
    auto task = addTask<URLSessionUploadTask>(std::move(request));
    if (task) {
        std::lock_guard lock(task->m_mutex);
        task->m_bytesExpectedToSend = info.st_size;
    }
    return task;
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithRequestFromData(URLRequest request, std::string body)
{
    auto size = static_cast<std::int64_t>(body.size());
    request.setBody(std::move(body));
    auto task = addTask<URLSessionUploadTask>(std::move(request));
    if (task) {
        std::lock_guard lock(task->m_mutex);
        task->m_bytesExpectedToSend = size;
    }
    return task;
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithStreamedRequest(URLRequest request)
{
    auto task = addTask<URLSessionUploadTask>(std::move(request));
    if (task) {
        std::lock_guard lock(task->m_mutex);
        task->m_streamed = true; // its size is unknown until its stream is read
    }
    return task;
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithRequest(URLRequest request)
{
    return addTask<URLSessionDownloadTask>(std::move(request));
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithResumeData(const std::string& resumeData)
{
    auto decoded = URLSessionResumeData::decode(resumeData);
    if (!decoded)
        return nullptr;
    auto task = addTask<URLSessionDownloadTask>(URLRequest(decoded->url));
    if (task) {
        std::lock_guard lock(task->m_mutex);
        task->m_transfer = URLSessionTransfer::create(weak_from_this(), task);
        task->m_transfer->setResumeData(std::move(*decoded));
    }
    return task;
}

std::vector<std::shared_ptr<URLSessionTask>> URLSession::allTasks() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<URLSessionTask>> tasks;
    tasks.reserve(m_tasks.size());
    for (const auto& [identifier, task] : m_tasks)
        tasks.push_back(task);
    return tasks;
}

void URLSession::getTasks(TasksCompletion completion)
{
    std::vector<std::shared_ptr<URLSessionDataTask>> dataTasks;
    std::vector<std::shared_ptr<URLSessionUploadTask>> uploadTasks;
    std::vector<std::shared_ptr<URLSessionDownloadTask>> downloadTasks;
    for (const auto& task : allTasks()) {
        switch (task->kind()) {
        case URLSessionTask::Kind::Data:
            dataTasks.push_back(std::static_pointer_cast<URLSessionDataTask>(task));
            break;
        case URLSessionTask::Kind::Upload:
            uploadTasks.push_back(std::static_pointer_cast<URLSessionUploadTask>(task));
            break;
        case URLSessionTask::Kind::Download:
            downloadTasks.push_back(std::static_pointer_cast<URLSessionDownloadTask>(task));
            break;
        }
    }
    m_delegateQueue->addOperation(BlockOperation::create(
        [completion = std::move(completion), dataTasks = std::move(dataTasks), uploadTasks = std::move(uploadTasks),
            downloadTasks = std::move(downloadTasks)]() mutable {
            completion(std::move(dataTasks), std::move(uploadTasks), std::move(downloadTasks));
        }));
}

void URLSession::finishTasksAndInvalidate()
{
    {
        std::lock_guard lock(m_mutex);
        m_invalidating = true;
    }
    becomeInvalidIfDone();
}

void URLSession::invalidateAndCancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_invalidating = true;
    }
    for (const auto& task : allTasks())
        task->cancel();
    becomeInvalidIfDone();
}

bool URLSession::isInvalidating() const
{
    std::lock_guard lock(m_mutex);
    return m_invalidating;
}

void URLSession::becomeInvalidIfDone()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_invalidating || m_invalid || !m_tasks.empty())
            return;
        m_invalid = true;
    }
    // The delegate is dropped only after it has heard of the invalidation, on its queue, behind
    // every call queued before.
    m_delegateQueue->addOperation(BlockOperation::create([self = shared_from_this()] {
        std::shared_ptr<URLSessionDelegate> delegate;
        {
            std::lock_guard lock(self->m_mutex);
            delegate = std::move(self->m_delegate);
        }
        if (delegate)
            delegate->sessionDidBecomeInvalid(*self, std::nullopt);
    }));
}

void URLSession::reportBackgroundEventsFinished()
{
    deliver([](URLSessionDelegate& delegate, URLSession& session) { delegate.sessionDidFinishEventsForBackgroundURLSession(session); });
}

void URLSession::runOnDelegateQueue(std::function<void()> work)
{
    m_delegateQueue->addOperation(BlockOperation::create(std::move(work)));
}

void URLSession::deliver(DelegateCall call)
{
    if (!delegate())
        return;
    m_delegateQueue->addOperation(BlockOperation::create([self = shared_from_this(), call = std::move(call)] {
        if (auto delegate = self->delegate())
            call(*delegate, *self);
    }));
}

bool URLSession::ask(const DelegateCall& question)
{
    if (!delegate())
        return false;
    auto answered = std::make_shared<std::promise<bool>>();
    auto future = answered->get_future();
    m_delegateQueue->addOperation(BlockOperation::create([self = shared_from_this(), &question, answered] {
        auto delegate = self->delegate();
        if (!delegate) {
            answered->set_value(false);
            return;
        }
        try {
            question(*delegate, *self);
            answered->set_value(true);
        } catch (const std::exception& exception) {
            std::fprintf(stderr, "morvix: a session delegate threw: %s\n", exception.what());
            answered->set_value(false);
        }
    }));
    try {
        return future.get();
    } catch (const std::future_error&) {
        return false; // the queue dropped the call unrun
    }
}

URLRequest URLSession::preparedRequest(URLRequest request) const
{
    if (request.timeoutInterval() == URLRequest::kDefaultTimeoutInterval)
        request.setTimeoutInterval(m_configuration.timeoutIntervalForRequest());
    if (!m_configuration.HTTPShouldSetCookies())
        request.setShouldHandleCookies(false);
    for (const auto& [name, value] : m_configuration.HTTPAdditionalHeaders().fields()) {
        if (!request.valueForHeader(name))
            (void)request.setValueForHeader(value, name);
    }
    return request;
}

void URLSession::startTask(const std::shared_ptr<URLSessionTask>& task)
{
    std::shared_ptr<URLSessionTransfer> transfer;
    {
        std::lock_guard lock(task->m_mutex);
        if (!task->m_transfer)
            task->m_transfer = URLSessionTransfer::create(weak_from_this(), task);
        transfer = task->m_transfer;
    }
    bool streamed = false;
    {
        std::lock_guard lock(task->m_mutex);
        streamed = task->m_streamed;
    }
    if (!streamed) {
        NetworkThread::shared().perform([transfer] { transfer->start(nullptr); });
        return;
    }
    // A streamed upload asks its delegate for the body when it starts, on the delegate queue,
    // so that the network thread never waits for it.
    auto call = [transfer, task](URLSessionDelegate& delegate, URLSession& session) {
        auto stream = delegate.taskNeedNewBodyStream(session, task);
        NetworkThread::shared().perform([transfer, stream] { transfer->start(stream); });
    };
    if (!delegate()) {
        NetworkThread::shared().perform([transfer] { transfer->start(nullptr); });
        return;
    }
    m_delegateQueue->addOperation(BlockOperation::create([self = shared_from_this(), call, transfer] {
        if (auto delegate = self->delegate())
            return call(*delegate, *self);
        NetworkThread::shared().perform([transfer] { transfer->start(nullptr); });
    }));
}

std::shared_ptr<URLSessionDownloadTask> URLSession::replaceWithDownloadTask(const std::shared_ptr<URLSessionTask>& dataTask)
{
    std::lock_guard lock(m_mutex);
    auto identifier = m_nextIdentifier++;
    auto download = std::make_shared<URLSessionDownloadTask>(identifier, weak_from_this(), dataTask->originalRequest());
    m_tasks.erase(dataTask->taskIdentifier());
    m_tasks.emplace(identifier, download);
    return download;
}

void URLSession::removeTask(const URLSessionTask& task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.erase(task.taskIdentifier());
    }
    becomeInvalidIfDone();
}

std::string URLSession::description() const
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    auto identifier = m_configuration.identifier() ? FormatArg(*m_configuration.identifier()) : FormatArg(nullptr);
    return format("<URLSession: %@>{identifier = %@}", std::string(address), identifier);
}

} // namespace morvix::platform
