#pragma once
// What a URL session manager keeps for each of its tasks.

#include "networking/NetURLSessionManager.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

/// Collects one task's body and progress and runs its completion: the response is decoded by
/// the manager's serializer on the processing queue, and the handler runs on the completion
/// queue in the completion group, followed by the completion notification on the main loop.
/// It is also the object the task's public notifications carry, one per task (it moves along
/// when a data task becomes a download task).
///
/// Owned by its manager's delegate map, from the task's registration to its completion; holds
/// the manager and the task weakly. Called on the manager's operation queue, one call at a time.
class NetURLSessionManagerTaskDelegate final : public NetOriginalRequestProviding,
                                               public std::enable_shared_from_this<NetURLSessionManagerTaskDelegate> {
public:
    using CompletionHandler = NetURLSessionManager::CompletionHandler;
    using FinishBlock = std::function<std::optional<platform::Url>(platform::URLSession&, const NetURLSessionManager::DownloadTaskPointer&,
        const platform::Url& location)>;

    static std::shared_ptr<NetURLSessionManagerTaskDelegate> create(std::weak_ptr<NetURLSessionManager> manager,
        const std::shared_ptr<platform::URLSessionTask>& task);
    NetURLSessionManagerTaskDelegate(std::weak_ptr<NetURLSessionManager> manager, const std::shared_ptr<platform::URLSessionTask>& task);

    /// The task's original request.
    std::optional<platform::URLRequest> originalRequest() const override;
    std::shared_ptr<platform::URLSessionTask> task() const { return m_task.lock(); }
    void setTask(const std::shared_ptr<platform::URLSessionTask>& task);

    /// Starts with a total of 0.
    const std::shared_ptr<platform::Progress>& progress() const { return m_progress; }
    void setCompletionHandler(CompletionHandler handler) { m_completionHandler = std::move(handler); }
    void setDownloadTaskDidFinishDownloading(FinishBlock block) { m_downloadTaskDidFinishDownloading = std::move(block); }
    /// Where the finished download was moved; nothing before.
    const std::optional<platform::Url>& downloadFileURL() const { return m_downloadFileURL; }
    /// Records a download moved by the manager's own block (or the failure of that move).
    void setDownloadResult(std::optional<platform::Url> fileURL, std::optional<platform::Error> moveError);
    /// The user information of the completion notification, once the task has completed.
    const NetTaskCompletionUserInfo& completionUserInfo() const { return m_completionUserInfo; }
    /// The task's response as it completed (null before, or without one): kept here, since the
    /// task itself may be gone by the time the completion notification is read.
    const std::shared_ptr<const platform::URLResponse>& response() const { return m_response; }

    void didSendBodyData(std::int64_t totalBytesSent, std::int64_t totalBytesExpected);
    void didReceiveData(std::string_view data) { m_data.append(data); }
    void didWriteData(std::int64_t totalBytesWritten, std::int64_t totalBytesExpected);
    void didResume(std::int64_t fileOffset, std::int64_t expectedTotalBytes);
    void didFinishDownloading(platform::URLSession& session, const NetURLSessionManager::DownloadTaskPointer& task, const platform::Url& location);
    void didComplete(const std::shared_ptr<platform::URLSessionTask>& task, const std::optional<platform::Error>& error);

    /// Moves a finished download to `destination`; on failure posts the file-manager-error
    /// notification (object: the error, sender: the task) and answers the error.
    static std::optional<platform::Error> moveDownload(const platform::URLSessionTask& task, const platform::Url& location,
        const platform::Url& destination);

private:
    void complete(const std::shared_ptr<NetURLSessionManager>& manager, const std::shared_ptr<platform::URLSessionTask>& task,
        std::shared_ptr<const platform::URLResponse> response, std::any responseObject, std::optional<platform::Error> error);

    std::weak_ptr<NetURLSessionManager> m_manager;
    std::weak_ptr<platform::URLSessionTask> m_task;
    std::optional<platform::URLRequest> m_originalRequest; // kept for notifications read after the task has gone
    std::shared_ptr<platform::Progress> m_progress;
    std::string m_data;
    std::optional<platform::Url> m_downloadFileURL;
    std::optional<platform::Error> m_moveError;
    FinishBlock m_downloadTaskDidFinishDownloading;
    CompletionHandler m_completionHandler;
    NetTaskCompletionUserInfo m_completionUserInfo;
    std::shared_ptr<const platform::URLResponse> m_response;
};

} // namespace morvix
