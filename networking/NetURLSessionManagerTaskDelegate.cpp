#include "networking/NetURLSessionManagerTaskDelegate.h"

#include "networking/NetURLResponseSerialization.h"
#include "platform/foundation/FileMove.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/Progress.h"

namespace morvix {

namespace {

const platform::DispatchQueue& processingQueue()
{
    // The global concurrent queue stands in for "com.pelvarine.networking.session.manager.processing".
    static const platform::DispatchQueue queue = platform::globalDispatchQueue();
    return queue;
}

const std::shared_ptr<platform::DispatchGroup>& completionGroup()
{
    static const auto group = platform::DispatchGroup::create();
    return group;
}

platform::Value keysOf(const NetTaskCompletionUserInfo& info)
{
    auto keys = platform::Value::object();
    for (const auto& [key, value] : info)
        keys[key] = nullptr;
    return keys;
}

} // namespace

const NetTaskCompletionUserInfo* NetTaskCompletionUserInfoFromNotification(const platform::Notification& notification)
{
    auto object = std::any_cast<std::shared_ptr<NetOriginalRequestProviding>>(&notification.object);
    if (!object || notification.name != NetworkingTaskDidCompleteNotification)
        return nullptr;
    auto delegate = std::dynamic_pointer_cast<NetURLSessionManagerTaskDelegate>(*object);
    return delegate ? &delegate->completionUserInfo() : nullptr;
}

std::shared_ptr<NetURLSessionManagerTaskDelegate> NetURLSessionManagerTaskDelegate::create(std::weak_ptr<NetURLSessionManager> manager,
    const std::shared_ptr<platform::URLSessionTask>& task)
{
    return std::make_shared<NetURLSessionManagerTaskDelegate>(std::move(manager), task);
}

NetURLSessionManagerTaskDelegate::NetURLSessionManagerTaskDelegate(std::weak_ptr<NetURLSessionManager> manager,
    const std::shared_ptr<platform::URLSessionTask>& task)
    : m_manager(std::move(manager))
    , m_progress(platform::Progress::create(0))
{
    setTask(task);
}

void NetURLSessionManagerTaskDelegate::setTask(const std::shared_ptr<platform::URLSessionTask>& task)
{
    m_task = task;
    m_originalRequest = task ? task->originalRequest() : std::nullopt;
}

std::optional<platform::URLRequest> NetURLSessionManagerTaskDelegate::originalRequest() const
{
    return m_originalRequest;
}

void NetURLSessionManagerTaskDelegate::setDownloadResult(std::optional<platform::Url> fileURL, std::optional<platform::Error> moveError)
{
    m_downloadFileURL = moveError ? std::nullopt : std::move(fileURL);
    m_moveError = std::move(moveError);
}

void NetURLSessionManagerTaskDelegate::didSendBodyData(std::int64_t totalBytesSent, std::int64_t totalBytesExpected)
{
    m_progress->setTotalUnitCount(totalBytesExpected);
    m_progress->setCompletedUnitCount(totalBytesSent);
}

void NetURLSessionManagerTaskDelegate::didWriteData(std::int64_t totalBytesWritten, std::int64_t totalBytesExpected)
{
    m_progress->setTotalUnitCount(totalBytesExpected);
    m_progress->setCompletedUnitCount(totalBytesWritten);
}

void NetURLSessionManagerTaskDelegate::didResume(std::int64_t fileOffset, std::int64_t expectedTotalBytes)
{
    m_progress->setTotalUnitCount(expectedTotalBytes);
    m_progress->setCompletedUnitCount(fileOffset);
}

std::optional<platform::Error> NetURLSessionManagerTaskDelegate::moveDownload(const platform::URLSessionTask& task, const platform::Url& location,
    const platform::Url& destination)
{
    auto from = location.decodedPath();
    auto to = destination.isFileURL() ? destination.decodedPath() : std::nullopt;
    std::optional<platform::Error> error;
    if (!from || !to) {
        error = platform::Error(platform::FileErrorDomain, platform::kFileWriteUnknownError,
            "the download cannot be moved to \"" + destination.absoluteString() + "\"", "the destination is not a file URL");
    } else {
        error = platform::moveFile(*from, *to);
    }
    if (!error)
        return std::nullopt;
    platform::Value userInfo { { platform::Error::kDescriptionKey, error->description() } };
    if (auto reason = error->failureReason())
        userInfo[platform::Error::kFailureReasonKey] = *reason;
    platform::NotificationCenter::defaultCenter()->post(NetURLSessionDownloadTaskDidFailToMoveFileNotification, &task, std::move(userInfo),
        std::any(*error));
    return error;
}

void NetURLSessionManagerTaskDelegate::didFinishDownloading(platform::URLSession& session, const NetURLSessionManager::DownloadTaskPointer& task,
    const platform::Url& location)
{
    m_downloadFileURL.reset();
    m_moveError.reset();
    if (!m_downloadTaskDidFinishDownloading)
        return;
    auto destination = m_downloadTaskDidFinishDownloading(session, task, location);
    if (!destination)
        return;
    auto error = moveDownload(*task, location, *destination);
    setDownloadResult(std::move(destination), std::move(error));
}

void NetURLSessionManagerTaskDelegate::didComplete(const std::shared_ptr<platform::URLSessionTask>& task, const std::optional<platform::Error>& error)
{
    auto manager = m_manager.lock();
    if (!manager)
        return;
    m_completionUserInfo.clear();
    m_response = task ? task->response() : nullptr;
    m_completionUserInfo[NetworkingTaskDidCompleteResponseSerializerKey] = manager->responseSerializer();
    std::optional<std::string> data;
    if (!m_data.empty())
        data = std::move(m_data);
    m_data.clear();
    if (m_downloadFileURL)
        m_completionUserInfo[NetworkingTaskDidCompleteAssetPathKey] = *m_downloadFileURL;
    else if (data)
        m_completionUserInfo[NetworkingTaskDidCompleteResponseDataKey] = *data;
    auto response = task->response();
    // A download that could not be moved fails the task with the move's error, whatever the
    // transfer did.
    auto failure = error ? error : m_moveError;
    if (failure) {
        m_completionUserInfo[NetworkingTaskDidCompleteErrorKey] = *failure;
        complete(manager, task, std::move(response), {}, failure);
        return;
    }
    // The response is decoded off the delegate queue; the delegate stays alive in the closure
    // after the manager has removed it.
    processingQueue()([self = shared_from_this(), manager, task, response = std::move(response), data = std::move(data)]() mutable {
        std::optional<platform::Error> serializationError;
        std::any responseObject;
        if (auto serializer = manager->responseSerializer())
            responseObject = serializer->responseObjectForResponse(response, data ? &*data : nullptr, &serializationError);
        if (self->m_downloadFileURL)
            responseObject = *self->m_downloadFileURL;
        if (responseObject.has_value())
            self->m_completionUserInfo[NetworkingTaskDidCompleteSerializedResponseKey] = responseObject;
        if (serializationError)
            self->m_completionUserInfo[NetworkingTaskDidCompleteErrorKey] = *serializationError;
        self->complete(manager, task, std::move(response), std::move(responseObject), std::move(serializationError));
    });
}

void NetURLSessionManagerTaskDelegate::complete(const std::shared_ptr<NetURLSessionManager>& manager,
    const std::shared_ptr<platform::URLSessionTask>& task, std::shared_ptr<const platform::URLResponse> response, std::any responseObject,
    std::optional<platform::Error> error)
{
    auto queue = manager->completionQueue();
    if (!queue)
        queue = platform::mainDispatchQueue();
    auto group = manager->completionGroup();
    if (!group)
        group = completionGroup();
    group->async(queue, [self = shared_from_this(), task, response = std::move(response), responseObject = std::move(responseObject),
                            error = std::move(error)] {
        if (self->m_completionHandler)
            self->m_completionHandler(response, responseObject, error);
        platform::mainDispatchQueue()([self, task] {
            platform::Notification notification { NetworkingTaskDidCompleteNotification, task.get(),
                std::any(std::shared_ptr<NetOriginalRequestProviding>(self)), keysOf(self->m_completionUserInfo) };
            platform::NotificationCenter::defaultCenter()->post(notification);
        });
    });
}

} // namespace morvix
